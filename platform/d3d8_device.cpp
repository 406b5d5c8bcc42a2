// The device: creation, presentation, loss and reset, render targets,
// clearing, and the Set/Get state calls.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d8_impl.h"
#include "platform/d3d8_present.h"
#include "platform/window.h"

namespace zolt_d3d {

namespace {

constexpr size_t kMaxLightSlots = 4096;

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

bool IsRenderTargetSurface(const Surface* surface)
{
    return surface != nullptr && surface->IsRenderTarget();
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
    for (D3DMATRIX& world : m_world) {
        world = Identity();
    }
    m_view = Identity();
    m_projection = Identity();
    for (D3DMATRIX& matrix : m_textureMatrix) {
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
    if (epoxy_gl_version() < 33) {
        return D3DERR_NOTAVAILABLE;
    }
    m_zeroToOneDepth = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
    if (m_zeroToOneDepth) {
        glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    }
    // Flat shading takes the first vertex's colours, as Direct3D does.
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
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
    DWORD* rs = m_renderStates;
    std::memset(m_renderStates, 0, sizeof(m_renderStates));
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
        DWORD* ts = m_stageStates[s];
        std::memset(ts, 0, sizeof(m_stageStates[s]));
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
    for (Texture*& texture : m_textures) {
        if (texture != nullptr) {
            Texture* old = texture;
            texture = nullptr;
            old->Release();
        }
    }
    if (m_stream != nullptr) {
        VertexBuffer* old = m_stream;
        m_stream = nullptr;
        old->Release();
    }
    if (m_indices != nullptr) {
        IndexBuffer* old = m_indices;
        m_indices = nullptr;
        old->Release();
    }
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
    m_batchActive = false;
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
    FlushBatch();

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
    FlushBatch();
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
    m_viewport.X = 0;
    m_viewport.Y = 0;
    m_viewport.Width = m_renderTarget != nullptr ? m_renderTarget->width() : 0;
    m_viewport.Height = m_renderTarget != nullptr ? m_renderTarget->height() : 0;
    m_viewport.MinZ = 0.0f;
    m_viewport.MaxZ = 1.0f;
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
    if (target == m_renderTarget && depth == m_depthStencil) {
        ResetViewportToTarget();
        return D3D_OK;
    }
    if (MakeCurrent()) {
        FlushBatch();
    }
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
    if (flags == 0 || m_cooperative != kOk || !MakeCurrent()) {
        return D3D_OK;
    }
    FlushBatch();
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
    }

    const LONG vx1 = static_cast<LONG>(m_viewport.X);
    const LONG vy1 = static_cast<LONG>(m_viewport.Y);
    const LONG vx2 = vx1 + static_cast<LONG>(m_viewport.Width);
    const LONG vy2 = vy1 + static_cast<LONG>(m_viewport.Height);
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
    return D3D_OK;
}

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
        slot = &m_view;
        affectsLights = true;
    } else if (state == D3DTS_PROJECTION) {
        slot = &m_projection;
    } else if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) {
        slot = &m_textureMatrix[state - D3DTS_TEXTURE0];
        group = kGroupTexMatrix;
    } else if (state >= D3DTS_WORLD && state < D3DTS_WORLD + 256) {
        slot = &m_world[state - D3DTS_WORLD];
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
        *matrix = m_view;
    } else if (state == D3DTS_PROJECTION) {
        *matrix = m_projection;
    } else if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) {
        *matrix = m_textureMatrix[state - D3DTS_TEXTURE0];
    } else if (state >= D3DTS_WORLD && state < D3DTS_WORLD + 256) {
        *matrix = m_world[state - D3DTS_WORLD];
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
    if (std::memcmp(&m_viewport, viewport, sizeof(D3DVIEWPORT8)) == 0) {
        return D3D_OK;
    }
    FlushBatch();
    m_viewport = *viewport;
    m_dirty |= kDirtyTarget;
    SetGroupDirty(kGroupViewport);
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT8* viewport)
{
    if (viewport == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *viewport = m_viewport;
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL8* material)
{
    if (material == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (std::memcmp(&m_material, material, sizeof(D3DMATERIAL8)) == 0) {
        return D3D_OK;
    }
    FlushBatch();
    m_material = *material;
    SetGroupDirty(kGroupMaterial);
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL8* material)
{
    if (material == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *material = m_material;
    return D3D_OK;
}

Device::LightSlot* Device::FindLight(DWORD index)
{
    auto it = std::lower_bound(m_lights.begin(), m_lights.end(), index,
                               [](const LightSlot& slot, DWORD value) { return slot.index < value; });
    if (it != m_lights.end() && it->index == index) {
        return &*it;
    }
    return nullptr;
}

Device::LightSlot* Device::FindOrCreateLight(DWORD index)
{
    if (LightSlot* found = FindLight(index)) {
        return found;
    }
    if (m_lights.size() >= kMaxLightSlots) {
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
    auto it = std::lower_bound(m_lights.begin(), m_lights.end(), index,
                               [](const LightSlot& s, DWORD value) { return s.index < value; });
    it = m_lights.insert(it, slot);
    LightSlot* created = &*it;
    RecomputeActiveLights();
    return created;
}

void Device::RecomputeActiveLights()
{
    int count = 0;
    for (size_t i = 0; i < m_lights.size() && count < kMaxActiveLights; ++i) {
        if (m_lights[i].enabled) {
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
    if (m_renderStates[state] == value) {
        return D3D_OK;
    }
    FlushBatch();
    m_renderStates[state] = value;
    MarkRenderStateDirty(state);
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    if (value == nullptr || state >= static_cast<DWORD>(kRenderStateCount)) {
        return D3DERR_INVALIDCALL;
    }
    *value = m_renderStates[state];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= static_cast<DWORD>(kMaxStages) || type >= static_cast<DWORD>(kStageStateCount)) {
        return D3DERR_INVALIDCALL;
    }
    if (m_stageStates[stage][type] == value) {
        return D3D_OK;
    }
    FlushBatch();
    m_stageStates[stage][type] = value;
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
    *value = m_stageStates[stage][type];
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
    if (newTexture == m_textures[stage]) {
        return D3D_OK;
    }
    FlushBatch();
    Texture* old = m_textures[stage];
    if (newTexture != nullptr) {
        newTexture->AddRef();
    }
    m_textures[stage] = newTexture;
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
    *texture = m_textures[stage];
    if (m_textures[stage] != nullptr) {
        m_textures[stage]->AddRef();
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
    if (m_layoutValid && handle == m_fvf) {
        return D3D_OK;
    }
    FlushBatch();
    m_fvf = handle;
    m_layout = layout;
    m_layoutValid = true;
    m_dirty |= kDirtyKey | kDirtyFixed;
    return D3D_OK;
}

HRESULT Device::GetVertexShader(DWORD* handle)
{
    if (handle == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *handle = m_fvf;
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
    VertexBuffer* old = m_stream;
    m_stream = buffer;
    m_streamStride = stride;
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
    *streamData = m_stream;
    *stride = m_streamStride;
    if (m_stream != nullptr) {
        m_stream->AddRef();
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
    IndexBuffer* old = m_indices;
    m_indices = buffer;
    m_baseVertexIndex = baseVertexIndex;
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
    *indexData = m_indices;
    *baseVertexIndex = m_baseVertexIndex;
    if (m_indices != nullptr) {
        m_indices->AddRef();
    }
    return D3D_OK;
}

} // namespace zolt_d3d
