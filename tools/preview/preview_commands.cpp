#include "tools/preview/preview_commands.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tools/preview/preview_session.h"

namespace {

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Control characters in an effect name would break the one-line answer.
std::string Printable(const char* text)
{
    std::string out;
    for (const char* c = text; *c != '\0'; ++c) {
        out += static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F ? '?' : *c;
    }
    return out;
}

std::string Where(const PreviewSession& session)
{
    char time[48];
    std::snprintf(time, sizeof time, "ok %.3f", session.ShownMs() / 1000.0);
    std::string answer = time;
    if (const char* name = session.ShownEffectName()) {
        answer += " " + Printable(name);
    }
    return answer;
}

// A whole decimal number of seconds (no trailing text); false otherwise.
bool ParseSeconds(const std::string& text, double* seconds)
{
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    *seconds = std::strtod(text.c_str(), &end);
    return errno == 0 && end != nullptr && *end == '\0' && std::isfinite(*seconds);
}

}  // namespace

std::string RunCommand(const CommandContext& context, const std::string& line, bool* quit)
{
    PreviewSession& session = *context.session;
    const std::string command = Trim(line);
    const size_t space = command.find_first_of(" \t");
    const std::string verb = command.substr(0, space);
    const std::string argument = space == std::string::npos ? std::string() : Trim(command.substr(space));

    const bool takesArgument = verb == "seek" || verb == "shot";
    if (!takesArgument && !argument.empty() &&
        (verb == "pause" || verb == "play" || verb == "next" || verb == "prev" || verb == "reload" ||
         verb == "time" || verb == "quit")) {
        return "error " + verb + " takes no argument";
    }
    if (verb == "pause") {
        session.Pause();
        return Where(session);
    }
    if (verb == "play") {
        session.Play();
        return Where(session);
    }
    if (verb == "time") {
        return Where(session);
    }
    if (verb == "seek") {
        double seconds = 0.0;
        if (!ParseSeconds(argument, &seconds)) {
            return "error seek needs a time in seconds, as in seek 61.5";
        }
        const double lengthSeconds = session.LengthMs() / 1000.0;
        if (seconds < 0.0 || seconds > lengthSeconds) {
            char text[128];
            std::snprintf(text, sizeof text, "error seek %s is outside the music (0 to %.3f s)", argument.c_str(),
                          lengthSeconds);
            return text;
        }
        session.SeekTo(seconds * 1000.0);
        return Where(session);
    }
    if (verb == "next") {
        if (!session.NextEffect()) {
            return "error no effect starts after the picture";
        }
        return Where(session);
    }
    if (verb == "prev") {
        session.PreviousEffect();
        return Where(session);
    }
    if (verb == "reload") {
        std::string problem;
        if (!session.Reload(&problem)) {
            return "error " + problem;
        }
        return Where(session);
    }
    if (verb == "shot") {
        if (argument.empty()) {
            return "error shot needs a file name, as in shot picture.png";
        }
        const std::string path = argument[0] == '/' ? argument : context.startFolder + "/" + argument;
        std::string problem;
        if (!session.Shot(path, &problem)) {
            return "error " + problem;
        }
        return "ok " + argument;
    }
    if (verb == "quit") {
        *quit = true;
        return "ok";
    }
    if (verb.empty()) {
        return "error empty command";
    }
    return "error unknown command " + Printable(verb.c_str()) +
           " (pause, play, seek SECONDS, next, prev, reload, time, shot FILE.png, quit)";
}
