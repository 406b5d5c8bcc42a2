// How the faces that use a material are lit and blended, with its texture
// maps. The scene holds an array of materials; meshes refer to them by index.
#pragma once

#include <cstdint>

#include "platform/d3d8/d3d8_types.h"

class CTextMap;
class IDirect3DDevice8;

// Texture stages a device has; maps beyond them are not drawn.
constexpr int32_t kTextureStageCount = 8;

class CMaterial {
public:
    CMaterial();
    // Frees the name and the maps.
    ~CMaterial();
    CMaterial(const CMaterial&) = delete;
    CMaterial& operator=(const CMaterial&) = delete;

    // Loads the maps' textures (when a device is given), notes which map
    // kinds are present and fills the device material. Returns 0.
    int Prepare(IDirect3DDevice8* device);
    // Animated texture offsets follow the frame time.
    void Update(float t);
    // Transparent: drawn in the sorted pass rather than with its mesh.
    bool IsTransparent() const;
    // Sets the textures, stage states, material and render states its faces
    // are drawn with, noting the cull mode for Unapply.
    void Apply(IDirect3DDevice8* device);
    // Puts the cull mode back and empties the stages of its maps; blend, fill
    // and depth writes stay as Apply set them.
    void Unapply(IDirect3DDevice8* device);

    char* name;               // owned
    int32_t id;               // as read; lookups use the array index
    D3DCOLORVALUE ambient;    // alpha is not in the file: 0
    D3DCOLORVALUE diffuse;
    D3DCOLORVALUE specular;
    float power;
    float transparency;       // above 0.1: blended
    uint8_t twoSided;
    uint8_t wireframe;
    int32_t blendKind;
    int32_t mapCount;
    CTextMap* maps;           // owned array (new[]) of mapCount maps
    int32_t mapFlags;         // OR of the kinds 1, 6, 9 present, set by Prepare
    D3DMATERIAL8 deviceMaterial;
    DWORD savedCullMode;
};
