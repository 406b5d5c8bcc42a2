// The device's lifetime: creation and release, presentation, loss and
// reset. Resources and render targets are in d3d8_device_targets.cpp, the
// Set/Get state calls in d3d8_device_state.cpp.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d8/d3d8_impl.h"
#include "platform/d3d8/d3d8_present.h"
#include "platform/win32/window.h"

namespace zolt_d3d {

namespace {

DWORD FloatBits(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

D3DMATRIX Identity()
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof(m));
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

} // namespace

PixelRect FitPreservingAspect(int sourceWidth, int sourceHeight, int destWidth, int destHeight)
{
    if (sourceWidth <= 0 || sourceHeight <= 0 || destWidth <= 0 || destHeight <= 0) {
        return PixelRect{0, 0, 0, 0};
    }
    // Compare aspects in integers: dest is wider than the source when
    // destWidth / destHeight > sourceWidth / sourceHeight.
    const long long wide = static_cast<long long>(destWidth) * sourceHeight;
    const long long tall = static_cast<long long>(sourceWidth) * destHeight;
    int width = destWidth;
    int height = destHeight;
    if (wide > tall) {
        width = static_cast<int>(static_cast<long long>(sourceWidth) * destHeight / sourceHeight);
    } else if (wide < tall) {
        height = static_cast<int>(static_cast<long long>(sourceHeight) * destWidth / sourceWidth);
    }
    const int x0 = (destWidth - width) / 2;
    const int y0 = (destHeight - height) / 2;
    return PixelRect{x0, y0, x0 + width, y0 + height};
}

// ---- Construction and lifetime ---------------------------------------------

Device::Device(Direct3D* direct3d, HWND window, SDL_Window* sdlWindow, DWORD behaviorFlags)
    : m_direct3d(direct3d), m_window(window), m_sdlWindow(sdlWindow), m_behaviorFlags(behaviorFlags)
{
    m_direct3d->AddRef();
    for (D3DMATRIX& world : m_state.world) {
        world = Identity();
    }
    m_state.view = Identity();
    m_state.projection = Identity();
    for (D3DMATRIX& matrix : m_state.textureMatrix) {
        matrix = Identity();
    }
    for (uint64_t& version : m_groupVersion) {
        version = 1;
    }
}

HRESULT Device::ValidateParameters(const D3DPRESENT_PARAMETERS& parameters, D3DPRESENT_PARAMETERS* resolved) const
{
    *resolved = parameters;
    if (parameters.SwapEffect < D3DSWAPEFFECT_DISCARD || parameters.SwapEffect > D3DSWAPEFFECT_COPY ||
        parameters.BackBufferCount > 3) {
        return D3DERR_INVALIDCALL;
    }
    if (parameters.EnableAutoDepthStencil != 0 && FindDepthFormat(parameters.AutoDepthStencilFormat) == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (parameters.Windowed != 0) {
        RECT client{};
        if (parameters.BackBufferWidth == 0 || parameters.BackBufferHeight == 0) {
            if (!GetClientRect(m_window, &client)) {
                return D3DERR_INVALIDCALL;
            }
        }
        if (parameters.BackBufferWidth == 0) {
            resolved->BackBufferWidth = static_cast<UINT>(std::max<LONG>(client.right - client.left, 0));
        }
        if (parameters.BackBufferHeight == 0) {
            resolved->BackBufferHeight = static_cast<UINT>(std::max<LONG>(client.bottom - client.top, 0));
        }
        if (parameters.BackBufferFormat == D3DFMT_UNKNOWN) {
            resolved->BackBufferFormat = D3DFMT_X8R8G8B8;
        }
    }
    const FormatInfo* info = FindColorFormat(resolved->BackBufferFormat);
    if (info == nullptr || !info->renderable) {
        return D3DERR_INVALIDCALL;
    }
    if (resolved->BackBufferWidth == 0 || resolved->BackBufferHeight == 0 || resolved->BackBufferWidth > 16384 ||
        resolved->BackBufferHeight > 16384) {
        return D3DERR_INVALIDCALL;
    }
    if (resolved->BackBufferCount == 0) {
        resolved->BackBufferCount = 1;
    }
    return D3D_OK;
}

HRESULT Device::Initialize(const D3DPRESENT_PARAMETERS& parameters)
{
    D3DPRESENT_PARAMETERS resolved;
    const HRESULT valid = ValidateParameters(parameters, &resolved);
    if (valid != D3D_OK) {
        return valid;
    }
    m_parameters = resolved;

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    m_context = SDL_GL_CreateContext(m_sdlWindow);
    if (m_context == nullptr || !MakeCurrent()) {
        return D3DERR_NOTAVAILABLE;
    }
    ZoltSpreadRasteriserThreads(true);
#ifdef __EMSCRIPTEN__
    // WebGL 2 clips depth to [-w, w] and has no clip control.
    m_zeroToOneDepth = false;
#else
    if (epoxy_gl_version() < 33) {
        return D3DERR_NOTAVAILABLE;
    }
    m_zeroToOneDepth = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
    if (m_zeroToOneDepth) {
        glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    }
    // Flat shading takes the first vertex's colours, as Direct3D does.
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
#endif
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &m_maxTextureSize);
    m_programs = std::make_unique<GlProgramCache>(m_zeroToOneDepth);
    glGenBuffers(1, &m_streamBuffer);
    glGenBuffers(1, &m_streamIndexBuffer);
    m_gl.Invalidate();

    if (!CreateBackBuffer(m_parameters)) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    SetDefaultState();
    ApplyPresentationMode();
    return D3D_OK;
}

bool Device::CreateBackBuffer(const D3DPRESENT_PARAMETERS& parameters)
{
    m_backBuffer = new Surface(this, Surface::Kind::BackBuffer, parameters.BackBufferFormat,
                               parameters.BackBufferWidth, parameters.BackBufferHeight);
    if (!m_backBuffer->AllocateStorage(parameters.BackBufferFormat, parameters.BackBufferWidth,
                                       parameters.BackBufferHeight)) {
        return false;
    }
    m_renderTarget = m_backBuffer;
    m_renderTarget->AddRef();
    if (parameters.EnableAutoDepthStencil != 0) {
        m_autoDepth = new Surface(this, Surface::Kind::DepthStencil, parameters.AutoDepthStencilFormat,
                                  parameters.BackBufferWidth, parameters.BackBufferHeight);
        if (!m_autoDepth->AllocateStorage(parameters.AutoDepthStencilFormat, parameters.BackBufferWidth,
                                          parameters.BackBufferHeight)) {
            return false;
        }
        m_depthStencil = m_autoDepth;
        m_depthStencil->AddRef();
    }
    return true;
}

void Device::SetDefaultState()
{
    DWORD* rs = m_state.renderStates;
    std::memset(m_state.renderStates, 0, sizeof(m_state.renderStates));
    rs[D3DRS_ZENABLE] = m_parameters.EnableAutoDepthStencil != 0 ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGEND] = FloatBits(1.0f);
    rs[D3DRS_FOGDENSITY] = FloatBits(1.0f);
    rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = 0xFFFFFFFFu;
    rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[D3DRS_LOCALVIEWER] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs[D3DRS_SOFTWAREVERTEXPROCESSING] = (m_behaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) != 0 ? TRUE : FALSE;
    rs[D3DRS_POINTSIZE] = FloatBits(1.0f);
    rs[D3DRS_POINTSIZE_MIN] = FloatBits(0.0f);
    rs[158] = FloatBits(1.0f); // POINTSCALE_A
    rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
    rs[164] = FloatBits(1.0f); // PATCHSEGMENTS
    rs[D3DRS_POINTSIZE_MAX] = FloatBits(64.0f);
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;

    for (int s = 0; s < kMaxStages; ++s) {
        DWORD* ts = m_state.stageStates[s];
        std::memset(ts, 0, sizeof(m_state.stageStates[s]));
        ts[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(s);
        ts[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        ts[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        ts[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        ts[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        ts[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        ts[D3DTSS_MAXANISOTROPY] = 1;
        ts[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
        ts[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        m_stageSamplerDirty[s] = true;
    }
    ResetViewportToTarget();
    m_dirty = ~0u;
    for (bool& dirty : m_groupDirty) {
        dirty = true;
    }
}

ULONG Device::AddRef()
{
    return ++m_refs;
}

ULONG Device::Release()
{
    if (m_refs == 0) {
        return 0;
    }
    const ULONG refs = --m_refs;
    if (refs == 0) {
        Shutdown();
    }
    return refs;
}

void Device::ReleaseBindings()
{
    DropState(&m_state);
    if (m_renderTarget != nullptr) {
        Surface* old = m_renderTarget;
        m_renderTarget = nullptr;
        old->Release();
    }
    if (m_depthStencil != nullptr) {
        Surface* old = m_depthStencil;
        m_depthStencil = nullptr;
        old->Release();
    }
}

void Device::Shutdown()
{
    m_shuttingDown = true;
    m_publicReleased = true;
    m_batch.active = false;
    DropPendingBehind();
    ReleaseBindings();
    if (m_backBuffer != nullptr) {
        Surface* old = m_backBuffer;
        m_backBuffer = nullptr;
        old->Release();
    }
    if (m_autoDepth != nullptr) {
        Surface* old = m_autoDepth;
        m_autoDepth = nullptr;
        old->Release();
    }
    m_shuttingDown = false;
    if (m_privateRefs == 0) {
        delete this;
    }
}

void Device::ReleasePrivateRef()
{
    if (m_privateRefs > 0) {
        --m_privateRefs;
    }
    if (m_privateRefs == 0 && m_publicReleased && !m_shuttingDown) {
        delete this;
    }
}

Device::~Device()
{
    if (m_context != nullptr) {
        const bool current = MakeCurrent();
        if (current) {
            for (const StreamVao& entry : m_streamVaos) {
                glDeleteVertexArrays(1, &entry.vao);
            }
            for (const SamplerEntry& entry : m_samplers) {
                glDeleteSamplers(1, &entry.sampler);
            }
            if (m_streamBuffer != 0) {
                glDeleteBuffers(1, &m_streamBuffer);
            }
            if (m_streamIndexBuffer != 0) {
                glDeleteBuffers(1, &m_streamIndexBuffer);
            }
        }
        if (m_programs) {
            m_programs->Clear(!current);
        }
        if (SDL_GL_GetCurrentContext() == m_context) {
            SDL_GL_MakeCurrent(m_sdlWindow, nullptr);
        }
        SDL_GL_DeleteContext(m_context);
    }
    m_direct3d->Release();
}

bool Device::MakeCurrent()
{
    if (m_context == nullptr) {
        return false;
    }
    if (SDL_GL_GetCurrentContext() == m_context) {
        return true;
    }
    // The SDL window lives as long as the window system knows the handle.
    if (ZoltSdlWindow(m_window) != m_sdlWindow) {
        return false;
    }
    if (SDL_GL_MakeCurrent(m_sdlWindow, m_context) != 0) {
        return false;
    }
    // Another context may have run in between; nothing of ours changed, but
    // the cache only describes this context, so it stays valid.
    return true;
}

HRESULT Device::GetDirect3D(IDirect3D8** direct3d)
{
    if (direct3d == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    m_direct3d->AddRef();
    *direct3d = m_direct3d;
    return D3D_OK;
}

HRESULT Device::GetDisplayMode(D3DDISPLAYMODE* mode)
{
    if (mode == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (m_parameters.Windowed != 0) {
        return m_direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, mode);
    }
    mode->Width = m_parameters.BackBufferWidth;
    mode->Height = m_parameters.BackBufferHeight;
    mode->RefreshRate = m_parameters.FullScreen_RefreshRateInHz;
    mode->Format = m_parameters.BackBufferFormat;
    return D3D_OK;
}

// ---- Presentation, loss and reset --------------------------------------------

void Device::ApplyPresentationMode()
{
    const bool fullScreen = m_parameters.Windowed == 0;
    const Uint32 flags = SDL_GetWindowFlags(m_sdlWindow);
    const bool isFullScreen = (flags & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (fullScreen && !isFullScreen) {
        // Cover the display first: without a window manager to honour the
        // full-screen request, the window would keep its place and size.
        SDL_Rect bounds{};
        const int display = SDL_GetWindowDisplayIndex(m_sdlWindow);
        if (display >= 0 && SDL_GetDisplayBounds(display, &bounds) == 0 && bounds.w > 0 && bounds.h > 0) {
            SDL_SetWindowPosition(m_sdlWindow, bounds.x, bounds.y);
            SDL_SetWindowSize(m_sdlWindow, bounds.w, bounds.h);
        }
        SDL_SetWindowFullscreen(m_sdlWindow, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else if (!fullScreen && isFullScreen) {
        SDL_SetWindowFullscreen(m_sdlWindow, 0);
    }
    if (fullScreen) {
        SDL_ShowWindow(m_sdlWindow);
    }
    int interval = 0;
    if (fullScreen && m_parameters.FullScreen_PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE) {
        interval = 1;
    }
    if (MakeCurrent()) {
        SDL_GL_SetSwapInterval(interval);
    }
}

void Device::UpdateCooperativeLevel()
{
    // A windowed device is never lost; neither is one whose window is gone
    // (nothing could bring it back, and a caller waiting for the device to
    // become resettable would wait forever).
    if (m_parameters.Windowed != 0 || !IsWindow(m_window)) {
        if (m_cooperative == kLost) {
            m_cooperative = kNotReset;
        }
        return;
    }
    const bool minimized = ZoltWindowMinimized(m_window);
    const Uint32 flags = SDL_GetWindowFlags(m_sdlWindow);
    const bool focus = (flags & SDL_WINDOW_INPUT_FOCUS) != 0;
    if (focus) {
        m_hadFocus = true;
    }
    // Without a display nothing ever has focus; only minimising counts then.
    const bool focusLost = m_hadFocus && !focus && !ZoltHeadless();
    if (minimized || focusLost) {
        m_cooperative = kLost;
    } else if (m_cooperative == kLost) {
        m_cooperative = kNotReset;
    }
}

HRESULT Device::TestCooperativeLevel()
{
    UpdateCooperativeLevel();
    switch (m_cooperative) {
    case kLost:
        return D3DERR_DEVICELOST;
    case kNotReset:
        return D3DERR_DEVICENOTRESET;
    default:
        return D3D_OK;
    }
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const void* dirtyRegion)
{
    (void)destWindowOverride;
    (void)dirtyRegion;
    UpdateCooperativeLevel();
    if (m_cooperative != kOk) {
        return D3DERR_DEVICELOST;
    }
    if (!MakeCurrent()) {
        return D3D_OK;
    }
    DrawPending();
    if (!m_presentToWindow) {
        // The frame is only sent on to the rasteriser; the back buffer, which
        // read-back reads, keeps it.
        glFlush();
        return D3D_OK;
    }

    const int bbWidth = static_cast<int>(m_backBuffer->width());
    const int bbHeight = static_cast<int>(m_backBuffer->height());
    int sx0 = 0, sy0 = 0, sx1 = bbWidth, sy1 = bbHeight;
    if (sourceRect != nullptr) {
        sx0 = std::clamp<int>(sourceRect->left, 0, bbWidth);
        sy0 = std::clamp<int>(sourceRect->top, 0, bbHeight);
        sx1 = std::clamp<int>(sourceRect->right, sx0, bbWidth);
        sy1 = std::clamp<int>(sourceRect->bottom, sy0, bbHeight);
    }
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(m_sdlWindow, &drawableWidth, &drawableHeight);
    int dx0 = 0, dy0 = 0, dx1 = drawableWidth, dy1 = drawableHeight; // top-down
    if (destRect != nullptr) {
        dx0 = destRect->left;
        dy0 = destRect->top;
        dx1 = destRect->right;
        dy1 = destRect->bottom;
    } else {
        const PixelRect fit = FitPreservingAspect(sx1 - sx0, sy1 - sy0, drawableWidth, drawableHeight);
        dx0 = fit.x0;
        dy0 = fit.y0;
        dx1 = fit.x1;
        dy1 = fit.y1;
    }

    const GLuint source = m_backBuffer->ColorFramebuffer();
    m_gl.BindReadFramebuffer(source);
    m_gl.BindDrawFramebuffer(0);
    m_gl.Enable(GL_SCISSOR_TEST, false);
    m_gl.ColorMask(0xF);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (sx1 > sx0 && sy1 > sy0 && dx1 > dx0 && dy1 > dy0) {
        const bool same = (dx1 - dx0) == (sx1 - sx0) && (dy1 - dy0) == (sy1 - sy0);
        // Stored rows run top-down; the window's run bottom-up.
        glBlitFramebuffer(sx0, sy0, sx1, sy1, dx0, drawableHeight - dy0, dx1, drawableHeight - dy1,
                          GL_COLOR_BUFFER_BIT, same ? GL_NEAREST : GL_LINEAR);
    }
    SDL_GL_SwapWindow(m_sdlWindow);
    m_dirty |= kDirtyTarget | kDirtyFixed;
    return D3D_OK;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* presentationParameters)
{
    if (presentationParameters == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    UpdateCooperativeLevel();
    if (m_cooperative == kLost) {
        return D3DERR_DEVICELOST;
    }
    D3DPRESENT_PARAMETERS resolved;
    const HRESULT valid = ValidateParameters(*presentationParameters, &resolved);
    if (valid != D3D_OK) {
        return valid;
    }
    if (!MakeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    DrawPending();
    m_stencilZero = false;
    const bool sizeChanged = resolved.BackBufferWidth != m_backBuffer->width() ||
                             resolved.BackBufferHeight != m_backBuffer->height();
    if (sizeChanged || resolved.BackBufferFormat != m_backBuffer->format()) {
        if (!m_backBuffer->AllocateStorage(resolved.BackBufferFormat, resolved.BackBufferWidth,
                                           resolved.BackBufferHeight)) {
            return D3DERR_OUTOFVIDEOMEMORY;
        }
    }
    if (resolved.EnableAutoDepthStencil != 0) {
        if (m_autoDepth == nullptr) {
            m_autoDepth = new Surface(this, Surface::Kind::DepthStencil, resolved.AutoDepthStencilFormat,
                                      resolved.BackBufferWidth, resolved.BackBufferHeight);
            if (!m_autoDepth->AllocateStorage(resolved.AutoDepthStencilFormat, resolved.BackBufferWidth,
                                              resolved.BackBufferHeight)) {
                return D3DERR_OUTOFVIDEOMEMORY;
            }
            if (m_depthStencil == nullptr && m_renderTarget == m_backBuffer) {
                m_depthStencil = m_autoDepth;
                m_depthStencil->AddRef();
            }
        } else if (sizeChanged || resolved.AutoDepthStencilFormat != m_autoDepth->format()) {
            if (!m_autoDepth->AllocateStorage(resolved.AutoDepthStencilFormat, resolved.BackBufferWidth,
                                              resolved.BackBufferHeight)) {
                return D3DERR_OUTOFVIDEOMEMORY;
            }
        }
    } else if (m_autoDepth != nullptr) {
        if (m_depthStencil == m_autoDepth) {
            m_depthStencil->Release();
            m_depthStencil = nullptr;
        }
        m_autoDepth->Release();
        m_autoDepth = nullptr;
    }
    m_parameters = resolved;
    if (sizeChanged && m_renderTarget == m_backBuffer) {
        ResetViewportToTarget();
    }
    ApplyPresentationMode();
    m_cooperative = kOk;
    m_inScene = false;
    m_dirty = ~0u;
    return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** backBufferSurface)
{
    if (backBufferSurface == nullptr || backBuffer != 0 || type != D3DBACKBUFFER_TYPE_MONO) {
        return D3DERR_INVALIDCALL;
    }
    m_backBuffer->AddRef();
    *backBufferSurface = m_backBuffer;
    return D3D_OK;
}

} // namespace zolt_d3d

void ZoltSetPresentToWindow(IDirect3DDevice8* device, bool present)
{
    auto* impl = dynamic_cast<zolt_d3d::Device*>(device);
    if (impl != nullptr) {
        impl->SetPresentToWindow(present);
    }
}
