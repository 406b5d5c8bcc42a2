// The objects behind the Direct3D 8 interfaces. Private to platform/.
//
// Orientation: every framebuffer is rendered upside down compared with
// OpenGL's convention, so that row 0 of every colour buffer, texture upload
// and read-back is the image's top row, as in Direct3D. Only Present flips.
#pragma once

#include <SDL.h>
#include "platform/d3d8/gl_api.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/d3d8_vertex_format.h"
#include "platform/d3d8/ffp_shader_key.h"
#include "platform/d3d8/gl_program_cache.h"
#include "platform/d3d8/gl_state_cache.h"

namespace zolt_d3d {

class Device;
class Texture;

// How a Direct3D format is kept in OpenGL.
struct FormatInfo {
    D3DFORMAT format;
    UINT bytesPerPixel;
    GLenum internalFormat;
    GLenum uploadFormat;
    GLenum uploadType;
    GLint swizzle[4];
    bool hasAlpha;     // false: alpha reads 1 (X8, X1, R5G6B5, L8 ...)
    bool renderable;   // usable as a render target
};

struct DepthFormatInfo {
    D3DFORMAT format;
    GLenum internalFormat;
    bool stencil; // the program's to use
};

const FormatInfo* FindColorFormat(D3DFORMAT format);
const DepthFormatInfo* FindDepthFormat(D3DFORMAT format);

// Largest single allocation accepted for a buffer or texture level.
constexpr size_t kMaxResourceBytes = size_t(512) << 20;

// The AddRef / Release pair shared by the stand-in objects: the object
// deletes itself when its last reference goes.
template <typename Interface>
class RefCounted : public Interface {
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        if (m_refs == 0) {
            return 0;
        }
        const ULONG refs = --m_refs;
        if (refs == 0) {
            delete this;
        }
        return refs;
    }

protected:
    ~RefCounted() override = default;

private:
    ULONG m_refs = 1;
};

// Hands the caller a new reference to the device (GetDevice of every
// resource).
HRESULT ReturnDevice(Device* device, IDirect3DDevice8** out);

// A reference-counted object made by a device.
template <typename Interface>
class DeviceChild : public RefCounted<Interface> {
public:
    HRESULT GetDevice(IDirect3DDevice8** device) override { return ReturnDevice(m_device, device); }
    Device* device() const { return m_device; }

protected:
    explicit DeviceChild(Device* device) : m_device(device) {}
    ~DeviceChild() override = default;

    Device* m_device;
};

class Direct3D final : public IDirect3D8 {
public:
    ULONG AddRef() override;
    ULONG Release() override;
    UINT GetAdapterCount() override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* presentationParameters,
                         IDirect3DDevice8** returnedDeviceInterface) override;

private:
    ~Direct3D() override = default;
    ULONG m_refs = 1;
};

// ---- Surfaces ----------------------------------------------------------------

class Surface final : public DeviceChild<IDirect3DSurface8> {
public:
    enum class Kind { BackBuffer, RenderTarget, DepthStencil, TextureLevel };

    // Stand-alone surfaces (back buffer, render target, depth) keep the device
    // alive; a texture level shares its texture's count instead.
    Surface(Device* device, Kind kind, D3DFORMAT format, UINT width, UINT height);
    Surface(Texture* container, UINT level);

    // A texture level counts on its texture.
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    // Creates (or re-creates at a new size) the GL storage of a stand-alone
    // surface. False when OpenGL refuses it.
    bool AllocateStorage(D3DFORMAT format, UINT width, UINT height);

    Kind kind() const { return m_kind; }
    bool IsDepth() const { return m_kind == Kind::DepthStencil; }
    bool IsColor() const { return !IsDepth(); }
    // A colour surface the device can draw into.
    bool IsRenderTarget() const;
    Texture* container() const { return m_container; }
    D3DFORMAT format() const { return m_format; }
    UINT width() const { return m_width; }
    UINT height() const { return m_height; }
    uint64_t serial() const { return m_serial; }
    const FormatInfo* colorInfo() const { return m_colorInfo; }
    bool HasStencil() const { return m_depthInfo != nullptr && m_depthInfo->stencil; }
    // Stencil bits in the OpenGL storage, the program's or the device's own.
    bool StoresStencil() const
    {
        return m_depthInfo != nullptr && m_depthInfo->internalFormat == GL_DEPTH24_STENCIL8;
    }
    GLuint renderbuffer() const { return m_renderbuffer; }
    GLuint colorTexture() const;
    GLint colorLevel() const { return static_cast<GLint>(m_level); }

    // The framebuffer that draws into this colour surface with the given
    // depth surface (or none); made on first use.
    GLuint Framebuffer(Surface* depth);
    // A framebuffer holding this colour surface, whatever depth it has, for
    // reading.
    GLuint ColorFramebuffer();

private:
    ~Surface() override;
    friend class Texture;
    void DestroyGl();

    Texture* m_container = nullptr;
    UINT m_level = 0;
    Kind m_kind;
    D3DFORMAT m_format;
    UINT m_width;
    UINT m_height;
    const FormatInfo* m_colorInfo = nullptr;
    const DepthFormatInfo* m_depthInfo = nullptr;
    GLuint m_texture = 0;      // stand-alone colour surfaces
    GLuint m_renderbuffer = 0; // depth surfaces
    GLuint m_fbo = 0;
    uint64_t m_attachedDepth = 0;
    uint64_t m_serial;
    std::vector<uint8_t> m_lockData;
    bool m_locked = false;
};

// ---- Textures ----------------------------------------------------------------

class Texture final : public DeviceChild<IDirect3DTexture8> {
public:
    Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, const FormatInfo* info, D3DPOOL pool);
    bool Allocate();

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return m_levels; }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surfaceLevel) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    GLuint glTexture() const { return m_texture; }
    const FormatInfo* info() const { return m_info; }
    UINT LevelWidth(UINT level) const { return m_width >> level > 0 ? m_width >> level : 1; }
    UINT LevelHeight(UINT level) const { return m_height >> level > 0 ? m_height >> level : 1; }
    DWORD usage() const { return m_usage; }
    D3DPOOL pool() const { return m_pool; }
    // A level drawn into by the device has contents OpenGL holds.
    void MarkRendered(UINT level);

private:
    ~Texture() override;
    struct Level {
        Surface* surface = nullptr; // owned; shares the texture's count
        std::vector<uint8_t> lockData;
        bool locked = false;
        bool readOnly = false;
        bool hasContents = false;
        RECT rect = {};
    };

    UINT m_width;
    UINT m_height;
    UINT m_levels;
    DWORD m_usage;
    const FormatInfo* m_info;
    D3DPOOL m_pool;
    GLuint m_texture = 0;
    std::vector<Level> m_levelData;
};

// ---- Vertex and index buffers ------------------------------------------------

// The storage behind a vertex or index buffer: a system-memory copy that Lock
// hands out, and the OpenGL buffer the last Unlock uploads the written range
// to.
class ShadowedGlBuffer {
public:
    explicit ShadowedGlBuffer(UINT length) : m_length(length) {}
    // Makes the zero-filled copy and the GL buffer; the device's context must
    // be current. False when OpenGL refuses the buffer.
    bool Allocate();
    // Deletes the GL buffer; the device's context must be current.
    void DeleteGl();

    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags);
    // *contentsChanged is set when this ends the last lock and bytes were
    // written since the previous upload.
    HRESULT Unlock(Device* device, bool* contentsChanged);

    UINT length() const { return m_length; }
    bool locked() const { return m_lockCount > 0; }
    GLuint glBuffer() const { return m_buffer; }
    const uint8_t* data() const { return m_data.data(); }

private:
    UINT m_length;
    GLuint m_buffer = 0;
    std::vector<uint8_t> m_data;
    int m_lockCount = 0;
    UINT m_dirtyBegin = 0;
    UINT m_dirtyEnd = 0;
};

// A GL buffer locked by mapping its own storage: a lock hands out the bytes
// OpenGL draws from, so rewriting it costs no copy of ours and no upload by
// the driver. The rasteriser reads vertices when a draw is issued, so the
// storage can be rewritten as soon as the draws using it have returned.
class MappedGlBuffer {
public:
    explicit MappedGlBuffer(UINT length) : m_length(length) {}
    // Makes the zero-filled GL buffer; the device's context must be current.
    bool Allocate();
    // Deletes the GL buffer; the device's context must be current.
    void DeleteGl();

    // A lock of the whole buffer with D3DLOCK_DISCARD may find any contents;
    // every other lock finds what was written last. Fails when the storage
    // cannot be mapped.
    HRESULT Lock(Device* device, UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags);
    HRESULT Unlock(Device* device);

    UINT length() const { return m_length; }
    bool locked() const { return m_lockCount > 0; }
    GLuint glBuffer() const { return m_buffer; }

private:
    UINT m_length;
    GLuint m_buffer = 0;
    uint8_t* m_mapped = nullptr;
    int m_lockCount = 0;
};

class VertexBuffer final : public DeviceChild<IDirect3DVertexBuffer8> {
public:
    VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    bool Allocate();

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    UINT length() const { return m_keepsCopy ? m_copied.length() : m_storage.length(); }
    bool locked() const { return m_keepsCopy ? m_copied.locked() : m_storage.locked(); }
    GLuint glBuffer() const { return m_keepsCopy ? m_copied.glBuffer() : m_storage.glBuffer(); }
    // The vertex array object reading this buffer with a layout and stride.
    GLuint VertexArray(const VertexLayout& layout, UINT stride);

private:
    ~VertexBuffer() override;
    struct Vao {
        DWORD fvf;
        UINT stride;
        GLuint vao;
    };
    MappedGlBuffer m_storage;
    // Made while the test hook asks for it: the storage of before, a copy in
    // memory uploaded on unlock, to compare pictures with.
    bool m_keepsCopy;
    ShadowedGlBuffer m_copied;
    DWORD m_usage;
    DWORD m_fvf;
    D3DPOOL m_pool;
    std::vector<Vao> m_vaos;
};

class IndexBuffer final : public DeviceChild<IDirect3DIndexBuffer8> {
public:
    IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    bool Allocate();

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

    GLuint glBuffer() const { return m_storage.glBuffer(); }
    bool locked() const { return m_storage.locked(); }
    UINT IndexSize() const { return m_format == D3DFMT_INDEX32 ? 4 : 2; }
    UINT IndexCount() const { return m_storage.length() / IndexSize(); }
    GLenum GlType() const { return m_format == D3DFMT_INDEX32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT; }
    // The largest index in the whole buffer, and in [start, start + count);
    // both remembered until the next upload.
    uint32_t MaxIndex();
    uint32_t MaxIndex(UINT start, UINT count);

private:
    ~IndexBuffer() override;
    struct RangeMax {
        UINT start;
        UINT count;
        uint32_t max;
    };
    ShadowedGlBuffer m_storage;
    DWORD m_usage;
    D3DFORMAT m_format;
    D3DPOOL m_pool;
    uint32_t m_maxAll = 0;
    bool m_maxAllKnown = false;
    RangeMax m_ranges[16] = {};
    int m_rangeCount = 0;
    int m_rangeNext = 0;
};

// ---- The device --------------------------------------------------------------

class Device final : public IDirect3DDevice8 {
public:
    Device(Direct3D* direct3d, HWND window, SDL_Window* sdlWindow, DWORD behaviorFlags);
    // Makes the context, the back buffer and the default state. D3D_OK or the
    // failure to return from CreateDevice (the device is then released).
    HRESULT Initialize(const D3DPRESENT_PARAMETERS& parameters);

    // ---- IDirect3DDevice8 ----
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT TestCooperativeLevel() override;
    HRESULT GetDirect3D(IDirect3D8** direct3d) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* presentationParameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const void* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** backBufferSurface) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** texture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** vertexBuffer) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer8** indexBuffer) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                               BOOL lockable, IDirect3DSurface8** surface) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                      IDirect3DSurface8** surface) override;
    HRESULT SetRenderTarget(IDirect3DSurface8* renderTarget, IDirect3DSurface8* newZStencil) override;
    HRESULT GetRenderTarget(IDirect3DSurface8** renderTarget) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL8* material) override;
    HRESULT GetMaterial(D3DMATERIAL8* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT8* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT GetVertexShader(DWORD* handle) override;
    HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData, UINT stride) override;
    HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData, UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer8* indexData, UINT baseVertexIndex) override;
    HRESULT GetIndices(IDirect3DIndexBuffer8** indexData, UINT* baseVertexIndex) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount, const void* vertexData,
                            UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex, UINT numVertexIndices,
                                   UINT primitiveCount, const void* indexData, D3DFORMAT indexDataFormat,
                                   const void* vertexStreamZeroData, UINT vertexStreamZeroStride) override;

    // ---- Services for the resources and the read-back hook ----
    // Makes this device's context current; false when it cannot be (its
    // window system is gone), in which case GL objects are left to die with
    // the context.
    bool MakeCurrent();
    // Issues the draws merged so far.
    void FlushBatch();
    // Before the target is read or replaced: the waiting painter behind,
    // then the draws merged so far.
    void DrawPending();
    void AddPrivateRef() { ++m_privateRefs; }
    void ReleasePrivateRef();
    GlStateCache& gl() { return m_gl; }
    // Resources changed GL bindings behind the draw state.
    void MarkGlStateChanged() { m_dirty |= kDirtyTarget | kDirtyFixed | kDirtyTextures; }
    bool ReadSurface(Surface* surface, std::vector<uint32_t>* pixels, UINT* width, UINT* height);
    Surface* backBuffer() const { return m_backBuffer; }
    void SetPresentToWindow(bool present) { m_presentToWindow = present; }
    // Painting behind (d3d8_paint_behind.cpp): see ZoltPaintBehind.
    bool PaintBehind(ZoltBehindPainter paint, void* context);
    // Calls the waiting painter, if any, before the target is read or replaced.
    void PaintPendingBehind();
    GLint MaxTextureSize() const { return m_maxTextureSize; }

private:
    ~Device() override;
    enum Cooperative { kOk, kLost, kNotReset };
    struct LightSlot {
        DWORD index;
        D3DLIGHT8 light;
        bool enabled;
    };
    struct StreamVao {
        DWORD fvf;
        UINT stride;
        GLuint vao;
    };
    struct SamplerEntry {
        DWORD address[2];
        DWORD minFilter, magFilter, mipFilter;
        DWORD maxMipLevel;
        DWORD lodBias;
        DWORD border;
        GLuint sampler;
    };

    // The Direct3D state that drawing depends on: the device's own, and a
    // copy of it held for a painter behind. The copy holds references to the
    // resources it names.
    struct DrawingState {
        DWORD renderStates[kRenderStateCount] = {};
        DWORD stageStates[kMaxStages][kStageStateCount] = {};
        D3DMATRIX world[256];
        D3DMATRIX view;
        D3DMATRIX projection;
        D3DMATRIX textureMatrix[kMaxStages];
        D3DMATERIAL8 material = {};
        std::vector<LightSlot> lights;
        D3DVIEWPORT8 viewport = {};
        Texture* textures[kMaxStages] = {};
        VertexBuffer* stream = nullptr;
        UINT streamStride = 0;
        IndexBuffer* indices = nullptr;
        UINT baseVertexIndex = 0;
        DWORD fvf = 0;
        VertexLayout layout;
        bool layoutValid = false;
    };
    enum class Behind { kOff, kMarking, kPainting };

    // Dirty bits.
    static constexpr uint32_t kDirtyKey = 1u << 0;
    static constexpr uint32_t kDirtyFixed = 1u << 1;     // depth, blend, cull, fill, stencil, masks
    static constexpr uint32_t kDirtyTarget = 1u << 2;    // framebuffer, viewport
    static constexpr uint32_t kDirtyTextures = 1u << 3;  // bindings and samplers

    void Shutdown();
    void SetDefaultState();
    bool CreateBackBuffer(const D3DPRESENT_PARAMETERS& parameters);
    HRESULT ValidateParameters(const D3DPRESENT_PARAMETERS& parameters, D3DPRESENT_PARAMETERS* resolved) const;
    void ApplyPresentationMode();
    void UpdateCooperativeLevel();
    void SetGroupDirty(UniformGroup group) { m_groupDirty[group] = true; }
    void MarkRenderStateDirty(D3DRENDERSTATETYPE state);
    void RecomputeActiveLights();
    LightSlot* FindLight(DWORD index);
    LightSlot* FindOrCreateLight(DWORD index);
    void ResetViewportToTarget();
    void ReleaseBindings();

    // Painting behind (d3d8_paint_behind.cpp).
    void SaveState(DrawingState* snapshot);
    // Moves the snapshot's state, references included, into the device.
    void RestoreState(DrawingState* snapshot);
    // Releases the resources the state names and forgets them.
    void DropState(DrawingState* snapshot);
    void DropPendingBehind();
    // Whether a draw with the current state leaves the target depending on
    // what is already there, or cannot be marked: the painter goes first.
    bool DrawNeedsBehindPainted() const;
    void SetBehind(Behind mode);

    // Drawing (d3d8_draw.cpp).
    bool PrepareDraw(GLenum mode);
    // For a draw that goes straight to GL: false (the call does nothing)
    // while the device is lost or has no context; otherwise the batched
    // draws are flushed and the state for `mode` applied (PrepareDraw).
    bool BeginDirectDraw(GLenum mode);
    void ApplyFixedState();
    void ApplyTarget();
    void ApplyTextures();
    void UpdateUniforms(int shiftVariant);
    void ComputeGroup(UniformGroup group);
    GLuint StreamVertexArray(const VertexLayout& layout, UINT stride);
    GLint UploadStream(const void* data, size_t size, UINT stride);
    GLuint Sampler(int stage);
    void AppendToBatch(GLenum mode, D3DPRIMITIVETYPE type, UINT vertexCount, const uint8_t* data, UINT stride);
    void DrawUserArrays(GLenum mode, UINT vertexCount, const void* data, UINT stride);

    ULONG m_refs = 1;
    ULONG m_privateRefs = 0;
    bool m_shuttingDown = false;
    bool m_publicReleased = false;
    Direct3D* m_direct3d;
    HWND m_window;
    SDL_Window* m_sdlWindow;
    bool m_presentToWindow = true;
    SDL_GLContext m_context = nullptr;
    DWORD m_behaviorFlags;
    D3DPRESENT_PARAMETERS m_parameters = {};
    bool m_zeroToOneDepth = false;
    Cooperative m_cooperative = kOk;
    bool m_hadFocus = false;
    bool m_inScene = false;
    GLint m_maxTextureSize = 0;

    Surface* m_backBuffer = nullptr;
    Surface* m_autoDepth = nullptr;
    Surface* m_renderTarget = nullptr;
    Surface* m_depthStencil = nullptr;

    DrawingState m_state;

    // Derived state.
    int m_activeLights[kMaxActiveLights] = {};
    int m_activeLightCount = 0;
    uint32_t m_dirty = ~0u;
    FfpKey m_key = {};
    FfpProgram* m_program = nullptr;
    bool m_groupDirty[kGroupCount] = {};
    uint64_t m_groupVersion[kGroupCount] = {};
    float m_uTransform[48] = {};
    float m_uViewport[16] = {}; // filled triangles, then lines and points
    float m_uMaterial[24] = {};
    float m_uLights[kMaxActiveLights * 6 * 4] = {};
    float m_uTexMatrix[kMaxStages * 16] = {};
    float m_uPixel[5] = {};
    bool m_stageSamplerDirty[kMaxStages] = {};
    GLuint m_stageSampler[kMaxStages] = {};

    // OpenGL objects.
    GlStateCache m_gl;
    std::unique_ptr<GlProgramCache> m_programs;
    GLuint m_streamBuffer = 0;
    size_t m_streamCapacity = 0;
    size_t m_streamOffset = 0;
    GLuint m_streamIndexBuffer = 0;
    size_t m_streamIndexCapacity = 0;
    size_t m_streamIndexOffset = 0;
    std::vector<StreamVao> m_streamVaos;
    std::vector<SamplerEntry> m_samplers;

    // A painter behind the scene: waiting (kMarking) or painting.
    ZoltBehindPainter m_behindPainter = nullptr;
    void* m_behindContext = nullptr;
    Behind m_behind = Behind::kOff;
    std::unique_ptr<DrawingState> m_stateBehind;
    std::unique_ptr<DrawingState> m_stateAround;
    // The stencil buffer bound holds zeros everywhere.
    bool m_stencilZero = false;
    // The program has enabled the stencil test or cleared the stencil: its
    // contents are then its own.
    bool m_programUsesStencil = false;

    // Draws merged until the state changes.
    struct MergedDraws {
        bool active = false;
        DWORD fvf = 0;
        UINT stride = 0;
        GLenum mode = 0;
        UINT vertices = 0;
        std::vector<uint8_t> data;
    };
    MergedDraws m_batch;
    // The draws being merged wait here while a painter behind draws.
    MergedDraws m_heldBatch;
};

// Sets up a vertex array's attribute pointers for a layout read from the
// buffer bound to GL_ARRAY_BUFFER.
void SetupVertexAttributes(const VertexLayout& layout, UINT stride);

// Test hooks shared by the Direct3D object.
DWORD ForcedCreateDeviceFailureMask();
D3DFORMAT ForcedDesktopFormat();

} // namespace zolt_d3d
