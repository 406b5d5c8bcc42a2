// Turns one mesh of the model into KVF mesh records: split so that no part
// needs more than 16-bit indices can address, positions shared between
// corners, one texture-coordinate set, vertex colours, explicit corner
// normals (or one smoothing group when the model has none), and the skin.
#pragma once

#include <assimp/scene.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "tools/import/conversion_report.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace import {

// Vertices one part may hold: every vertex index must fit 16 bits.
constexpr unsigned kMaxPartVertices = 65535;
// Influences kept per vertex: the largest, renormalised.
constexpr int kMaxInfluences = 4;

struct MeshContext {
    float scale = 1.0f;
    // The world transform of the mesh's node at frame 0 (skins bind there).
    aiMatrix4x4 nodeWorld;
    // Unique names of the nodes, by their names in the model (the first
    // node of a repeated name); bones name nodes.
    const std::unordered_map<std::string, std::string>* nodeNames = nullptr;
    // When set, the colour each material's vertices carry (ShowBaseColour),
    // by material index; it multiplies the model's own vertex colours.
    const std::vector<kvf::Vec3>* baseColours = nullptr;
    // Normals are written as the model gives them (--bare) or made to light
    // as a viewer lights them: unit length at the node's frame-0 transform.
    bool normalsAsGiven = false;
};

// The parts of the mesh, unnamed; triangles only (the caller warns about
// points and lines).
std::vector<kvf::Mesh> ConvertMesh(const aiMesh* mesh, const MeshContext& context, ConversionReport* report);

} // namespace import
