#include "scene/material.h"

#include <cstring>
#include <new>

#include "platform/d3d8/d3d8.h"
#include "pack/pack_file.h"
#include "platform/report/report.h"
#include "scene/kvf_read.h"
#include "scene/scene.h"
#include "scene/texture_map.h"

namespace {
// The smallest texture-map record (see ReadTextMap).
constexpr int kMinTextMapBytes = 14;

D3DCOLORVALUE ReadColour(CPackFile* file)
{
    D3DCOLORVALUE colour;
    colour.r = ReadFloat(file);
    colour.g = ReadFloat(file);
    colour.b = ReadFloat(file);
    colour.a = 0.0f; // not in the file
    return colour;
}
} // namespace

CMaterial::CMaterial()
    : name(nullptr),
      id(0),
      ambient{0.0f, 0.0f, 0.0f, 0.0f},
      diffuse{0.0f, 0.0f, 0.0f, 0.0f},
      specular{0.0f, 0.0f, 0.0f, 0.0f},
      power(0.0f),
      transparency(0.0f),
      twoSided(0),
      wireframe(0),
      blendKind(0),
      mapCount(0),
      maps(nullptr),
      mapFlags(0),
      savedCullMode(0)
{
    std::memset(&deviceMaterial, 0, sizeof deviceMaterial);
}

CMaterial::~CMaterial()
{
    delete[] name;
    delete[] maps;
}

int CMaterial::Prepare(IDirect3DDevice8* device)
{
    for (int32_t i = 0; i < mapCount; ++i) {
        const int32_t kind = maps[i].kind;
        if (kind == CTextMap::kTexture || kind == CTextMap::kOpacity || kind == CTextMap::kReflection) {
            mapFlags |= kind;
        }
        maps[i].Prepare(device);
    }
    std::memset(&deviceMaterial, 0, sizeof deviceMaterial);
    if ((mapFlags & 1) != 0) {
        // Textured: the texture is not tinted by the material colours.
        deviceMaterial.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
        deviceMaterial.Ambient = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
    } else {
        deviceMaterial.Ambient = ambient;
        deviceMaterial.Diffuse = diffuse;
    }
    deviceMaterial.Specular = specular;
    deviceMaterial.Power = power;
    return 0;
}

void CMaterial::Update(float t)
{
    for (int32_t i = 0; i < mapCount; ++i) {
        maps[i].Update(t);
    }
}

bool CMaterial::IsTransparent() const
{
    return transparency > 0.1f || (mapFlags & 6) != 0;
}

void CMaterial::Apply(IDirect3DDevice8* device)
{
    // Every stage ends with the texture of the map on it, or none: each is
    // set once to that, so a material applied again changes nothing.
    const int32_t stages = mapCount < kTextureStageCount ? mapCount : kTextureStageCount;
    for (int32_t s = 0; s < kTextureStageCount; ++s) {
        device->SetTexture(static_cast<DWORD>(s), s < stages ? maps[s].StageTexture() : nullptr);
    }
    for (int32_t s = 0; s < stages; ++s) {
        maps[s].Apply(device, static_cast<DWORD>(s));
    }
    device->SetRenderState(D3DRS_SPECULARENABLE, power != 0.0f ? TRUE : FALSE);
    device->SetMaterial(&deviceMaterial);
    device->GetRenderState(D3DRS_CULLMODE, &savedCullMode);
    if (twoSided != 0) {
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
    device->SetRenderState(D3DRS_FILLMODE, wireframe != 0 ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
    if (transparency > 0.1f) {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        DWORD source = D3DBLEND_ONE;
        DWORD destination = D3DBLEND_ONE;
        if (blendKind == 0) {
            source = D3DBLEND_ZERO;
            destination = D3DBLEND_SRCCOLOR;
        } else if (blendKind == 1) {
            source = D3DBLEND_SRCCOLOR;
            destination = D3DBLEND_INVSRCCOLOR;
        }
        device->SetRenderState(D3DRS_SRCBLEND, source);
        device->SetRenderState(D3DRS_DESTBLEND, destination);
    } else {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
    }
    if ((mapFlags & 6) != 0) {
        // An opacity map blends by the alpha.
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    }
}

void CMaterial::Unapply(IDirect3DDevice8* device)
{
    device->SetRenderState(D3DRS_CULLMODE, savedCullMode);
    const int32_t stages = mapCount < kTextureStageCount ? mapCount : kTextureStageCount;
    for (int32_t s = 0; s < stages; ++s) {
        device->SetTexture(static_cast<DWORD>(s), nullptr);
        device->SetTextureStageState(static_cast<DWORD>(s), D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        device->SetTextureStageState(static_cast<DWORD>(s), D3DTSS_TEXCOORDINDEX, 0);
    }
}

int CScene::ReadMaterial(CPackFile* file, CMaterial* material)
{
    material->id = ReadInt32(file);
    material->name = ReadName(file);
    if (material->name == nullptr) {
        ShowError("LibKVF : Not enough memory to read a material");
        return 1;
    }
    material->ambient = ReadColour(file);
    material->diffuse = ReadColour(file);
    material->specular = ReadColour(file);
    ReadFloat(file); // reserved
    material->power = ReadFloat(file);
    material->transparency = ReadFloat(file);
    ReadFloat(file); // reserved
    ReadFloat(file); // reserved
    material->twoSided = ReadByte(file);
    material->wireframe = ReadByte(file);
    material->blendKind = ReadInt32(file);
    const int32_t count = ReadInt32(file);
    if (count < 1) {
        return 0; // no maps
    }
    if (!CountFits(file, count, kMinTextMapBytes)) {
        ShowError("LibKVF : Corrupted material record : %s", material->name);
        return 1;
    }
    material->maps = new (std::nothrow) CTextMap[count];
    if (material->maps == nullptr) {
        ShowError("LibKVF : Not enough memory to read the material %s", material->name);
        return 1;
    }
    material->mapCount = count;
    for (int32_t i = 0; i < count; ++i) {
        if (ReadTextMap(file, &material->maps[i], 0) != 0) {
            return 1;
        }
    }
    return 0;
}
