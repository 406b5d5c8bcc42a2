// Writes the pack the player reads: a ZIP archive. The new pack is written
// beside the old one under a temporary name and renamed into place only
// when it is complete, so a failure leaves the old pack as it was.
#pragma once

#include <string>
#include <vector>

#include "tools/import/texture_store.h"

namespace import {

// Writes `members` into `packPath`. With `append`, the members of the
// existing pack whose names (case aside) are not among `members` are kept.
// False with the reason in *error.
bool WritePack(const std::string& packPath, const std::vector<PackEntry>& members, bool append, std::string* error);

// Every member of a pack, in archive order; false when it cannot be read.
bool ReadPack(const std::string& packPath, std::vector<PackEntry>* members, std::string* error);

} // namespace import
