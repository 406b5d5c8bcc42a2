// The command line of zolt-preview:
//   zolt-preview [DIR] [--from T] [--commands]
#pragma once

#include <string>

struct PreviewOptions {
    std::string folder = ".";
    double fromSeconds = 0.0;
    // Read commands from standard input even with a display.
    bool commands = false;
};

enum class ParseResult { Run, Help, Refused };

// Fills `options` from the whole argument list (program name first). Help
// and the reason for a refusal are printed by the parser.
ParseResult ParsePreviewOptions(int argc, char** argv, PreviewOptions* options);
