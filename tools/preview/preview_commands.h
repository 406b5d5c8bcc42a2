// The commands zolt-preview reads from standard input, one a line, each
// answered with exactly one line: "ok ..." or "error ...".
//
//   pause, play          -> ok TIME NAME
//   seek SECONDS         -> ok TIME NAME     (0 to the music's length)
//   next, prev           -> ok TIME NAME
//   reload               -> ok TIME NAME
//   time                 -> ok TIME NAME
//   shot FILE.png        -> ok FILE.png      (the picture on screen)
//   quit                 -> ok
//
// TIME is the music time of the picture on screen in seconds with three
// decimals; NAME the name of the effect it shows, left out when it shows
// none.
#pragma once

#include <string>

class PreviewSession;

struct CommandContext {
    PreviewSession* session = nullptr;
    // Relative picture paths are taken from here (where the program was
    // started), not from the show folder.
    std::string startFolder;
};

// Runs one command line and returns its answer, without the line end. Sets
// *quit for quit.
std::string RunCommand(const CommandContext& context, const std::string& line, bool* quit);
