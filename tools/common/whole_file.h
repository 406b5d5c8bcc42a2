// A file read whole into memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// The bytes of the file at `path`; false when it cannot be opened or read.
bool ReadWhole(const std::string& path, std::vector<uint8_t>* bytes);

} // namespace tools
