// Painting behind: a background that would be drawn first and then mostly
// covered is drawn last instead, into the pixels the draws in between left
// alone. Those draws mark what they overwrite in the stencil buffer; the
// background is then drawn where the stencil is still zero, with the
// Direct3D state it would have been drawn with. The picture is the one
// drawing it first gives, because every marked pixel was overwritten without
// being read, and the background neither tests nor writes depth; the
// rasteriser only shades what shows.
#include <algorithm>
#include <utility>

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

// The copy takes references of its own to the resources it names.
void Device::SaveState(DrawingState* s)
{
    *s = m_state; // the lights reuse the copy's storage once it is large enough
    for (Texture* texture : s->textures) {
        TakeReference(texture);
    }
    TakeReference(s->stream);
    TakeReference(s->indices);
}

void Device::RestoreState(DrawingState* s)
{
    // The device's references go; the copy's become the device's.
    DropState(&m_state);
    m_state = *s;
    std::fill(std::begin(s->textures), std::end(s->textures), nullptr);
    s->stream = nullptr;
    s->indices = nullptr;
    // Everything derived is worked out again from the state put back.
    RecomputeActiveLights();
    m_dirty = ~0u;
    std::fill(std::begin(m_groupDirty), std::end(m_groupDirty), true);
    std::fill(std::begin(m_stageSamplerDirty), std::end(m_stageSamplerDirty), true);
}

void Device::DropState(DrawingState* s)
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
        m_stateBehind = std::make_unique<DrawingState>();
        m_stateAround = std::make_unique<DrawingState>();
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
    const DWORD* rs = m_state.renderStates;
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
    std::swap(m_batch, m_heldBatch);
    SaveState(m_stateAround.get());
    RestoreState(m_stateBehind.get());
    SetBehind(Behind::kPainting);
    paint(context);
    FlushBatch();
    SetBehind(Behind::kOff);
    RestoreState(m_stateAround.get());
    std::swap(m_batch, m_heldBatch);
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
