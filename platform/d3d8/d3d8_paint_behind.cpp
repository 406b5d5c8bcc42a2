// Painting behind: a background that would be drawn first and then mostly
// covered is drawn last instead, into the pixels the draws in between left
// alone. Those draws mark what they overwrite in the stencil buffer; the
// background is then drawn where the stencil is still zero, with the
// Direct3D state it would have been drawn with. The picture is the one
// drawing it first gives, because every marked pixel was overwritten without
// being read, and the background neither tests nor writes depth; the
// rasteriser only shades what shows.
#include <algorithm>
#include <cstring>

#include "platform/d3d8/d3d8_impl.h"

namespace zolt_d3d {

namespace {

bool g_allowPaintingBehind = true;

template <typename T>
void TakeReference(T* object)
{
    if (object != nullptr) {
        object->AddRef();
    }
}

// Puts `incoming` (whose reference it takes over) in `slot`, releasing what
// was there.
template <typename T>
void MoveReference(T** slot, T** incoming)
{
    T* old = *slot;
    *slot = *incoming;
    *incoming = nullptr;
    if (old != nullptr) {
        old->Release();
    }
}

template <typename T>
void DropReference(T** slot)
{
    T* old = *slot;
    *slot = nullptr;
    if (old != nullptr) {
        old->Release();
    }
}

} // namespace

void Device::SaveState(StateSnapshot* s)
{
    std::memcpy(s->renderStates, m_renderStates, sizeof m_renderStates);
    std::memcpy(s->stageStates, m_stageStates, sizeof m_stageStates);
    std::memcpy(s->world, m_world, sizeof m_world);
    s->view = m_view;
    s->projection = m_projection;
    std::memcpy(s->textureMatrix, m_textureMatrix, sizeof m_textureMatrix);
    s->material = m_material;
    s->lights = m_lights; // reuses the snapshot's storage once it is large enough
    s->viewport = m_viewport;
    for (int i = 0; i < kMaxStages; ++i) {
        s->textures[i] = m_textures[i];
        TakeReference(s->textures[i]);
    }
    s->stream = m_stream;
    TakeReference(s->stream);
    s->streamStride = m_streamStride;
    s->indices = m_indices;
    TakeReference(s->indices);
    s->baseVertexIndex = m_baseVertexIndex;
    s->fvf = m_fvf;
    s->layout = m_layout;
    s->layoutValid = m_layoutValid;
}

void Device::RestoreState(StateSnapshot* s)
{
    std::memcpy(m_renderStates, s->renderStates, sizeof m_renderStates);
    std::memcpy(m_stageStates, s->stageStates, sizeof m_stageStates);
    std::memcpy(m_world, s->world, sizeof m_world);
    m_view = s->view;
    m_projection = s->projection;
    std::memcpy(m_textureMatrix, s->textureMatrix, sizeof m_textureMatrix);
    m_material = s->material;
    m_lights = s->lights;
    m_viewport = s->viewport;
    for (int i = 0; i < kMaxStages; ++i) {
        MoveReference(&m_textures[i], &s->textures[i]);
    }
    MoveReference(&m_stream, &s->stream);
    m_streamStride = s->streamStride;
    MoveReference(&m_indices, &s->indices);
    m_baseVertexIndex = s->baseVertexIndex;
    m_fvf = s->fvf;
    m_layout = s->layout;
    m_layoutValid = s->layoutValid;
    // Everything derived is worked out again from the state put back.
    RecomputeActiveLights();
    m_dirty = ~0u;
    std::fill(std::begin(m_groupDirty), std::end(m_groupDirty), true);
    std::fill(std::begin(m_stageSamplerDirty), std::end(m_stageSamplerDirty), true);
}

void Device::DropState(StateSnapshot* s)
{
    for (Texture*& texture : s->textures) {
        DropReference(&texture);
    }
    DropReference(&s->stream);
    DropReference(&s->indices);
}

void Device::SetBehind(Behind mode)
{
    if (m_behind != mode) {
        m_behind = mode;
        m_dirty |= kDirtyFixed;
    }
}

bool Device::PaintBehind(ZoltBehindPainter paint, void* context)
{
    if (paint == nullptr || !g_allowPaintingBehind || m_behind != Behind::kOff || m_programUsesStencil ||
        m_depthStencil == nullptr || !m_depthStencil->StoresStencil() || m_cooperative != kOk || !MakeCurrent()) {
        return false;
    }
    FlushBatch();
    if (!m_stencilZero) {
        ApplyTarget();
        m_gl.Enable(GL_SCISSOR_TEST, false);
        m_gl.StencilMask(0xFF);
        glClearStencil(0);
        glClear(GL_STENCIL_BUFFER_BIT);
        m_dirty |= kDirtyFixed;
    }
    if (!m_stateBehind) {
        m_stateBehind = std::make_unique<StateSnapshot>();
        m_stateAround = std::make_unique<StateSnapshot>();
    }
    SaveState(m_stateBehind.get());
    m_behindPainter = paint;
    m_behindContext = context;
    SetBehind(Behind::kMarking);
    m_stencilZero = false;
    return true;
}

bool Device::DrawNeedsBehindPainted() const
{
    const DWORD* rs = m_renderStates;
    const unsigned allChannels = m_renderTarget->colorInfo()->hasAlpha ? 0xFu : 0x7u;
    return rs[D3DRS_ALPHABLENDENABLE] != 0 || (rs[D3DRS_COLORWRITEENABLE] & allChannels) != allChannels ||
           rs[D3DRS_STENCILENABLE] != 0 || m_depthStencil == nullptr || !m_depthStencil->StoresStencil();
}

void Device::PaintPendingBehind()
{
    if (m_behind != Behind::kMarking) {
        return;
    }
    const ZoltBehindPainter paint = m_behindPainter;
    void* const context = m_behindContext;
    m_behindPainter = nullptr;
    m_behindContext = nullptr;

    // Draws being merged wait aside (this may run while they are issued),
    // so that the painter's own merged draws do not mix with them.
    const bool batchActive = m_batchActive;
    const DWORD batchFvf = m_batchFvf;
    const UINT batchStride = m_batchStride;
    const GLenum batchMode = m_batchMode;
    const UINT batchVertices = m_batchVertices;
    m_batchActive = false;
    m_batchData.swap(m_heldBatchData);

    SaveState(m_stateAround.get());
    RestoreState(m_stateBehind.get());
    SetBehind(Behind::kPainting);
    paint(context);
    FlushBatch();
    SetBehind(Behind::kOff);
    RestoreState(m_stateAround.get());

    m_batchData.swap(m_heldBatchData);
    m_batchActive = batchActive;
    m_batchFvf = batchFvf;
    m_batchStride = batchStride;
    m_batchMode = batchMode;
    m_batchVertices = batchVertices;
}

void Device::DropPendingBehind()
{
    if (m_behind == Behind::kMarking) {
        m_behindPainter = nullptr;
        m_behindContext = nullptr;
        SetBehind(Behind::kOff);
    }
    if (m_stateBehind) {
        DropState(m_stateBehind.get());
        DropState(m_stateAround.get());
    }
}

} // namespace zolt_d3d

bool ZoltPaintBehind(IDirect3DDevice8* device, ZoltBehindPainter paint, void* context)
{
    auto* impl = dynamic_cast<zolt_d3d::Device*>(device);
    return impl != nullptr && impl->PaintBehind(paint, context);
}

void ZoltPaintBehindNow(IDirect3DDevice8* device)
{
    auto* impl = dynamic_cast<zolt_d3d::Device*>(device);
    if (impl != nullptr) {
        impl->PaintPendingBehind();
    }
}

void ZoltAllowPaintingBehind(bool allow)
{
    zolt_d3d::g_allowPaintingBehind = allow;
}
