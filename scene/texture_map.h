// A texture map of a material: a texture file of the pack with an optional
// (animated) texture offset, and nested sub-maps that are read but never drawn.
#pragma once

#include <cstdint>

#include "platform/d3d8/d3d8_types.h"
#include "scene/kvf_format.h"

class CControllerFloatSampled;
class IDirect3DDevice8;
class IDirect3DTexture8;

class CTextMap {
public:
    enum Kind { kTexture = kvf::kMapTexture, kOpacity = kvf::kMapOpacity, kReflection = kvf::kMapReflection };

    CTextMap();
    // Frees the names, the sub-maps and the tracks, releases the texture.
    ~CTextMap();
    CTextMap(const CTextMap&) = delete;
    CTextMap& operator=(const CTextMap&) = delete;

    // Kinds 1 and 9: loads the texture (when a device is given; a texture
    // that cannot be loaded is reported and left out) and sets up the
    // texture matrix. Returns 0.
    int Prepare(IDirect3DDevice8* device);
    // Offsets of an animated map at frame time t.
    void Update(float t);
    // The stage states and texture transform of this map on `stage` (the
    // texture itself is bound by the material). Kinds other than 1 and 9
    // set nothing.
    void Apply(IDirect3DDevice8* device, DWORD stage);
    // The texture this map binds on its stage: kinds 1 and 9 only.
    IDirect3DTexture8* StageTexture() const;

    char* name;              // owned
    char* fileName;          // owned; null without a file
    int32_t kind;            // 1 texture, 6 opacity, 9 reflection, others carried
    uint8_t hasFile;
    int32_t subMapCount;
    CTextMap* subMaps;       // owned array (new[]) of subMapCount maps
    uint8_t animated;
    CControllerFloatSampled* uTrack; // owned; null when not animated
    CControllerFloatSampled* vTrack; // owned; null when not animated
    float uOffset;
    float vOffset;
    uint8_t usesTransform;
    D3DMATRIX textureMatrix;
    IDirect3DTexture8* texture; // owned reference; null until prepared
};
