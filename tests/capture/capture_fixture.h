// A show folder made for capture tests and the means to run zolt-capture in
// it and read back what it wrote.
//
// The show: three seconds of silent music with one loud click at 1.5 s, and
// two plain effects, [0, 1000) and [1500, 2500) ms. A plain effect leaves the
// picture black; without an effect it is dark blue (0x000044), so the picture
// turns blue at 1.0 s, black again at 1.5 s (with the click) and blue at 2.5 s.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/pack_builder.h"

constexpr double kMusicSeconds = 3.0;
constexpr double kClickSeconds = 1.5;
constexpr int kSampleRate = 44100;

struct ProgramRun {
    int status = -1;
    std::string errors;  // standard error
};

// The video and sound of a file as decoded by libavformat.
struct DecodedMedia {
    bool opened = false;
    // Per picture: its time in seconds and whether it is dark blue.
    std::vector<double> frameTimes;
    std::vector<bool> frameBlue;
    int width = 0;
    int height = 0;
    // The file's duration in seconds.
    double duration = 0.0;
    // The left channel and the time of its first sample.
    std::vector<float> sound;
    double soundStart = 0.0;

    // The first picture from `from` on whose colour differs from the one before.
    int NextChange(int from) const;
    // Seconds from the sound's start to the first sample louder than half scale.
    double ClickTime() const;
};

DecodedMedia DecodeMedia(const std::string& path);

// A PNG's size and its centre pixel as 0xRRGGBB; width 0 when unreadable.
struct PngPicture {
    int width = 0;
    int height = 0;
    uint32_t centre = 0;
};
PngPicture ReadPng(const std::string& path);

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Runs zolt-capture with `arguments` (already quoted for the shell) in
    // the show folder.
    ProgramRun Capture(const std::string& arguments) const;
    // Makes the music `name` from the show's music with ffmpeg's options and
    // has the script play it instead.
    bool UseMusic(const std::string& name, const std::string& ffmpegOptions) const;
    std::string File(const std::string& name) const { return m_dir.File(name); }
    bool Exists(const std::string& name) const;

    TempDirectory m_dir;
};

std::string CaptureProgram();
