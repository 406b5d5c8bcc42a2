// The command line of zolt-capture:
//   zolt-capture [--fps N] [--from SEC] [--to SEC] [--size WxH] [--crf Q] [--quiet] OUTPUT
// and what OUTPUT asks for: a video file, a numbered PNG sequence or one still.
#pragma once

#include <string>

enum class OutputKind {
    Video,        // .mp4 or .mkv: H.264 and the music as AAC
    PngSequence,  // a folder (%05d.png inside it) or a pattern with one integer field
    Still         // one .png at --from
};

struct CaptureOptions {
    int fps = 60;
    double fromSeconds = 0.0;
    bool toGiven = false;
    double toSeconds = 0.0;   // the music's length unless given
    unsigned width = 640;
    unsigned height = 480;
    int crf = 18;
    bool quiet = false;
    bool help = false;

    std::string output;
    OutputKind kind = OutputKind::Video;
    // PNG sequence: the printf pattern of file n, and the folder to create
    // first when OUTPUT names a folder that does not exist yet.
    std::string pattern;
    std::string folderToCreate;
};

extern const char kCaptureUsage[];

// Fills `options` from the arguments after the program name. False with a
// one-line reason in `error` (without the program's name) on bad input.
bool ParseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error);
