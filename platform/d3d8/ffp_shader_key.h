// The compact description of the fixed-function state that decides which
// GLSL program draws: vertex inputs, lights and their types, material
// sources, texture-coordinate sources and transforms, the stage cascade and
// the per-pixel tests. Equal keys always generate equal programs; fields that
// do not matter for a state are left zero so that such states share one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/d3d8/d3d8_types.h"
#include "platform/d3d8/d3d8_vertex_format.h"

namespace zolt_d3d {

constexpr int kMaxStages = 8;
constexpr int kMaxActiveLights = 8;
constexpr int kRenderStateCount = 256;
constexpr int kStageStateCount = 32;

// Where a lit colour comes from: the material, or one of the vertex colours.
enum : uint8_t { kSourceMaterial = 0, kSourceVertexDiffuse = 1, kSourceVertexSpecular = 2 };

struct FfpStageKey {
    uint8_t colorOp;     // D3DTOP; DISABLE never appears (the cascade ends before it)
    uint8_t colorArg0, colorArg1, colorArg2;
    uint8_t alphaOp;     // D3DTOP_DISABLE keeps the current alpha
    uint8_t alphaArg0, alphaArg1, alphaArg2;
    uint8_t colorPass;   // 1: reads a texture that is not bound: colour passes through
    uint8_t alphaPass;   // the same for alpha
    uint8_t resultTemp;  // 1: the result goes to the temporary register
    uint8_t sample;      // 1: the stage samples its texture
    uint8_t texSource;   // D3DTSS_TCI_* >> 16, when sampling
    uint8_t texIndex;    // vertex coordinate set, when sampling from it
    uint8_t texTransformCount; // 0: no texture matrix, else 1 to 4
    uint8_t texProjected;      // 1: divide by the last transformed component
};

struct FfpKey {
    uint8_t pretransformed;
    uint8_t hasNormal;
    uint8_t hasDiffuse;
    uint8_t hasSpecular;
    uint8_t texCount;
    uint8_t texComponents[kMaxTexCoordSets];
    uint8_t lighting;
    uint8_t lightCount;
    uint8_t localViewer;
    uint8_t normalizeNormals;
    uint8_t lightType[kMaxActiveLights];
    uint8_t diffuseSource;
    uint8_t ambientSource;
    uint8_t specularSource;
    uint8_t emissiveSource;
    uint8_t needSpecular;   // the specular colour is computed and interpolated
    uint8_t specularAdd;    // SPECULARENABLE: added after the cascade
    uint8_t flatShade;
    uint8_t alphaFunc;      // D3DCMP when the alpha test can reject, else 0
    uint8_t stageCount;
    uint8_t pad[3];
    FfpStageKey stages[kMaxStages];

    bool operator==(const FfpKey& other) const { return std::memcmp(this, &other, sizeof(FfpKey)) == 0; }
    bool operator!=(const FfpKey& other) const { return !(*this == other); }
};

struct FfpKeyHash {
    size_t operator()(const FfpKey& key) const;
};

// What the key is built from.
struct FfpInputs {
    const DWORD* renderStates = nullptr;            // kRenderStateCount values
    const DWORD (*stageStates)[kStageStateCount] = nullptr; // kMaxStages rows
    bool textureBound[kMaxStages] = {};
    const VertexLayout* layout = nullptr;
    int lightCount = 0;                              // enabled lights, at most 8
    D3DLIGHTTYPE lightTypes[kMaxActiveLights] = {};
};

void BuildFfpKey(const FfpInputs& inputs, FfpKey* key);

// True when a texture-stage operation reads argument 0, 1 or 2.
bool StageOpReadsArg(DWORD op, int argument);
// True when the operation reads the stage's texture alpha without an argument
// naming it (BLENDTEXTUREALPHA and its premultiplied form).
bool StageOpReadsTextureImplicitly(DWORD op);

} // namespace zolt_d3d
