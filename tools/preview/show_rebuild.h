// Rebuilding a show folder from its show.toml with the zolt-show program that
// sits beside zolt-preview, run as a child process.
#pragma once

#include <string>

// True when `folder` holds a show.toml (the show is built from it).
bool HasShowFile(const std::string& folder);

// Runs `zolt-show build FOLDER` and waits for it; its output goes to standard
// error. False with a one-line reason when the program is not there, cannot
// be started or fails.
bool RebuildShow(const std::string& folder, std::string* problem);
