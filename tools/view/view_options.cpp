#include "tools/view/view_options.h"

#include <cstdlib>

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
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (a == "--help") {
            options->help = true;
            return true;
        } else if ((a == "--music" || a == "--fps") && !hasValue) {
            err << "zolt-view: " << a << " needs a value\n" << kViewUsage;
            return false;
        } else if (a == "--music") {
            options->music = arguments[++i];
        } else if (a == "--fps") {
            char* end = nullptr;
            const std::string& value = arguments[++i];
            const long fps = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || fps < 1 || fps > 1000) {
                err << "zolt-view: --fps takes a whole number of frames per second from 1 to 1000\n";
                return false;
            }
            options->fps = static_cast<int>(fps);
        } else if (a.rfind("--", 0) == 0) {
            err << "zolt-view: unknown option " << a << "\n" << kViewUsage;
            return false;
        } else {
            options->models.push_back(a);
        }
    }
    if (options->models.empty()) {
        err << kViewUsage;
        return false;
    }
    return true;
}
