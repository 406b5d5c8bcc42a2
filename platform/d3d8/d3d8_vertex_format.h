// Decoding of flexible vertex format codes into attribute offsets.
#pragma once

#include <cstdint>

#include "platform/d3d8/d3d8_types.h"

namespace zolt_d3d {

constexpr int kMaxTexCoordSets = 8;
constexpr UINT kNoAttribute = 0xFFFFFFFFu;

struct VertexLayout {
    DWORD fvf = 0;
    UINT size = 0;                  // bytes per vertex
    bool pretransformed = false;    // XYZRHW: x, y, z, rhw
    int positionComponents = 0;     // 3 or 4
    UINT normalOffset = kNoAttribute;
    UINT psizeOffset = kNoAttribute;
    UINT diffuseOffset = kNoAttribute;
    UINT specularOffset = kNoAttribute;
    UINT texCount = 0;
    UINT texOffset[kMaxTexCoordSets] = {};
    uint8_t texComponents[kMaxTexCoordSets] = {}; // 1 to 4
};

// False for codes the fixed-function pipeline cannot draw: no position,
// more than eight coordinate sets, or unknown position bits.
bool DecodeFvf(DWORD fvf, VertexLayout* layout);

// Vertices needed for a primitive count: POINTLIST n, LINELIST 2n,
// LINESTRIP n + 1, TRIANGLELIST 3n, TRIANGLESTRIP and TRIANGLEFAN n + 2.
// 0 for an unknown type or a zero count.
UINT VertexCountForPrimitives(D3DPRIMITIVETYPE type, UINT primitiveCount);

} // namespace zolt_d3d
