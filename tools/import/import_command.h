// The zolt-import command: reads and converts each model in a child process
// of its own (so that the library's crashes and hangs end only the child),
// and writes every scene and texture into the pack at once, or nothing when
// any model fails.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace import {

// Parses the arguments (without the program name) and runs; the exit
// status: 0 done (or --help), 1 a model or the pack failed, 2 a usage error.
int RunImport(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// The default scene name of a model: its base name with ".KVF".
std::string DefaultSceneName(const std::string& modelPath);

} // namespace import
