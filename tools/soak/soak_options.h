// The command line of zolt-soak:
//   zolt-soak [--frames N] [--fps N]
#pragma once

#include <cstdint>
#include <string>

struct SoakOptions {
    int64_t frames = 100000;
    int fps = 60;
    bool help = false;
};

extern const char kSoakUsage[];

// Fills `options` from the arguments after the program name. False with a
// one-line reason in `error` (without the program's name) on bad input.
bool ParseSoakOptions(int argc, const char* const* argv, SoakOptions* options, std::string* error);
