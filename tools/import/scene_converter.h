// Converts one model, as the library reads it, into a KVF scene and the
// textures it uses: the node tree in depth-first order, meshes, materials,
// the first animation, skins, cameras and lights.
#pragma once

#include <assimp/scene.h>

#include <string>
#include <vector>

#include "tools/import/conversion_report.h"
#include "tools/import/texture_store.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace import {

// How the library is asked to read models: triangles, shared vertices,
// primitive kinds apart, and its own check of the data.
extern const unsigned kImportFlags;

struct ConvertOptions {
    int framesPerSecond = 30;
    float scale = 1.0f;
    // Converts the model as it is: no camera or lights added, and the
    // materials' colours not carried by the vertices.
    bool bare = false;
};

struct ConvertedModel {
    kvf::Scene scene;
    std::vector<PackEntry> textures;
    ConversionReport report;
    // Every file the conversion read (the model, its buffers, its textures)
    // and whether a texture it names was not found: what a cache of the
    // result must watch.
    std::vector<std::string> sourceFiles;
    bool texturesMissing = false;
};

// Reads `path` with the library and converts it; `prefix` names embedded
// textures. False with the library's reason in *error.
bool ConvertModel(const std::string& path, const std::string& prefix, const ConvertOptions& options,
                  ConvertedModel* out, std::string* error);

// Converts a scene the library has read from `path`.
void ConvertScene(const aiScene* scene, const std::string& path, const std::string& prefix,
                  const ConvertOptions& options, ConvertedModel* out);

// A reason the library gives, as one line of at most 200 characters (and
// "..." when cut).
std::string ReadableReason(const std::string& reason);

// The name the library gives the format it read (its metadata), or "".
std::string SourceFormat(const aiScene* scene);

} // namespace import
