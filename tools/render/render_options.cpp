#include "tools/render/render_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tools/common/command_line.h"

namespace {

bool ParseNumber(const char* text, double* value)
{
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(parsed))
        return false;
    *value = parsed;
    return true;
}

bool ParseFrameTime(const char* text, float* frame)
{
    double value = 0.0;
    // Frame times are floats in the engine; a number beyond float range is a mistake.
    if (!ParseNumber(text, &value) || std::fabs(value) > 1.0e30)
        return false;
    *frame = static_cast<float>(value);
    return true;
}

bool ParsePositiveCount(const char* text, int* count)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || value <= 0 || value > 1000000000L)
        return false;
    *count = static_cast<int>(value);
    return true;
}

// "0xRRGGBB" (also "#RRGGBB" or bare hex digits): one to six hex digits.
bool ParseColour(const char* text, uint32_t* colour)
{
    if (std::strncmp(text, "0x", 2) == 0 || std::strncmp(text, "0X", 2) == 0)
        text += 2;
    else if (text[0] == '#')
        text += 1;
    const size_t digits = std::strlen(text);
    if (digits == 0 || digits > 6 || std::strspn(text, "0123456789abcdefABCDEF") != digits)
        return false;
    *colour = static_cast<uint32_t>(std::strtoul(text, nullptr, 16));
    return true;
}

// "FIRST:LAST:STEP" with STEP > 0 and LAST >= FIRST.
bool ParseFrameRange(const char* text, RenderOptions* options, std::string* problem)
{
    const char* firstColon = std::strchr(text, ':');
    const char* secondColon = firstColon ? std::strchr(firstColon + 1, ':') : nullptr;
    if (!secondColon || std::strchr(secondColon + 1, ':')) {
        *problem = "--frames needs FIRST:LAST:STEP";
        return false;
    }
    const std::string first(text, firstColon);
    const std::string last(firstColon + 1, secondColon);
    double firstValue = 0.0, lastValue = 0.0, stepValue = 0.0;
    if (!ParseNumber(first.c_str(), &firstValue) || !ParseNumber(last.c_str(), &lastValue) ||
        !ParseNumber(secondColon + 1, &stepValue) || std::fabs(firstValue) > 1.0e30 ||
        std::fabs(lastValue) > 1.0e30) {
        *problem = "--frames needs FIRST:LAST:STEP";
        return false;
    }
    if (stepValue <= 0.0) {
        *problem = "--frames needs a STEP above 0";
        return false;
    }
    if (lastValue < firstValue) {
        *problem = "--frames needs LAST at or after FIRST";
        return false;
    }
    // A small allowance keeps LAST itself when the steps add up to it only
    // up to rounding (0:0.3:0.1 gives four pictures).
    const double spans = std::floor((lastValue - firstValue) / stepValue + 1e-9);
    if (!(spans < kMaxSequencePictures)) {
        *problem = "--frames would write more than 1000000 pictures";
        return false;
    }
    options->first = firstValue;
    options->step = stepValue;
    options->pictureCount = static_cast<int>(spans) + 1;
    return true;
}

} // namespace

ParseOutcome ParseRenderOptions(int argc, const char* const* argv, RenderOptions* options, std::string* problem)
{
    bool frameGiven = false;
    bool framesGiven = false;
    bool outGiven = false;
    bool benchGiven = false;
    std::string frames;

    tools::CommandLine line;
    line.Flag("--skybox", [&] { options->skybox = true; });
    line.Value("--pack", [&](const std::string& value) { options->pack = value; });
    line.Value("--frame", [&](const std::string& value) {
        if (!ParseFrameTime(value.c_str(), &options->frame))
            throw tools::BadValue{"--frame needs a number of frames"};
        frameGiven = true;
    });
    line.Value("--frames", [&](const std::string& value) {
        frames = value;
        framesGiven = true;
    });
    line.Value("--out", [&](const std::string& value) {
        options->out = value;
        outGiven = true;
    });
    line.Value("--clear", [&](const std::string& value) {
        if (!ParseColour(value.c_str(), &options->clearColour))
            throw tools::BadValue{"--clear needs a colour 0xRRGGBB"};
    });
    line.Value("--bench", [&](const std::string& value) {
        if (!ParsePositiveCount(value.c_str(), &options->benchFrames))
            throw tools::BadValue{"--bench needs a number of frames from 1 to 1000000000"};
        benchGiven = true;
    });
    const tools::CommandLine::Outcome outcome = line.Read(argc - 1, argv + 1);
    bool sceneGiven = false;
    for (const std::string& word : line.Words()) {
        if (tools::IsOptionLike(word)) {
            *problem = "unknown option " + word;
            return ParseOutcome::UsageError;
        }
        if (sceneGiven) {
            *problem = "only one scene can be drawn";
            return ParseOutcome::UsageError;
        }
        options->scene = word;
        sceneGiven = true;
    }
    if (outcome == tools::CommandLine::Outcome::Help)
        return ParseOutcome::Help;
    if (outcome != tools::CommandLine::Outcome::Read) {
        *problem = line.Fault();
        return ParseOutcome::UsageError;
    }

    if (!sceneGiven) {
        *problem = "no scene given";
        return ParseOutcome::UsageError;
    }
    if (options->pack.empty() || options->out.empty()) {
        *problem = "file names cannot be empty";
        return ParseOutcome::UsageError;
    }
    if (benchGiven) {
        if (framesGiven || outGiven) {
            *problem = "--bench writes nothing: it takes neither --frames nor --out";
            return ParseOutcome::UsageError;
        }
        options->mode = RenderMode::Bench;
        return ParseOutcome::Run;
    }
    if (framesGiven) {
        if (frameGiven) {
            *problem = "--frame and --frames cannot be used together";
            return ParseOutcome::UsageError;
        }
        if (!outGiven) {
            *problem = "--frames needs --out PATTERN";
            return ParseOutcome::UsageError;
        }
        if (!ParseFrameRange(frames.c_str(), options, problem) || !options->pattern.Parse(options->out, problem))
            return ParseOutcome::UsageError;
        options->mode = RenderMode::Sequence;
        return ParseOutcome::Run;
    }
    options->mode = RenderMode::Picture;
    return ParseOutcome::Run;
}
