// zolt-web run on shows made here: what it writes, and what it refuses.
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "demo/script_writer.h"
#include "tests/support/pack_builder.h"
#include "tests/support/test_audio.h"
#include "tools/web/web_export.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

void WriteScript(const std::string& path, const std::string& music)
{
    ScriptWriter writer;
    writer.WriteString(music);
    writer.WriteByte(0);
    writer.WriteInt32(0);
    const std::vector<uint8_t>& bytes = writer.Bytes();
    WriteAll(path, std::string(bytes.begin(), bytes.end()));
}

struct ProgramRun {
    int status = -1;
    std::string errors;
};

ProgramRun RunZoltWeb(const std::vector<std::string>& args, const std::string& errorFile)
{
    std::string command = std::string(ZOLT_BINARY_DIR) + "/zolt-web";
    for (const std::string& arg : args) {
        command += " '" + arg + "'";
    }
    command += " 2>'" + errorFile + "'";
    const int status = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.errors = ReadAll(errorFile);
    return run;
}

struct Audio {
    int rate = 0;
    int channels = 0;
    double seconds = 0.0;
    double rms = 0.0;
};

// The Ogg Vorbis file decoded whole.
Audio Decode(const std::string& path)
{
    Audio audio;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        return audio;
    }
    avformat_find_stream_info(format, nullptr);
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, format->streams[stream]->codecpar);
    avcodec_open2(decoder, codec, nullptr);
    audio.rate = decoder->sample_rate;
    audio.channels = decoder->ch_layout.nb_channels;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t samples = 0;
    double sum = 0.0;
    auto drain = [&]() {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            const float* left = reinterpret_cast<const float*>(frame->data[0]);
            for (int i = 0; i < frame->nb_samples; ++i) {
                sum += static_cast<double>(left[i]) * left[i];
            }
            samples += frame->nb_samples;
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == stream) {
            avcodec_send_packet(decoder, packet);
            drain();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    drain();
    audio.seconds = static_cast<double>(samples) / std::max(audio.rate, 1);
    audio.rms = samples > 0 ? std::sqrt(sum / samples) : 0.0;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return audio;
}

class WebExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        show = dir.File("show");
        engine = dir.File("engine");
        out = dir.File("out");
        fs::create_directories(show);
        fs::create_directories(engine);
        WriteAll(engine + "/zolt.js", "// the engine's glue\n");
        WriteAll(engine + "/zolt.wasm", std::string("\0asm\1\0\0\0", 8));
        ASSERT_TRUE(WritePack(show + "/data.pac", {{"Logo.tga", std::vector<uint8_t>(300, 7)}}));
    }

    TempDirectory dir;
    std::string show;
    std::string engine;
    std::string out;
};

} // namespace

TEST_F(WebExport, WritesThePageTheEngineTheShowAsItIsAndTheMusicAsOggVorbis)
{
    // A music name that must not break out of the page's script element.
    const std::string music = "tone \"<!--<script>.wav";
    ASSERT_TRUE(WriteTestMusic(show + "/tone.wav", 2.5));
    fs::rename(show + "/tone.wav", show + "/" + music);
    WriteScript(show + "/Marble.Spt", music);

    const ProgramRun run = RunZoltWeb({"--engine", engine, show, out}, dir.File("errors"));
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    for (const char* same : {"Marble.Spt", "data.pac"}) {
        EXPECT_EQ(ReadAll(out + "/" + same), ReadAll(show + "/" + same)) << same;
    }
    for (const char* same : {"zolt.js", "zolt.wasm"}) {
        EXPECT_EQ(ReadAll(out + "/" + same), ReadAll(engine + "/" + same)) << same;
    }
    // The name is not plain, so the music is music.ogg; the page knows both.
    const std::string page = ReadAll(out + "/index.html");
    EXPECT_NE(page.find(R"({"script": "Marble.Spt", "pack": "data.pac", "music": "music.ogg", )"
                        R"("musicName": "tone \"\u003c!--\u003cscript\u003e.wav"})"),
              std::string::npos);
    EXPECT_EQ(page.find("<!--<script>"), std::string::npos);

    // As long as the player measures the music, 44.1 kHz stereo, the tone kept.
    const Audio audio = Decode(out + "/music.ogg");
    EXPECT_EQ(audio.rate, 44100);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_NEAR(audio.seconds, 2.5, 0.01);
    EXPECT_GT(audio.rms, 0.03);
    EXPECT_EQ(fs::directory_iterator(out) != fs::directory_iterator(), true);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 6);
}

TEST_F(WebExport, RendersATrackerModuleToOggVorbisNamedAfterIt)
{
    ASSERT_TRUE(WriteTestModule(show + "/song.mod"));
    WriteScript(show + "/Marble.Spt", "song.mod");
    const ProgramRun run = RunZoltWeb({"--engine", engine, show, out}, dir.File("errors"));
    ASSERT_EQ(run.status, 0) << run.errors;
    const Audio audio = Decode(out + "/song.ogg");
    EXPECT_GE(audio.seconds, 0.9);
    EXPECT_LT(audio.seconds, 2.0);
    EXPECT_GT(audio.rms, 0.01);
    EXPECT_NE(ReadAll(out + "/index.html").find(R"("music": "song.ogg", "musicName": "song.mod")"),
              std::string::npos);
}

TEST_F(WebExport, RefusesWhatItCannotWriteWithOneLineAndLeavesNothing)
{
    ASSERT_TRUE(WriteTestMusic(show + "/tone.wav", 1.0));
    WriteScript(show + "/Marble.Spt", "tone.wav");
    struct Case {
        const char* what;
        std::string file;  // removed or broken before the run
        std::string bytes; // its new bytes; empty: removed
        bool noEngine;
    };
    const std::vector<Case> cases = {
        {"no pack", "data.pac", "", false},
        {"no music", "tone.wav", "", false},
        {"music that is not music", "tone.wav", "not a sound file at all", false},
        {"a script without a terminated name", "Marble.Spt", std::string(300, 'x'), false},
        {"no browser build", "", "", true},
    };
    for (const Case& c : cases) {
        TempDirectory scratch;
        const std::string copy = scratch.File("show");
        fs::copy(show, copy);
        if (!c.file.empty()) {
            if (c.bytes.empty()) {
                fs::remove(copy + "/" + c.file);
            } else {
                WriteAll(copy + "/" + c.file, c.bytes);
            }
        }
        const std::string target = scratch.File("out");
        const ProgramRun run = RunZoltWeb({"--engine", c.noEngine ? scratch.File("nothing") : engine, copy, target},
                                   scratch.File("errors"));
        EXPECT_EQ(run.status, 1) << c.what;
        EXPECT_EQ(run.errors.rfind("zolt-web: ", 0), 0u) << c.what << ": " << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << c.what << ": " << run.errors;
        const bool empty = !fs::exists(target) || fs::directory_iterator(target) == fs::directory_iterator();
        EXPECT_TRUE(empty) << c.what;
    }
}

TEST(WebPage, JsonStringsStayInsideTheirScriptElement)
{
    EXPECT_EQ(JsonString("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(JsonString("</script><!--"), R"("\u003c/script\u003e\u003c!--")");
    EXPECT_EQ(JsonString(std::string("tab\tnl\n", 7)), R"("tab\u0009nl\u000a")");
    // The template's default file list is replaced whole.
    const std::string page = MakePage("m.ogg", "m.xm");
    EXPECT_NE(page.find(R"(const ZOLT_SHOW = {"script": "Marble.Spt", "pack": "data.pac", "music": "m.ogg", )"
                        R"("musicName": "m.xm"};)"),
              std::string::npos);
    EXPECT_EQ(page.find("/*ZOLT_SHOW*/"), std::string::npos);
}
