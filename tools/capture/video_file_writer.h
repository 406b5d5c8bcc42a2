// A video file (.mp4 or .mkv) of the captured frames: H.264 in yuv420p, which
// every player plays, and the music as AAC, muxed so that sound and picture
// start together. The sound is encoded in step with the pictures, a frame's
// worth at a time, so the file interleaves them as it grows.
#pragma once

#include <cstdint>
#include <string>

#include "tools/capture/frame_sink.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;
class MusicTrack;

struct VideoSettings {
    std::string path;
    int width = 640;
    int height = 480;
    int fps = 60;
    int crf = 18;
    std::string preset = "superfast";
    // The sound track, read from its start; none when null.
    MusicTrack* music = nullptr;
    // Length of the sound track in samples at 44100 Hz.
    int64_t soundSamples = 0;
};

class VideoFileWriter : public FrameSink {
public:
    VideoFileWriter() = default;
    ~VideoFileWriter() override;
    VideoFileWriter(const VideoFileWriter&) = delete;
    VideoFileWriter& operator=(const VideoFileWriter&) = delete;

    // Creates the file and its encoders. False with the reason in Error();
    // nothing is left on disk then.
    bool Open(const VideoSettings& settings);

    bool Write(const CapturedFrame& frame) override;
    bool Finish(int64_t frames, bool complete) override;
    void Discard() override;
    uint64_t BytesWritten() const override { return m_bytes; }

private:
    bool OpenVideo();
    bool OpenSound();
    // Encodes the sound track up to (not including) sample `end`; with
    // `last`, the final short block too.
    bool EncodeSoundUntil(int64_t end, bool last);
    // Sends one frame (null to drain) and writes every packet that results.
    bool Encode(AVCodecContext* encoder, AVStream* stream, AVFrame* frame);
    bool Fail(const std::string& what, int code);
    void Close();

    VideoSettings m_settings;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_video = nullptr;
    AVCodecContext* m_sound = nullptr;
    AVStream* m_videoStream = nullptr;
    AVStream* m_soundStream = nullptr;
    AVFrame* m_picture = nullptr;
    AVFrame* m_block = nullptr;
    AVPacket* m_packet = nullptr;
    SwsContext* m_converter = nullptr;
    int64_t m_soundWritten = 0;
    uint64_t m_bytes = 0;
    bool m_headerWritten = false;
    bool m_fileCreated = false;
};
