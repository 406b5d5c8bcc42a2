// Shared by the mesh and modifier tests: a pack stream over bytes made by the
// KVF writer, and helpers for reading records from it.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pack/pack_file.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/scene.h"
#include "tests/support/box_capture.h"
#include "tools/kvf_writer/kvf_writer.h"

// A stream positioned at the start of `bytes`, as Open would leave it.
inline std::unique_ptr<CPackFile> MemoryStream(const std::vector<uint8_t>& bytes)
{
    auto file = std::make_unique<CPackFile>();
    unsigned char* data = new unsigned char[bytes.empty() ? 1 : bytes.size()];
    if (!bytes.empty()) {
        std::memcpy(data, bytes.data(), bytes.size());
    }
    file->block = new PackBlock{static_cast<int32_t>(bytes.size()), 0, data};
    return file;
}

// A scene with `count` materials, for resolving material ids.
inline void GiveMaterials(CScene* scene, int count)
{
    scene->materialCount = count;
    scene->materials = count > 0 ? new CMaterial[count] : nullptr;
}

// Reads one mesh record written by the writer; the stream is handed back
// so that tests can see where reading stopped.
struct ReadMeshResult {
    int result;
    std::unique_ptr<CMesh> mesh;
    std::unique_ptr<CPackFile> file;
};

inline ReadMeshResult ReadMeshBytes(CScene* scene, const std::vector<uint8_t>& bytes)
{
    ReadMeshResult r;
    r.file = MemoryStream(bytes);
    r.mesh = std::make_unique<CMesh>();
    r.result = scene->ReadMesh(r.file.get(), r.mesh.get());
    return r;
}

// A flat mesh of one triangle per face over `positions` (file axes).
inline kvf::Mesh TriangleMesh(const std::string& name, const std::vector<kvf::Vec3>& positions,
                              const std::vector<kvf::Face>& faces)
{
    kvf::Mesh mesh;
    mesh.name = name;
    mesh.positions = positions;
    mesh.faces = faces;
    return mesh;
}
