// The pre-transformed, lit vertex of the full-screen and overlay quads:
// x and y in render-target pixels, depth z, rhw, an ARGB colour and one
// texture coordinate pair (28 bytes).
#pragma once

#include <cstdint>

#include "platform/d3d8/d3d8_types.h"

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};

static_assert(sizeof(ScreenVertex) == 28, "screen vertices are 28 bytes");

constexpr DWORD kScreenVertexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1; // 0x144
