// Writes a show file for a script: what unpack leaves in a show folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/show/script_model.h"

namespace show {

struct ListedMember {
    std::string name;
    uint64_t size = 0;
    std::string extractedTo; // the file in the show folder, or "" when not extracted
};

// What the show file says of the pack: an archive kept as it is (its
// members listed in comments), or the files its members were extracted to.
struct PackListing {
    std::string archive;
    std::vector<ListedMember> members;
};

std::string WriteShowFile(const ScriptModel& script, const PackListing& pack);

} // namespace show
