#include "tools/preview/preview_options.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>

namespace {

constexpr char kDescription[] =
    "Plays a show folder (Marble.Spt, data.pac and the music) in a window with time controls:\n"
    "Space pause/resume, Left/Right 5 s back/forward (with Shift 1 s), Page Up/Down previous/next\n"
    "effect's start, Home restart, R rebuild (zolt-show build, when show.toml is there) and reload,\n"
    "F full screen, Escape quit. With --commands, and always without a display, it also reads\n"
    "commands from standard input, one a line, each answered with one line 'ok ...' or 'error ...':\n"
    "pause, play, seek SECONDS, next, prev, reload, time, shot FILE.png, quit.";

}  // namespace

ParseResult ParsePreviewOptions(int argc, char** argv, PreviewOptions* options)
{
    CLI::App app(kDescription, "zolt-preview");
    app.add_option("DIR", options->folder, "the show folder (default: the working directory)");
    app.add_option("--from", options->fromSeconds, "music time to start at, in seconds (default 0)");
    app.add_flag("--commands", options->commands, "read commands from standard input");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        app.exit(help);
        return ParseResult::Help;
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return ParseResult::Refused;
    }
    if (!std::isfinite(options->fromSeconds) || options->fromSeconds < 0.0) {
        std::fprintf(stderr, "zolt-preview: --from needs a time of 0 seconds or more\n");
        return ParseResult::Refused;
    }
    return ParseResult::Run;
}
