// The command line of zolt-view:
//   zolt-view MODEL... [--music FILE] [--fps N]
#pragma once

#include <ostream>
#include <string>
#include <vector>

struct ViewOptions {
    std::vector<std::string> models;
    std::string music;  // empty: a minute of silence
    int fps = 30;       // the scenes' frame rate, as zolt-import's --fps
    bool help = false;
};

extern const char kViewUsage[];
extern const char kViewHelp[];

// Fills `options` from the arguments after the program name. False after a
// message on `err` (the exit status is then 2).
bool ParseViewOptions(const std::vector<std::string>& arguments, ViewOptions* options, std::ostream& err);
