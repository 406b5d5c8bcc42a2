// The show's music as a sound track: the music file decoded from a given
// sample on, as stereo 32-bit float at 44100 Hz (the player's mixing rate),
// whatever the file's own format. Mono music plays at full level on both
// sides, as the player's mixer plays it.
#pragma once

#include <cstdint>
#include <string>

struct AVAudioFifo;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

class MusicTrack {
public:
    static constexpr int kSampleRate = 44100;

    MusicTrack() = default;
    ~MusicTrack();
    MusicTrack(const MusicTrack&) = delete;
    MusicTrack& operator=(const MusicTrack&) = delete;

    // Opens the file so that the first sample read is `firstSample` (counted
    // at 44100 Hz from the music's start). False with the reason in `error`.
    bool Open(const std::string& path, int64_t firstSample, std::string* error);
    // Fills `count` samples of each side; silence once the music has ended.
    void Read(float* left, float* right, int count);

private:
    // Decodes until the buffer holds `count` samples or the music ends.
    void Fill(int count);
    void Convert(const uint8_t* const* input, int inputSamples);
    void Close();

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_decoder = nullptr;
    SwrContext* m_resampler = nullptr;
    AVAudioFifo* m_buffer = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    uint8_t** m_converted = nullptr;  // two planes, grown as needed
    int m_convertedCapacity = 0;
    int m_stream = -1;
    int64_t m_skip = 0;  // samples still to drop before the first one read
    bool m_ended = false;
};
