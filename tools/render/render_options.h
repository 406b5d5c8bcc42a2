// The command line of zolt-render, read into one description of the run.
#pragma once

#include <cstdint>
#include <string>

#include "tools/common/frame_pattern.h"

enum class RenderMode {
    Picture,  // one frame time to one file
    Sequence, // --frames: one picture per time, named by a pattern
    Bench,    // --bench: draw and time frames, write nothing
};

struct RenderOptions {
    std::string pack = "data.pac";
    std::string scene;
    RenderMode mode = RenderMode::Picture;
    float frame = 0.0f;            // Picture and Bench: the (first) frame time
    double first = 0.0;            // Sequence: times first + i * step, i < pictureCount
    double step = 1.0;
    int pictureCount = 1;
    std::string out = "frame.png"; // Picture: the file
    FramePattern pattern;          // Sequence: the file names
    uint32_t clearColour = 0;      // 0x00RRGGBB
    bool skybox = false;
    int benchFrames = 0;
};

enum class ParseOutcome { Run, Help, UsageError };

// Reads argv[1..argc-1]. On UsageError, `problem` says what is wrong.
ParseOutcome ParseRenderOptions(int argc, const char* const* argv, RenderOptions* options, std::string* problem);

// The most pictures one --frames run may write; more is taken for a typing
// mistake rather than run for days.
constexpr int kMaxSequencePictures = 1000000;
