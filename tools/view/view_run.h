// The zolt-view command: writes the show of the models into a temporary
// folder, plays it there with the player's own start-up, main loop and
// shut-down, in a window, and removes the folder.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// The exit status: 0 after the show ended (the music's length, Escape or the
// window closed), 1 when a model, the music or the show failed, 2 a usage
// error.
int RunView(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
