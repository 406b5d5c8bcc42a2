// The device's resources, render targets, scenes and clearing.
#include <algorithm>

#include "platform/d3d8/d3d8_impl.h"

namespace zolt_d3d {

namespace {

bool IsRenderTargetSurface(const Surface* surface)
{
    return surface != nullptr && surface->IsRenderTarget();
}

} // namespace

// ---- Resources ---------------------------------------------------------------

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture8** texture)
{
    if (texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = nullptr;
    const FormatInfo* info = FindColorFormat(format);
    if (info == nullptr || width == 0 || height == 0 || pool > D3DPOOL_SYSTEMMEM ||
        (usage & D3DUSAGE_DEPTHSTENCIL) != 0) {
        return D3DERR_INVALIDCALL;
    }
    if (width > static_cast<UINT>(m_maxTextureSize) || height > static_cast<UINT>(m_maxTextureSize)) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_RENDERTARGET) != 0 && (pool != D3DPOOL_DEFAULT || !info->renderable)) {
        return D3DERR_INVALIDCALL;
    }
    UINT fullChain = 1;
    while ((width >> fullChain) > 0 || (height >> fullChain) > 0) {
        ++fullChain;
    }
    if (levels == 0) {
        levels = fullChain;
    }
    if (levels > fullChain) {
        return D3DERR_INVALIDCALL;
    }
    if (static_cast<uint64_t>(width) * height * info->bytesPerPixel > kMaxResourceBytes) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    if (!MakeCurrent()) {
        return D3DERR_NOTAVAILABLE;
    }
    auto* created = new Texture(this, width, height, levels, usage, info, pool);
    if (!created->Allocate()) {
        created->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *texture = created;
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer8** vertexBuffer)
{
    if (vertexBuffer == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *vertexBuffer = nullptr;
    if (length == 0 || pool > D3DPOOL_SYSTEMMEM) {
        return D3DERR_INVALIDCALL;
    }
    if (length > kMaxResourceBytes) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    if (!MakeCurrent()) {
        return D3DERR_NOTAVAILABLE;
    }
    auto* created = new VertexBuffer(this, length, usage, fvf, pool);
    if (!created->Allocate()) {
        created->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *vertexBuffer = created;
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer8** indexBuffer)
{
    if (indexBuffer == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *indexBuffer = nullptr;
    if (length == 0 || pool > D3DPOOL_SYSTEMMEM || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) {
        return D3DERR_INVALIDCALL;
    }
    if (length > kMaxResourceBytes) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    if (!MakeCurrent()) {
        return D3DERR_NOTAVAILABLE;
    }
    auto* created = new IndexBuffer(this, length, usage, format, pool);
    if (!created->Allocate()) {
        created->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *indexBuffer = created;
    return D3D_OK;
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                   BOOL lockable, IDirect3DSurface8** surface)
{
    (void)multiSample;
    (void)lockable;
    if (surface == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *surface = nullptr;
    const FormatInfo* info = FindColorFormat(format);
    if (info == nullptr || !info->renderable || width == 0 || height == 0 ||
        width > static_cast<UINT>(m_maxTextureSize) || height > static_cast<UINT>(m_maxTextureSize)) {
        return D3DERR_INVALIDCALL;
    }
    if (!MakeCurrent()) {
        return D3DERR_NOTAVAILABLE;
    }
    auto* created = new Surface(this, Surface::Kind::RenderTarget, format, width, height);
    if (!created->AllocateStorage(format, width, height)) {
        created->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *surface = created;
    return D3D_OK;
}

HRESULT Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                          IDirect3DSurface8** surface)
{
    (void)multiSample;
    if (surface == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *surface = nullptr;
    if (FindDepthFormat(format) == nullptr || width == 0 || height == 0 ||
        width > static_cast<UINT>(m_maxTextureSize) || height > static_cast<UINT>(m_maxTextureSize)) {
        return D3DERR_INVALIDCALL;
    }
    if (!MakeCurrent()) {
        return D3DERR_NOTAVAILABLE;
    }
    auto* created = new Surface(this, Surface::Kind::DepthStencil, format, width, height);
    if (!created->AllocateStorage(format, width, height)) {
        created->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *surface = created;
    return D3D_OK;
}

// ---- Render targets ----------------------------------------------------------

void Device::ResetViewportToTarget()
{
    m_state.viewport.X = 0;
    m_state.viewport.Y = 0;
    m_state.viewport.Width = m_renderTarget != nullptr ? m_renderTarget->width() : 0;
    m_state.viewport.Height = m_renderTarget != nullptr ? m_renderTarget->height() : 0;
    m_state.viewport.MinZ = 0.0f;
    m_state.viewport.MaxZ = 1.0f;
    m_dirty |= kDirtyTarget;
    SetGroupDirty(kGroupViewport);
}

HRESULT Device::SetRenderTarget(IDirect3DSurface8* renderTarget, IDirect3DSurface8* newZStencil)
{
    Surface* target = m_renderTarget;
    if (renderTarget != nullptr) {
        target = dynamic_cast<Surface*>(renderTarget);
        if (target == nullptr || target->device() != this || !IsRenderTargetSurface(target)) {
            return D3DERR_INVALIDCALL;
        }
    }
    Surface* depth = nullptr;
    if (newZStencil != nullptr) {
        depth = dynamic_cast<Surface*>(newZStencil);
        if (depth == nullptr || depth->device() != this || !depth->IsDepth() || depth->width() < target->width() ||
            depth->height() < target->height()) {
            return D3DERR_INVALIDCALL;
        }
    }
    PaintPendingBehind();
    if (target == m_renderTarget && depth == m_depthStencil) {
        ResetViewportToTarget();
        return D3D_OK;
    }
    if (MakeCurrent()) {
        FlushBatch();
    }
    m_stencilZero = false;
    target->AddRef();
    if (depth != nullptr) {
        depth->AddRef();
    }
    Surface* oldTarget = m_renderTarget;
    Surface* oldDepth = m_depthStencil;
    m_renderTarget = target;
    m_depthStencil = depth;
    if (oldTarget != nullptr) {
        oldTarget->Release();
    }
    if (oldDepth != nullptr) {
        oldDepth->Release();
    }
    ResetViewportToTarget();
    m_dirty |= kDirtyTarget | kDirtyFixed;
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(IDirect3DSurface8** renderTarget)
{
    if (renderTarget == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *renderTarget = m_renderTarget;
    if (m_renderTarget == nullptr) {
        return D3DERR_NOTFOUND;
    }
    m_renderTarget->AddRef();
    return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface)
{
    if (zStencilSurface == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *zStencilSurface = m_depthStencil;
    if (m_depthStencil == nullptr) {
        return D3DERR_NOTFOUND;
    }
    m_depthStencil->AddRef();
    return D3D_OK;
}

// ---- Scene and clearing ------------------------------------------------------

HRESULT Device::BeginScene()
{
    if (m_inScene) {
        return D3DERR_INVALIDCALL;
    }
    m_inScene = true;
    return D3D_OK;
}

HRESULT Device::EndScene()
{
    if (!m_inScene) {
        return D3DERR_INVALIDCALL;
    }
    m_inScene = false;
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil)
{
    if ((flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0 || (count > 0 && rects == nullptr)) {
        return D3DERR_INVALIDCALL;
    }
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0 && m_depthStencil == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if ((flags & D3DCLEAR_STENCIL) != 0 && !m_depthStencil->HasStencil()) {
        return D3DERR_INVALIDCALL;
    }
    if ((flags & D3DCLEAR_STENCIL) != 0) {
        m_programUsesStencil = true;
    }
    if (flags == 0 || m_cooperative != kOk || !MakeCurrent()) {
        return D3D_OK;
    }
    DrawPending();
    ApplyTarget();

    GLbitfield bits = 0;
    if ((flags & D3DCLEAR_TARGET) != 0) {
        const bool hasAlpha = m_renderTarget->colorInfo()->hasAlpha;
        glClearColor(static_cast<float>((color >> 16) & 0xFF) / 255.0f,
                     static_cast<float>((color >> 8) & 0xFF) / 255.0f, static_cast<float>(color & 0xFF) / 255.0f,
                     hasAlpha ? static_cast<float>(color >> 24) / 255.0f : 1.0f);
        m_gl.ColorMask(0xF);
        bits |= GL_COLOR_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_ZBUFFER) != 0) {
        glClearDepth(std::clamp(static_cast<double>(z), 0.0, 1.0));
        m_gl.DepthMask(true);
        bits |= GL_DEPTH_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_STENCIL) != 0) {
        glClearStencil(static_cast<GLint>(stencil & 0xFF));
        m_gl.StencilMask(0xFF);
        bits |= GL_STENCIL_BUFFER_BIT;
    } else if ((flags & D3DCLEAR_ZBUFFER) != 0 && !m_programUsesStencil && m_depthStencil->StoresStencil()) {
        // A stencil the program has never used is cleared with the depth, at
        // no cost, ready for a painter behind.
        glClearStencil(0);
        m_gl.StencilMask(0xFF);
        bits |= GL_STENCIL_BUFFER_BIT;
    }

    const LONG vx1 = static_cast<LONG>(m_state.viewport.X);
    const LONG vy1 = static_cast<LONG>(m_state.viewport.Y);
    const LONG vx2 = vx1 + static_cast<LONG>(m_state.viewport.Width);
    const LONG vy2 = vy1 + static_cast<LONG>(m_state.viewport.Height);
    m_gl.Enable(GL_SCISSOR_TEST, true);
    const DWORD rectCount = count > 0 ? count : 1;
    for (DWORD i = 0; i < rectCount; ++i) {
        LONG x1 = vx1, y1 = vy1, x2 = vx2, y2 = vy2;
        if (count > 0) {
            x1 = std::max(x1, rects[i].x1);
            y1 = std::max(y1, rects[i].y1);
            x2 = std::min(x2, rects[i].x2);
            y2 = std::min(y2, rects[i].y2);
        }
        if (x2 <= x1 || y2 <= y1) {
            continue;
        }
        // Rows are stored top-down, so the rectangle needs no flip.
        m_gl.Scissor(x1, y1, x2 - x1, y2 - y1);
        glClear(bits);
    }
    m_gl.Enable(GL_SCISSOR_TEST, false);
    m_dirty |= kDirtyFixed;
    if ((bits & GL_STENCIL_BUFFER_BIT) != 0) {
        m_stencilZero = !m_programUsesStencil && count == 0 && vx1 == 0 && vy1 == 0 &&
                        vx2 >= static_cast<LONG>(m_renderTarget->width()) &&
                        vy2 >= static_cast<LONG>(m_renderTarget->height());
    }
    return D3D_OK;
}

} // namespace zolt_d3d
