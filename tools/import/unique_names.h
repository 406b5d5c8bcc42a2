// Hands out names no earlier caller got: the engine binds nodes, bones and
// targets to objects by name, so a name the model repeats gets a suffix.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace import {

// The longest string a KVF file holds.
constexpr size_t kMaxNameLength = 255;

class UniqueNames {
public:
    // `wanted` if still free (an empty name becomes `fallback`), else the
    // first free of wanted_2, wanted_3, ... Names are cut to the file's 255
    // characters.
    std::string Claim(const std::string& wanted, const std::string& fallback = "node");

private:
    std::unordered_set<std::string> m_taken;
    // Per base name, the first suffix not yet known to be taken.
    std::unordered_map<std::string, int> m_nextSuffix;
};

} // namespace import
