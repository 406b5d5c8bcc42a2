#include "scene/light.h"

#include <cstring>
#include <new>

#include "pack/pack_file.h"
#include "platform/d3d8/d3d8.h"
#include "platform/report/report.h"
#include "scene/kvf_read.h"
#include "scene/scene.h"

namespace {
constexpr float kDegreesToRadians = 0.017453292f;
}

CLight::CLight()
    : type(0),
      target(nullptr),
      colour{0.0f, 0.0f, 0.0f, 1.0f},
      multiplier(0.0f),
      hotspot(0.0f),
      falloff(0.0f),
      rangeFlag(0),
      rangeValue1(0.0f),
      range(0.0f),
      markerFlag(0)
{
    std::memset(&light, 0, sizeof light);
}

CLight::~CLight()
{
    delete target;
}

int CLight::Prepare(IDirect3DDevice8* /*device*/)
{
    std::memset(&light, 0, sizeof light);
    light.Diffuse = colour;
    light.Position = position;
    if (type == kPoint) {
        light.Type = D3DLIGHT_POINT;
        light.Range = range;
    } else {
        light.Type = D3DLIGHT_SPOT;
        light.Range = 2.0f * range;
        // A spot light whose target no node made yet looks at the origin,
        // where a freshly made target stands.
        const D3DVECTOR aim = target != nullptr ? target->position : D3DVECTOR{0.0f, 0.0f, 0.0f};
        light.Direction = VectorSubtract(aim, position);
        light.Falloff = 1.0f;
        light.Theta = hotspot * kDegreesToRadians;
        light.Phi = falloff * kDegreesToRadians;
    }
    // Without a usable product the light is left unattenuated rather than
    // given an infinite factor.
    const float product = multiplier * range;
    if (product != 0.0f) {
        light.Attenuation1 = 1.0f / product;
    } else {
        light.Attenuation0 = 1.0f;
    }
    return 0;
}

void CLight::Draw(IDirect3DDevice8* /*device*/)
{
}

uint8_t CLight::Enable(IDirect3DDevice8* device, DWORD index)
{
    light.Position = position;
    const bool targeted = type == kTargetedSpot && target != nullptr;
    if (targeted) {
        // A target on the light gives no direction: the last one is kept.
        const D3DVECTOR aim = VectorSubtract(target->position, position);
        if (VectorLength(aim) > 0.0f) {
            light.Direction = aim;
        }
    }
    device->SetLight(index, &light);
    device->LightEnable(index, TRUE);
    if (targeted) {
        DrawLightMarker(device, position, kLightMarkerColour);
        DrawLightMarker(device, target->position, markerFlag != 0 ? kTargetMarkerGreen : kTargetMarkerRed);
    }
    return 1;
}

int CScene::ReadLight(CPackFile* file, CLight* light)
{
    light->name = ReadName(file);
    if (light->name == nullptr) {
        ShowError("LibKVF : Not enough memory to read a light");
        return 1;
    }
    light->type = ReadInt32(file);
    light->position = ReadVector(file);
    if (light->type == CLight::kTargetedSpot) {
        light->target = new (std::nothrow) CTargetObject();
        if (light->target == nullptr) {
            ShowError("LibKVF : Not enough memory to read a light");
            return 1;
        }
        light->target->position = ReadVector(file);
    }
    light->colour.r = ReadFloat(file);
    light->colour.g = ReadFloat(file);
    light->colour.b = ReadFloat(file);
    light->multiplier = ReadFloat(file);
    if (light->type != CLight::kPoint) {
        light->hotspot = ReadFloat(file);
        light->falloff = ReadFloat(file);
    }
    light->rangeFlag = ReadByte(file);
    if (light->rangeFlag != 0 && light->type != CLight::kNoRangeType) {
        light->rangeValue1 = ReadFloat(file);
        light->range = ReadFloat(file);
    }
    light->markerFlag = ReadByte(file);
    return 0;
}
