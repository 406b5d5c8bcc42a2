#include "tools/view/view_options.h"

#include <cstdlib>

#include "tools/common/command_line.h"

const char kViewUsage[] = "usage: zolt-view MODEL... [--music FILE] [--fps N]\n";
const char kViewHelp[] =
    "Shows models in the player: imports them as zolt-import does into a temporary folder, makes a show\n"
    "of one Player3D effect per model, each looping its scene for an equal share of the music, and\n"
    "plays it in a window (offscreen without a display). Escape ends it; the folder is then removed.\n"
    "  --music FILE  the music to play, whose length is the show's (default: 60 seconds of silence)\n"
    "  --fps N       the scenes' frame rate, 1 to 1000 (default 30)\n"
    "  --help        print this text\n";

bool ParseViewOptions(const std::vector<std::string>& arguments, ViewOptions* options, std::ostream& err)
{
    tools::CommandLine line;
    line.Value("--music", [&](const std::string& value) { options->music = value; });
    line.Value("--fps", [&](const std::string& value) {
        char* end = nullptr;
        const long fps = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || fps < 1 || fps > 1000) {
            throw tools::BadValue{"--fps takes a whole number of frames per second from 1 to 1000"};
        }
        options->fps = static_cast<int>(fps);
    });
    return tools::ReadFilesLine(&line, arguments, "zolt-view", kViewUsage, &options->models, &options->help, err);
}
