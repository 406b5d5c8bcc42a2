// The one way a model becomes a scene for a pack, shared by zolt-import and
// zolt-show: the model is read and converted in a child process of its own,
// under the importer's memory ceiling and a time limit of five minutes, so that a crash or
// hang of the library ends only the child and becomes a reason.
#pragma once

#include <string>

#include "tools/import/conversion_report.h"
#include "tools/import/model_result.h"
#include "tools/import/scene_converter.h"
#include "tools/import/texture_names.h"

namespace import {

// Converts the model at `path` into the scene `sceneName` (its embedded
// textures are named after it) and gives its textures pack names after
// those `textureNames` holds. False with what went wrong in *error: the
// library's reason, or how the child ended ("reading it crashed
// (Segmentation fault)", "reading it took longer than 300 seconds").
bool ConvertInChild(const std::string& path, const std::string& sceneName, const ConvertOptions& options,
                    const TextureNames& textureNames, ModelResult* result, std::string* error);

// The line a converted model prints: its scene name, what it holds, and
// what the conversion had to change.
std::string SummaryLine(const std::string& sceneName, const ConversionReport& report);

} // namespace import
