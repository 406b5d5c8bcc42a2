#include "scene/texture_map.h"

#include <new>

#include "gfx/texture_loader.h"
#include "math/engine_math.h"
#include "pack/pack_file.h"
#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/release_interface.h"
#include "platform/report/report.h"
#include "scene/controller.h"
#include "scene/kvf_read.h"
#include "scene/scene.h"

namespace {
// The smallest texture-map record: kind, empty name, reserved int32, has-file
// byte and sub-map count.
constexpr int kMinTextMapBytes = 14;
// An animated offset key: time, u and v.
constexpr int kOffsetKeyBytes = 12;

void SetOffsetMatrix(D3DMATRIX* m, float u, float v)
{
    SetIdentity(m);
    m->_31 = u;
    m->_32 = v;
}

// The sphere-map matrix of reflection maps: camera-space normals to [0, 1].
void SetSphereMapMatrix(D3DMATRIX* m)
{
    for (auto& row : m->m) {
        for (float& value : row) {
            value = 0.0f;
        }
    }
    m->_11 = 0.5f;
    m->_22 = -0.5f;
    m->_33 = 1.0f;
    m->_41 = 0.5f;
    m->_42 = 0.5f;
    m->_44 = 1.0f;
}
} // namespace

CTextMap::CTextMap()
    : name(nullptr),
      fileName(nullptr),
      kind(0),
      hasFile(0),
      subMapCount(0),
      subMaps(nullptr),
      animated(0),
      uTrack(nullptr),
      vTrack(nullptr),
      uOffset(0.0f),
      vOffset(0.0f),
      usesTransform(0),
      texture(nullptr)
{
    SetIdentity(&textureMatrix);
}

CTextMap::~CTextMap()
{
    delete[] name;
    delete[] fileName;
    delete[] subMaps;
    delete uTrack;
    delete vTrack;
    ReleaseInterface(texture);
}

int CTextMap::Prepare(IDirect3DDevice8* device)
{
    if (kind != kTexture && kind != kReflection) {
        return 0;
    }
    if (fileName != nullptr && device != nullptr && texture == nullptr) {
        if (LoadTexture(device, fileName, &texture) != 0) {
            texture = nullptr;
            ShowError("Lib KVF : Error while loading texture : %s", fileName);
            return 0;
        }
    }
    if (animated != 0 || uOffset != 0.0f || vOffset != 0.0f) {
        usesTransform = 1;
        SetOffsetMatrix(&textureMatrix, uOffset, vOffset);
    }
    if (kind == kReflection) {
        SetSphereMapMatrix(&textureMatrix);
    }
    return 0;
}

void CTextMap::Update(float t)
{
    if (animated != 0) {
        uOffset = SampleOrZero(uTrack, t);
        vOffset = SampleOrZero(vTrack, t);
    }
}

IDirect3DTexture8* CTextMap::StageTexture() const
{
    return kind == kTexture || kind == kReflection ? texture : nullptr;
}

void CTextMap::Apply(IDirect3DDevice8* device, DWORD stage)
{
    const D3DTRANSFORMSTATETYPE transform = D3DTS_TEXTURE0 + stage;
    if (kind == kTexture) {
        if (animated != 0) {
            SetOffsetMatrix(&textureMatrix, uOffset, vOffset);
        }
        if (usesTransform != 0) {
            device->SetTransform(transform, &textureMatrix);
            device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        } else {
            device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        }
    } else if (kind == kReflection) {
        device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(stage, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
        device->SetTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(stage, D3DTSS_COLORARG2, D3DTA_CURRENT);
        device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_ADDSMOOTH);
        if (animated != 0) {
            // The animated offset replaces the sphere mapping.
            SetOffsetMatrix(&textureMatrix, uOffset, vOffset);
        }
        device->SetTransform(transform, &textureMatrix);
        device->SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    }
}

int CScene::ReadTextMap(CPackFile* file, CTextMap* map, int nesting)
{
    map->kind = ReadInt32(file);
    map->name = ReadName(file);
    if (map->name == nullptr) {
        ShowError("LibKVF : Not enough memory to read a texture map");
        return 1;
    }
    ReadInt32(file); // reserved
    map->hasFile = ReadByte(file);
    if (map->hasFile == 1) {
        map->fileName = ReadName(file);
        if (map->fileName == nullptr) {
            ShowError("LibKVF : Not enough memory to read a texture map");
            return 1;
        }
        map->animated = ReadByte(file);
        if (map->animated == 0) {
            map->uOffset = -ReadFloat(file);
            map->vOffset = ReadFloat(file);
        } else {
            const int32_t count = ReadInt32(file);
            if (!CountFits(file, count, kOffsetKeyBytes)) {
                ShowError("LibKVF : Corrupted texture map record : %s", map->name);
                return 1;
            }
            map->uTrack = new (std::nothrow) CControllerFloatSampled();
            map->vTrack = new (std::nothrow) CControllerFloatSampled();
            if (map->uTrack == nullptr || map->vTrack == nullptr || map->uTrack->Allocate(count) != 0 ||
                map->vTrack->Allocate(count) != 0) {
                ShowError("LibKVF : Not enough memory to read a texture map");
                return 1;
            }
            for (int32_t i = 0; i < count; ++i) {
                const float time = ReadFloat(file);
                map->uTrack->keys[i] = FloatKeySampled{time, -ReadFloat(file)};
                map->vTrack->keys[i] = FloatKeySampled{time, ReadFloat(file)};
            }
        }
    }
    const int32_t subMaps = ReadInt32(file);
    if (subMaps >= 1) {
        if (nesting + 1 >= kMaxTextMapNesting || !CountFits(file, subMaps, kMinTextMapBytes)) {
            ShowError("LibKVF : Corrupted texture map record : %s", map->name);
            return 1;
        }
        map->subMaps = new (std::nothrow) CTextMap[subMaps];
        if (map->subMaps == nullptr) {
            ShowError("LibKVF : Not enough memory to read a texture map");
            return 1;
        }
        map->subMapCount = subMaps;
        for (int32_t i = 0; i < subMaps; ++i) {
            if (ReadTextMap(file, &map->subMaps[i], nesting + 1) != 0) {
                return 1;
            }
        }
    }
    return 0;
}
