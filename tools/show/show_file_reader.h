// Reads show.toml with toml++: every key checked against the ones its table
// may hold, every value against its type and range.
#pragma once

#include <string>
#include <vector>

#include "tools/show/show_file.h"

namespace show {

// False with the first problem in *problem.
bool ReadShowFile(const std::string& text, const std::string& fileName, ShowFile* show, Problem* problem);

// The known key nearest to `key` in edits (for "did you mean").
std::string NearestKey(const std::string& key, const std::vector<std::string>& known);

} // namespace show
