// The vertex and face records of meshes. MeshVertex is also the layout of the
// meshes' device vertex buffers (and of the light markers), so its size and
// field offsets are fixed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d8/d3d8_types.h"

class CMaterial;

// D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1.
constexpr DWORD kMeshVertexFvf = 0x152;

struct MeshVertex {
    float x, y, z;
    float nx, ny, nz;
    uint32_t colour; // 0xAARRGGBB
    float u, v;
};
static_assert(sizeof(MeshVertex) == 36, "MeshVertex is the 36-byte device vertex");
static_assert(offsetof(MeshVertex, nx) == 12, "normal at offset 12");
static_assert(offsetof(MeshVertex, colour) == 24, "colour at offset 24");
static_assert(offsetof(MeshVertex, u) == 28, "texture coordinates at offset 28");

// One triangle. File faces index the mesh's positions (corners already in
// engine order) and carry their smoothing group and unit face normal; built
// faces index the built vertices and carry only the material id and, once
// resolved, the material.
struct MeshFace {
    uint16_t corners[3];
    D3DVECTOR normal;
    int32_t smoothingGroup;
    int32_t materialId;   // -1: no material
    CMaterial* material;  // not owned; null until resolved
};
