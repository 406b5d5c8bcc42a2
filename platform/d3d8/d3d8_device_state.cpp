// The device's Set/Get calls: transforms, viewport, material, lights,
// render and texture-stage states, and vertex input.
#include <algorithm>
#include <cstring>

#include "platform/d3d8/d3d8_impl.h"

namespace zolt_d3d {

namespace {

constexpr size_t kMaxLightSlots = 4096;

} // namespace

// ---- Transforms, viewport, material, lights ----------------------------------

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (matrix == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    D3DMATRIX* slot = nullptr;
    UniformGroup group = kGroupTransform;
    bool affectsLights = false;
    if (state == D3DTS_VIEW) {
        slot = &m_state.view;
        affectsLights = true;
    } else if (state == D3DTS_PROJECTION) {
        slot = &m_state.projection;
    } else if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) {
        slot = &m_state.textureMatrix[state - D3DTS_TEXTURE0];
        group = kGroupTexMatrix;
    } else if (state >= D3DTS_WORLD && state < D3DTS_WORLD + 256) {
        slot = &m_state.world[state - D3DTS_WORLD];
        if (state != D3DTS_WORLD) {
            *slot = *matrix; // vertex blending is not done: stored only
            return D3D_OK;
        }
    } else {
        return D3DERR_INVALIDCALL;
    }
    if (std::memcmp(slot, matrix, sizeof(D3DMATRIX)) == 0) {
        return D3D_OK;
    }
    FlushBatch();
    *slot = *matrix;
    SetGroupDirty(group);
    if (affectsLights) {
        SetGroupDirty(kGroupLights);
    }
    return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    if (matrix == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (state == D3DTS_VIEW) {
        *matrix = m_state.view;
    } else if (state == D3DTS_PROJECTION) {
        *matrix = m_state.projection;
    } else if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) {
        *matrix = m_state.textureMatrix[state - D3DTS_TEXTURE0];
    } else if (state >= D3DTS_WORLD && state < D3DTS_WORLD + 256) {
        *matrix = m_state.world[state - D3DTS_WORLD];
    } else {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT Device::MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (matrix == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    D3DMATRIX current;
    const HRESULT got = GetTransform(state, &current);
    if (got != D3D_OK) {
        return got;
    }
    // The given matrix is applied first: result = matrix x current.
    D3DMATRIX result;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                sum += static_cast<double>(matrix->m[r][k]) * current.m[k][c];
            }
            result.m[r][c] = static_cast<float>(sum);
        }
    }
    return SetTransform(state, &result);
}

HRESULT Device::SetViewport(const D3DVIEWPORT8* viewport)
{
    if (viewport == nullptr || m_renderTarget == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const uint64_t right = static_cast<uint64_t>(viewport->X) + viewport->Width;
    const uint64_t bottom = static_cast<uint64_t>(viewport->Y) + viewport->Height;
    if (right > m_renderTarget->width() || bottom > m_renderTarget->height() || !(viewport->MinZ >= 0.0f) ||
        !(viewport->MaxZ <= 1.0f) || !(viewport->MinZ <= viewport->MaxZ)) {
        return D3DERR_INVALIDCALL;
    }
    if (std::memcmp(&m_state.viewport, viewport, sizeof(D3DVIEWPORT8)) == 0) {
        return D3D_OK;
    }
    FlushBatch();
    m_state.viewport = *viewport;
    m_dirty |= kDirtyTarget;
    SetGroupDirty(kGroupViewport);
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT8* viewport)
{
    if (viewport == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *viewport = m_state.viewport;
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL8* material)
{
    if (material == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (std::memcmp(&m_state.material, material, sizeof(D3DMATERIAL8)) == 0) {
        return D3D_OK;
    }
    FlushBatch();
    m_state.material = *material;
    SetGroupDirty(kGroupMaterial);
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL8* material)
{
    if (material == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *material = m_state.material;
    return D3D_OK;
}

Device::LightSlot* Device::FindLight(DWORD index)
{
    auto it = std::lower_bound(m_state.lights.begin(), m_state.lights.end(), index,
                               [](const LightSlot& slot, DWORD value) { return slot.index < value; });
    if (it != m_state.lights.end() && it->index == index) {
        return &*it;
    }
    return nullptr;
}

Device::LightSlot* Device::FindOrCreateLight(DWORD index)
{
    if (LightSlot* found = FindLight(index)) {
        return found;
    }
    if (m_state.lights.size() >= kMaxLightSlots) {
        return nullptr;
    }
    LightSlot slot{};
    slot.index = index;
    // A light enabled without being set is a white directional light
    // shining along +z.
    slot.light.Type = D3DLIGHT_DIRECTIONAL;
    slot.light.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
    slot.light.Direction = D3DVECTOR{0.0f, 0.0f, 1.0f};
    slot.enabled = false;
    auto it = std::lower_bound(m_state.lights.begin(), m_state.lights.end(), index,
                               [](const LightSlot& s, DWORD value) { return s.index < value; });
    it = m_state.lights.insert(it, slot);
    LightSlot* created = &*it;
    RecomputeActiveLights();
    return created;
}

void Device::RecomputeActiveLights()
{
    int count = 0;
    for (size_t i = 0; i < m_state.lights.size() && count < kMaxActiveLights; ++i) {
        if (m_state.lights[i].enabled) {
            m_activeLights[count++] = static_cast<int>(i);
        }
    }
    m_activeLightCount = count;
    m_dirty |= kDirtyKey;
    SetGroupDirty(kGroupLights);
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT8* light)
{
    if (light == nullptr || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL) {
        return D3DERR_INVALIDCALL;
    }
    LightSlot* existing = FindLight(index);
    if (existing != nullptr && std::memcmp(&existing->light, light, sizeof(D3DLIGHT8)) == 0) {
        return D3D_OK;
    }
    FlushBatch();
    LightSlot* slot = FindOrCreateLight(index);
    if (slot == nullptr) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    const bool typeChanged = slot->light.Type != light->Type;
    slot->light = *light;
    if (slot->enabled) {
        SetGroupDirty(kGroupLights);
        if (typeChanged) {
            m_dirty |= kDirtyKey;
        }
    }
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT8* light)
{
    if (light == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const LightSlot* slot = FindLight(index);
    if (slot == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *light = slot->light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable)
{
    const bool want = enable != 0;
    LightSlot* existing = FindLight(index);
    if (existing != nullptr && existing->enabled == want) {
        return D3D_OK;
    }
    if (existing == nullptr && !want) {
        // Disabling a light never set still creates it, as Direct3D does.
        if (FindOrCreateLight(index) == nullptr) {
            return D3DERR_OUTOFVIDEOMEMORY;
        }
        return D3D_OK;
    }
    FlushBatch();
    LightSlot* slot = FindOrCreateLight(index);
    if (slot == nullptr) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    slot->enabled = want;
    RecomputeActiveLights();
    return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable)
{
    if (enable == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const LightSlot* slot = FindLight(index);
    if (slot == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *enable = slot->enabled ? TRUE : FALSE;
    return D3D_OK;
}

// ---- Render and texture-stage states ----------------------------------------

void Device::MarkRenderStateDirty(D3DRENDERSTATETYPE state)
{
    switch (state) {
    case D3DRS_ZENABLE:
    case D3DRS_FILLMODE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_CULLMODE:
    case D3DRS_ZFUNC:
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_STENCILENABLE:
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
    case D3DRS_STENCILWRITEMASK:
    case D3DRS_POINTSIZE:
    case D3DRS_COLORWRITEENABLE:
    case D3DRS_BLENDOP:
        m_dirty |= kDirtyFixed;
        break;
    case D3DRS_SHADEMODE:
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_ALPHAFUNC:
    case D3DRS_SPECULARENABLE:
    case D3DRS_LIGHTING:
    case D3DRS_COLORVERTEX:
    case D3DRS_LOCALVIEWER:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
        m_dirty |= kDirtyKey;
        break;
    case D3DRS_AMBIENT:
        SetGroupDirty(kGroupMaterial);
        break;
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_ALPHAREF:
        SetGroupDirty(kGroupPixel);
        break;
    default:
        break;
    }
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (state >= static_cast<DWORD>(kRenderStateCount)) {
        return D3DERR_INVALIDCALL;
    }
    if (m_state.renderStates[state] == value) {
        return D3D_OK;
    }
    FlushBatch();
    m_state.renderStates[state] = value;
    if (state == D3DRS_STENCILENABLE && value != 0) {
        m_programUsesStencil = true;
    }
    MarkRenderStateDirty(state);
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    if (value == nullptr || state >= static_cast<DWORD>(kRenderStateCount)) {
        return D3DERR_INVALIDCALL;
    }
    *value = m_state.renderStates[state];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= static_cast<DWORD>(kMaxStages) || type >= static_cast<DWORD>(kStageStateCount)) {
        return D3DERR_INVALIDCALL;
    }
    if (m_state.stageStates[stage][type] == value) {
        return D3D_OK;
    }
    FlushBatch();
    m_state.stageStates[stage][type] = value;
    switch (type) {
    case D3DTSS_ADDRESSU:
    case D3DTSS_ADDRESSV:
    case D3DTSS_ADDRESSW:
    case D3DTSS_BORDERCOLOR:
    case D3DTSS_MAGFILTER:
    case D3DTSS_MINFILTER:
    case D3DTSS_MIPFILTER:
    case D3DTSS_MIPMAPLODBIAS:
    case D3DTSS_MAXMIPLEVEL:
    case D3DTSS_MAXANISOTROPY:
        m_stageSamplerDirty[stage] = true;
        m_dirty |= kDirtyTextures;
        break;
    case D3DTSS_BUMPENVMAT00:
    case D3DTSS_BUMPENVMAT01:
    case D3DTSS_BUMPENVMAT10:
    case D3DTSS_BUMPENVMAT11:
    case D3DTSS_BUMPENVLSCALE:
    case D3DTSS_BUMPENVLOFFSET:
        break;
    default:
        m_dirty |= kDirtyKey;
        break;
    }
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    if (value == nullptr || stage >= static_cast<DWORD>(kMaxStages) || type >= static_cast<DWORD>(kStageStateCount)) {
        return D3DERR_INVALIDCALL;
    }
    *value = m_state.stageStates[stage][type];
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture)
{
    if (stage >= static_cast<DWORD>(kMaxStages)) {
        return D3DERR_INVALIDCALL;
    }
    Texture* newTexture = nullptr;
    if (texture != nullptr) {
        newTexture = dynamic_cast<Texture*>(texture);
        if (newTexture == nullptr || newTexture->device() != this) {
            return D3DERR_INVALIDCALL;
        }
    }
    if (newTexture == m_state.textures[stage]) {
        return D3D_OK;
    }
    FlushBatch();
    Texture* old = m_state.textures[stage];
    if (newTexture != nullptr) {
        newTexture->AddRef();
    }
    m_state.textures[stage] = newTexture;
    if ((old == nullptr) != (newTexture == nullptr)) {
        m_dirty |= kDirtyKey;
    }
    m_dirty |= kDirtyTextures;
    if (old != nullptr) {
        old->Release();
    }
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture)
{
    if (texture == nullptr || stage >= static_cast<DWORD>(kMaxStages)) {
        return D3DERR_INVALIDCALL;
    }
    *texture = m_state.textures[stage];
    if (m_state.textures[stage] != nullptr) {
        m_state.textures[stage]->AddRef();
    }
    return D3D_OK;
}

// ---- Vertex input ------------------------------------------------------------

HRESULT Device::SetVertexShader(DWORD handle)
{
    VertexLayout layout;
    if ((handle & 1) != 0 || !DecodeFvf(handle, &layout)) {
        return D3DERR_INVALIDCALL;
    }
    if (m_state.layoutValid && handle == m_state.fvf) {
        return D3D_OK;
    }
    FlushBatch();
    m_state.fvf = handle;
    m_state.layout = layout;
    m_state.layoutValid = true;
    m_dirty |= kDirtyKey | kDirtyFixed;
    return D3D_OK;
}

HRESULT Device::GetVertexShader(DWORD* handle)
{
    if (handle == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *handle = m_state.fvf;
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData, UINT stride)
{
    if (streamNumber >= 16) {
        return D3DERR_INVALIDCALL;
    }
    VertexBuffer* buffer = nullptr;
    if (streamData != nullptr) {
        buffer = dynamic_cast<VertexBuffer*>(streamData);
        if (buffer == nullptr) {
            return D3DERR_INVALIDCALL;
        }
    }
    if (streamNumber != 0) {
        // Flexible vertex formats read stream 0 only.
        return D3D_OK;
    }
    if (buffer != nullptr) {
        buffer->AddRef();
    }
    VertexBuffer* old = m_state.stream;
    m_state.stream = buffer;
    m_state.streamStride = stride;
    if (old != nullptr) {
        old->Release();
    }
    return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData, UINT* stride)
{
    if (streamData == nullptr || stride == nullptr || streamNumber >= 16) {
        return D3DERR_INVALIDCALL;
    }
    if (streamNumber != 0) {
        *streamData = nullptr;
        *stride = 0;
        return D3D_OK;
    }
    *streamData = m_state.stream;
    *stride = m_state.streamStride;
    if (m_state.stream != nullptr) {
        m_state.stream->AddRef();
    }
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer8* indexData, UINT baseVertexIndex)
{
    IndexBuffer* buffer = nullptr;
    if (indexData != nullptr) {
        buffer = dynamic_cast<IndexBuffer*>(indexData);
        if (buffer == nullptr) {
            return D3DERR_INVALIDCALL;
        }
        buffer->AddRef();
    }
    IndexBuffer* old = m_state.indices;
    m_state.indices = buffer;
    m_state.baseVertexIndex = baseVertexIndex;
    if (old != nullptr) {
        old->Release();
    }
    return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer8** indexData, UINT* baseVertexIndex)
{
    if (indexData == nullptr || baseVertexIndex == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *indexData = m_state.indices;
    *baseVertexIndex = m_state.baseVertexIndex;
    if (m_state.indices != nullptr) {
        m_state.indices->AddRef();
    }
    return D3D_OK;
}

} // namespace zolt_d3d
