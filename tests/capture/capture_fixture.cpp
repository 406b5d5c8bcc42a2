#include "tests/capture/capture_fixture.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <stb/stb_image.h>

#include "demo/script_writer.h"
#include "tests/support/test_images.h"
#include "tests/support/wav_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

// Stereo 16-bit PCM: silence with a 5 ms full-scale click at kClickSeconds.
std::vector<uint8_t> ClickWav()
{
    const uint32_t frames = static_cast<uint32_t>(kMusicSeconds * kSampleRate);
    const uint32_t clickStart = static_cast<uint32_t>(kClickSeconds * kSampleRate);
    const uint32_t clickEnd = clickStart + kSampleRate / 200;
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2, 0);
    for (uint32_t i = clickStart; i < clickEnd && i < frames; ++i) {
        samples[2 * i] = samples[2 * i + 1] = 30000;
    }
    return PcmWav(kSampleRate, 2, samples);
}

std::vector<uint8_t> Script(const std::string& music)
{
    ScriptWriter writer;
    writer.WriteString(music);
    writer.WriteByte(0);
    writer.WriteInt32(2);
    writer.WriteInt32(0);
    writer.WriteString("first");
    writer.WriteFloat(0.0f);
    writer.WriteFloat(1000.0f);
    writer.WriteInt32(0);
    writer.WriteString("second");
    writer.WriteFloat(1500.0f);
    writer.WriteFloat(2500.0f);
    return writer.Bytes();
}

// Dark blue has a blue chroma about 15 above neutral (128), where black sits.
bool IsBlue(const AVFrame* frame)
{
    const int x = frame->width / 4;
    const int y = frame->height / 4;
    return frame->data[1][y * frame->linesize[1] + x] > 136;
}

}  // namespace

std::string CaptureProgram()
{
    return std::string(ZOLT_BINARY_DIR) + "/zolt-capture";
}

int DecodedMedia::NextChange(int from) const
{
    for (int i = std::max(from, 1); i < static_cast<int>(frameBlue.size()); ++i) {
        if (frameBlue[i] != frameBlue[i - 1]) {
            return i;
        }
    }
    return -1;
}

double DecodedMedia::ClickTime() const
{
    for (size_t i = 0; i < sound.size(); ++i) {
        if (std::fabs(sound[i]) > 0.5f) {
            return static_cast<double>(i) / kSampleRate;
        }
    }
    return -1.0;
}

DecodedMedia DecodeMedia(const std::string& path)
{
    DecodedMedia media;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        return media;
    }
    avformat_find_stream_info(format, nullptr);
    media.duration = format->duration > 0 ? format->duration / double(AV_TIME_BASE) : 0.0;
    AVCodecContext* decoders[2] = {nullptr, nullptr};
    int streams[2] = {av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0),
                      av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0)};
    for (int k = 0; k < 2; ++k) {
        if (streams[k] < 0) {
            continue;
        }
        const AVCodecParameters* parameters = format->streams[streams[k]]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        decoders[k] = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoders[k], parameters);
        avcodec_open2(decoders[k], codec, nullptr);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool soundStarted = false;
    auto drain = [&](int k) {
        const AVRational base = format->streams[streams[k]]->time_base;
        while (avcodec_receive_frame(decoders[k], frame) >= 0) {
            const double time = frame->best_effort_timestamp * av_q2d(base);
            if (k == 0) {
                media.frameTimes.push_back(time);
                media.frameBlue.push_back(IsBlue(frame));
                media.width = frame->width;
                media.height = frame->height;
            } else {
                if (!soundStarted) {
                    media.soundStart = time;
                    soundStarted = true;
                }
                const float* left = reinterpret_cast<const float*>(frame->data[0]);
                media.sound.insert(media.sound.end(), left, left + frame->nb_samples);
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        for (int k = 0; k < 2; ++k) {
            if (decoders[k] != nullptr && packet->stream_index == streams[k]) {
                avcodec_send_packet(decoders[k], packet);
                drain(k);
            }
        }
        av_packet_unref(packet);
    }
    for (int k = 0; k < 2; ++k) {
        if (decoders[k] != nullptr) {
            avcodec_send_packet(decoders[k], nullptr);
            drain(k);
            avcodec_free_context(&decoders[k]);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    media.opened = true;
    return media;
}

PngPicture ReadPng(const std::string& path)
{
    PngPicture picture;
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &picture.width, &picture.height, &channels, 3);
    if (pixels == nullptr) {
        picture.width = 0;
        return picture;
    }
    const size_t at = (static_cast<size_t>(picture.height / 2) * picture.width + picture.width / 2) * 3;
    picture.centre = (uint32_t(pixels[at]) << 16) | (uint32_t(pixels[at + 1]) << 8) | pixels[at + 2];
    stbi_image_free(pixels);
    return picture;
}

void CaptureTest::SetUp()
{
    ASSERT_TRUE(std::ifstream(CaptureProgram()).good()) << "build zolt-capture first";
    ASSERT_FALSE(m_dir.Path().empty());
    ASSERT_TRUE(WriteFileBytes(File("Marble.Spt"), Script("music.wav")));
    ASSERT_TRUE(WriteFileBytes(File("music.wav"), ClickWav()));
    const std::vector<uint8_t> face = EncodeJpeg(QuadrantImage());
    std::vector<PackMember> members;
    for (const char* name :
         {"Otter_FR.JPG", "Otter_BK.JPG", "Otter_DN.JPG", "Otter_UP.JPG", "Otter_LF.JPG", "Otter_RT.JPG"}) {
        members.push_back({name, face});
    }
    ASSERT_TRUE(WritePack(File("data.pac"), members));
}

bool CaptureTest::UseMusic(const std::string& name, const std::string& ffmpegOptions) const
{
    const std::string command = "cd '" + m_dir.Path() + "' && ffmpeg -nostdin -v error -y -i music.wav " +
                                ffmpegOptions + " '" + name + "' </dev/null";
    return std::system(command.c_str()) == 0 && WriteFileBytes(File("Marble.Spt"), Script(name));
}

ProgramRun CaptureTest::Capture(const std::string& arguments) const
{
    const std::string command = "cd '" + m_dir.Path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 '" +
                                CaptureProgram() + "' " + arguments + " </dev/null >/dev/null 2>stderr.txt";
    ProgramRun run;
    const int raw = std::system(command.c_str());
    if (raw != -1 && WIFEXITED(raw)) {
        run.status = WEXITSTATUS(raw);
    }
    std::ifstream errors(File("stderr.txt"));
    run.errors.assign(std::istreambuf_iterator<char>(errors), std::istreambuf_iterator<char>());
    return run;
}

bool CaptureTest::Exists(const std::string& name) const
{
    struct stat info {};
    return stat(File(name).c_str(), &info) == 0;
}
