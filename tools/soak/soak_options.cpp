#include "tools/soak/soak_options.h"

#include <cerrno>
#include <cstdlib>

#include "tools/common/command_line.h"

const char kSoakUsage[] =
    "usage: zolt-soak [--frames N] [--fps N]\n"
    "Run in a show folder. Draws N frames of the show, the music time advancing\n"
    "1/fps s a frame and going back to 0 at the music's end, and prints the resident\n"
    "memory every 1000 frames. Exits 0 when the lowest resident memory of the last\n"
    "complete loop of the show is no more than the larger of 1 MiB and 1% above the\n"
    "lowest of its second loop, 1 otherwise or when fewer than three loops were drawn,\n"
    "2 on a bad command line.\n"
    "  --frames N   frames to draw, 1 to 1000000000 (default 100000)\n"
    "  --fps N      frames per second of music time, 1 to 240 (default 60)\n";

namespace {

bool ParseInteger(const char* text, long long low, long long high, long long* value)
{
    if (text == nullptr || *text == '\0') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    *value = parsed;
    return true;
}

}  // namespace

bool ParseSoakOptions(int argc, const char* const* argv, SoakOptions* options, std::string* error)
{
    *options = SoakOptions();
    tools::CommandLine line;
    line.Value("--frames", [&](const std::string& value) {
        long long number = 0;
        if (!ParseInteger(value.c_str(), 1, 1000000000, &number)) {
            throw tools::BadValue{"--frames must be a whole number from 1 to 1000000000, not '" + value + "'"};
        }
        options->frames = number;
    });
    line.Value("--fps", [&](const std::string& value) {
        long long number = 0;
        if (!ParseInteger(value.c_str(), 1, 240, &number)) {
            throw tools::BadValue{"--fps must be a whole number from 1 to 240, not '" + value + "'"};
        }
        options->fps = static_cast<int>(number);
    });
    const tools::CommandLine::Outcome outcome = line.Read(argc, argv);
    if (!line.Words().empty()) {
        *error = "unknown argument '" + line.Words().front() + "'";
        return false;
    }
    if (outcome == tools::CommandLine::Outcome::Help) {
        options->help = true;
        return true;
    }
    if (outcome != tools::CommandLine::Outcome::Read) {
        *error = line.Fault();
        return false;
    }
    return true;
}
