// A point light (type 1) or spot light (other types) of the fixed-function
// pipeline. Type 2 spot lights carry their target in the record; other spot
// lights get it from a target node.
#pragma once

#include <cstdint>

#include "scene/kvf_format.h"
#include "scene/scene_object.h"

class CLight : public CSceneObject {
public:
    enum { kPoint = kvf::kLightPoint, kTargetedSpot = kvf::kLightTargetedSpot, kNoRangeType = kvf::kLightNoRange };

    CLight();
    // Destroys the target too.
    ~CLight() override;

    // Fills the D3DLIGHT8 from the record. Returns 0.
    int Prepare(IDirect3DDevice8* device) override;
    void Draw(IDirect3DDevice8* device) override;
    // Hands the light at its current position (a targeted spot also aims
    // at its target's) to the device at `index`, enables it and returns 1;
    // a targeted spot then draws its two markers.
    uint8_t Enable(IDirect3DDevice8* device, DWORD index);

    int32_t type;
    CTargetObject* target;   // owned; null unless type 2 or bound by a node
    D3DCOLORVALUE colour;    // alpha not in the file: 1
    float multiplier;
    float hotspot;           // degrees
    float falloff;           // degrees
    uint8_t rangeFlag;
    float rangeValue1;       // as read; unused
    float range;
    uint8_t markerFlag;      // target marker: not 0 green, 0 red
    D3DLIGHT8 light;
};

// Marker colours of targeted spot lights: the light, then its target.
constexpr DWORD kLightMarkerColour = 0xFFFFFFFFu;
constexpr DWORD kTargetMarkerGreen = 0x0000FF00u;
constexpr DWORD kTargetMarkerRed = 0x00FF0000u;

// A camera-facing square of side 4 at `point` in `colour`, unlit and
// untextured; leaves blending off and depth writes on.
void DrawLightMarker(IDirect3DDevice8* device, const D3DVECTOR& point, DWORD colour);
