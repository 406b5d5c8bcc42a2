// What the conversion of one model hands back from its child process: the
// finished scene file, its textures under their pack names, the lines the
// command prints for it and the files it read; or the reason it failed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/import/texture_store.h"

namespace import {

struct ModelResult {
    bool converted = false;
    std::string error;                 // why not, when not converted
    std::vector<uint8_t> scene;        // the KVF file
    std::vector<PackEntry> textures;
    std::string summary;               // the summary line, without its newline
    std::vector<std::string> warnings; // one line each, without the file's name
    // Every file the conversion read, the model first, and whether a texture
    // it names was not found: what a cache of the result must watch.
    std::vector<std::string> sourceFiles;
    bool texturesMissing = false;
};

std::vector<uint8_t> EncodeModelResult(const ModelResult& result);
// False when the bytes are not a whole encoded result.
bool DecodeModelResult(const std::vector<uint8_t>& bytes, ModelResult* result);

} // namespace import
