// Pack names of the textures of several models written in one run. A
// texture keeps its name unless an earlier model put other bytes in the pack
// under it (names compared without regard to case); it then becomes
// NAME_2.EXT, NAME_3.EXT, ..., and the maps naming it follow.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/import/scene_converter.h"

namespace import {

class TextureNames {
public:
    // Gives the model's textures their pack names and records them. The
    // old-to-new names of all its textures are worked out first and each
    // map is then rewritten once, so a map renamed to a name that another
    // texture of the model had is not renamed again.
    void Settle(ConvertedModel* model);

    // Records textures whose names were settled elsewhere (in the process
    // that converted the model).
    void Record(const std::vector<PackEntry>& textures);
    void Record(const PackEntry& texture);

private:
    // Upper-case name -> the bytes stored under it.
    std::map<std::string, const std::vector<uint8_t>*> m_taken;
};

} // namespace import
