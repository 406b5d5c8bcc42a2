#include "tools/capture/capture_options.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tools/common/command_line.h"
#include "tools/common/frame_pattern.h"

const char kCaptureUsage[] =
    "usage: zolt-capture [--fps N] [--from SEC] [--to SEC] [--size WxH] [--crf Q] [--preset P] [--quiet] OUTPUT\n"
    "Run in a show folder. OUTPUT is a video (.mp4 or .mkv, H.264 with the music as AAC),\n"
    "a folder or a pattern such as frames/%05d.png (a PNG sequence numbered from 0),\n"
    "or one .png (a still at --from).\n"
    "  --fps N      frames per second of music time, 1 to 240 (default 60)\n"
    "  --from SEC   music time of the first frame (default 0)\n"
    "  --to SEC     music time at which the video ends (default the music's length)\n"
    "  --size WxH   picture size, 4:3 with even sides, 160x120 to 4096x3072 (default 640x480)\n"
    "  --crf Q      H.264 quality, 0 (lossless) to 51 (default 18)\n"
    "  --preset P   H.264 encoder speed: ultrafast, superfast (default), veryfast, faster, fast,\n"
    "               medium, slow, slower, veryslow or placebo\n"
    "  --quiet      print errors only\n";

namespace {

constexpr int kMaxFps = 240;
const char* const kPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                "medium",    "slow",      "slower",   "veryslow", "placebo"};
constexpr unsigned kMinWidth = 160;
constexpr unsigned kMaxWidth = 4096;

bool EndsWithNoCase(const std::string& text, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    if (text.size() < n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) {
            return false;
        }
    }
    return true;
}

bool ParseSeconds(const char* text, double* value)
{
    if (text == nullptr || *text == '\0') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(parsed) || parsed < 0.0 || parsed > 1.0e6) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ParseInteger(const char* text, long low, long high, long* value)
{
    if (text == nullptr || *text == '\0') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ParseSize(const char* text, unsigned* width, unsigned* height)
{
    const char* x = text != nullptr ? std::strpbrk(text, "xX") : nullptr;
    if (x == nullptr) {
        return false;
    }
    long w = 0;
    long h = 0;
    const std::string left(text, x);
    if (!ParseInteger(left.c_str(), 1, 1 << 20, &w) || !ParseInteger(x + 1, 1, 1 << 20, &h)) {
        return false;
    }
    *width = static_cast<unsigned>(w);
    *height = static_cast<unsigned>(h);
    return true;
}

bool IsDirectory(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Decides what OUTPUT asks for. False with the reason on a name that asks for
// nothing this program writes.
bool ClassifyOutput(CaptureOptions* options, std::string* error)
{
    const std::string& output = options->output;
    if (FramePattern::HoldsField(output)) {
        std::string problem;
        if (!FramePattern().Parse(output, &problem)) {
            *error = "OUTPUT pattern '" + output + "' must hold exactly one integer field such as %05d";
            return false;
        }
        if (!EndsWithNoCase(output, ".png")) {
            *error = "unknown extension in '" + output + "': a frame pattern must end in .png";
            return false;
        }
        options->kind = OutputKind::PngSequence;
        options->pattern = output;
        return true;
    }
    if (output.back() == '/' || IsDirectory(output)) {
        std::string folder = output;
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        options->kind = OutputKind::PngSequence;
        // '%' in a folder name would be read as a field: double it.
        std::string escaped;
        for (char c : folder) {
            escaped += c;
            if (c == '%') {
                escaped += '%';
            }
        }
        options->pattern = (folder == "/" ? "" : escaped) + "/%05d.png";
        if (!IsDirectory(folder)) {
            options->folderToCreate = folder;
        }
        return true;
    }
    if (EndsWithNoCase(output, ".mp4") || EndsWithNoCase(output, ".mkv")) {
        options->kind = OutputKind::Video;
        return true;
    }
    if (EndsWithNoCase(output, ".png")) {
        if (options->toGiven) {
            *error = "a still (" + output + ") is taken at --from alone; for a sequence name a folder or a "
                     "pattern such as frames/%05d.png";
            return false;
        }
        options->kind = OutputKind::Still;
        return true;
    }
    *error = "unknown extension in '" + output + "': write .mp4, .mkv, .png, a folder or a %05d.png pattern";
    return false;
}

}  // namespace

bool ParseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error)
{
    *options = CaptureOptions();
    tools::CommandLine line;
    line.Flag("-q,--quiet", [&] { options->quiet = true; });
    line.Value("--fps", [&](const std::string& value) {
        long number = 0;
        if (!ParseInteger(value.c_str(), 1, kMaxFps, &number)) {
            throw tools::BadValue{"--fps must be a whole number from 1 to 240, not '" + value + "'"};
        }
        options->fps = static_cast<int>(number);
    });
    for (const char* name : {"--from", "--to"}) {
        const std::string option = name;
        line.Value(option, [options, option](const std::string& value) {
            double* target = option == "--from" ? &options->fromSeconds : &options->toSeconds;
            if (!ParseSeconds(value.c_str(), target)) {
                throw tools::BadValue{option + " must be a number of seconds from 0, not '" + value + "'"};
            }
            options->toGiven |= option == "--to";
        });
    }
    line.Value("--size", [&](const std::string& value) {
        unsigned w = 0;
        unsigned h = 0;
        if (!ParseSize(value.c_str(), &w, &h) || w * 3 != h * 4 || w % 2 != 0 || h % 2 != 0 || w < kMinWidth ||
            w > kMaxWidth) {
            throw tools::BadValue{"--size must be 4:3 with even sides, from 160x120 to 4096x3072 (640x480, "
                                  "1280x960...), not '" + value + "'"};
        }
        options->width = w;
        options->height = h;
    });
    line.Value("--crf", [&](const std::string& value) {
        long number = 0;
        if (!ParseInteger(value.c_str(), 0, 51, &number)) {
            throw tools::BadValue{"--crf must be a whole number from 0 to 51, not '" + value + "'"};
        }
        options->crf = static_cast<int>(number);
    });
    line.Value("--preset", [&](const std::string& value) {
        bool known = false;
        std::string names;
        for (const char* name : kPresets) {
            known |= value == name;
            names += names.empty() ? name : std::string(", ") + name;
        }
        if (!known) {
            throw tools::BadValue{"--preset must be one of " + names + ", not '" + value + "'"};
        }
        options->preset = value;
    });
    const tools::CommandLine::Outcome outcome = line.Read(argc, argv);
    bool haveOutput = false;
    for (const std::string& word : line.Words()) {
        if (tools::IsOptionLike(word)) {
            *error = "unknown option '" + word + "'";
            return false;
        }
        if (haveOutput || word.empty()) {
            *error = word.empty() ? "OUTPUT is empty" : "only one OUTPUT may be given";
            return false;
        }
        options->output = word;
        haveOutput = true;
    }
    if (outcome == tools::CommandLine::Outcome::Help) {
        options->help = true;
        return true;
    }
    if (outcome != tools::CommandLine::Outcome::Read) {
        *error = line.Fault();
        return false;
    }
    if (!haveOutput) {
        *error = "no OUTPUT given";
        return false;
    }
    if (options->toGiven && options->toSeconds <= options->fromSeconds) {
        *error = "--to must be after --from";
        return false;
    }
    return ClassifyOutput(options, error);
}
