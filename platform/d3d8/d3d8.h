// The Direct3D 8 interfaces the engine draws through, implemented over an
// OpenGL 3.3 core context. Method names, parameter lists, reference counting
// and result codes follow Direct3D 8; the value types and constants are in
// platform/d3d8_types.h.
//
// Every interface is reference counted: AddRef and Release return the new
// count and an object is destroyed when its count reaches zero. Getters that
// hand out an interface (GetRenderTarget, GetSurfaceLevel, GetTexture, ...)
// AddRef it, as Direct3D does. The device keeps its own references on bound
// textures, buffers and render targets and drops them when it is released.
#pragma once

#include "platform/d3d8/d3d8_types.h"

class IDirect3D8;
class IDirect3DDevice8;
class IDirect3DResource8;
class IDirect3DBaseTexture8;
class IDirect3DTexture8;
class IDirect3DSurface8;
class IDirect3DVertexBuffer8;
class IDirect3DIndexBuffer8;

class IUnknown {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

class IDirect3D8 : public IUnknown {
public:
    virtual UINT GetAdapterCount() = 0;
    // The desktop's current mode (the display's size and refresh rate, format
    // D3DFMT_X8R8G8B8).
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* presentationParameters,
                                 IDirect3DDevice8** returnedDeviceInterface) = 0;
};

class IDirect3DDevice8 : public IUnknown {
public:
    // ---- Device, presentation and loss ----
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual HRESULT GetDirect3D(IDirect3D8** direct3d) = 0;
    virtual HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* presentationParameters) = 0;
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                            const void* dirtyRegion) = 0;
    virtual HRESULT GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** backBufferSurface) = 0;

    // ---- Resources ----
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DTexture8** texture) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer8** vertexBuffer) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer8** indexBuffer) = 0;
    virtual HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                       BOOL lockable, IDirect3DSurface8** surface) = 0;
    virtual HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multiSample, IDirect3DSurface8** surface) = 0;

    // ---- Render targets ----
    // A null target keeps the current colour target; a null depth surface
    // draws without depth buffer. The viewport becomes the whole new target.
    virtual HRESULT SetRenderTarget(IDirect3DSurface8* renderTarget, IDirect3DSurface8* newZStencil) = 0;
    virtual HRESULT GetRenderTarget(IDirect3DSurface8** renderTarget) = 0;
    virtual HRESULT GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface) = 0;

    // ---- Scene ----
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;

    // ---- Fixed-function state ----
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL8* material) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL8* material) = 0;
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT8* light) = 0;
    virtual HRESULT GetLight(DWORD index, D3DLIGHT8* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;

    // ---- Vertex input and drawing ----
    // Only flexible vertex format codes are accepted as "shaders".
    virtual HRESULT SetVertexShader(DWORD handle) = 0;
    virtual HRESULT GetVertexShader(DWORD* handle) = 0;
    virtual HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData, UINT stride) = 0;
    virtual HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData, UINT* stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer8* indexData, UINT baseVertexIndex) = 0;
    virtual HRESULT GetIndices(IDirect3DIndexBuffer8** indexData, UINT* baseVertexIndex) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, UINT minIndex, UINT numVertices,
                                         UINT startIndex, UINT primCount) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount, const void* vertexData,
                                    UINT stride) = 0;
    virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex, UINT numVertexIndices,
                                           UINT primitiveCount, const void* indexData, D3DFORMAT indexDataFormat,
                                           const void* vertexStreamZeroData, UINT vertexStreamZeroStride) = 0;
};

class IDirect3DResource8 : public IUnknown {
public:
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual D3DRESOURCETYPE GetType() = 0;
};

class IDirect3DBaseTexture8 : public IDirect3DResource8 {
public:
    virtual DWORD GetLevelCount() = 0;
};

class IDirect3DTexture8 : public IDirect3DBaseTexture8 {
public:
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // The surface shares the texture's reference count.
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surfaceLevel) = 0;
    // A8R8G8B8 / X8R8G8B8: 32-bit 0xAARRGGBB texels, pitch width * 4.
    // L8: one byte per texel, pitch width. Rows run top row first. A null
    // rectangle locks the whole level; UnlockRect uploads what was written.
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
};

class IDirect3DSurface8 : public IUnknown {
public:
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};

class IDirect3DVertexBuffer8 : public IDirect3DResource8 {
public:
    // Returns writable memory for [offset, offset + size) (size 0: to the
    // end); Unlock uploads it.
    virtual HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
};

class IDirect3DIndexBuffer8 : public IDirect3DResource8 {
public:
    virtual HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;
};

// Creates the Direct3D object, or returns null when the SDK version is not
// 220 or no OpenGL 3.3 core context can be had.
IDirect3D8* Direct3DCreate8(UINT sdkVersion);

// ---- Stand-in services beyond Direct3D -------------------------------------

// Test hook: CreateDevice fails for every behaviour flag in the mask, e.g.
// D3DCREATE_HARDWARE_VERTEXPROCESSING to force the software fallback, or
// both vertex-processing flags to make device creation fail. 0 clears it.
void ZoltForceCreateDeviceFailure(DWORD behaviorFlagsMask);
// Test hook: Direct3DCreate8 returns null while set.
void ZoltForceDirect3DCreateFailure(bool fail);
// For programs whose window nobody sees (a recorder, a soak check): with
// false, Present only sends the frame on to the rasteriser and leaves the
// window's buffers alone; the back buffer keeps the frame for read-back.
// True (the default) presents to the window again. Null and foreign devices
// are ignored.
void ZoltSetPresentToWindow(IDirect3DDevice8* device, bool present);
// The software rasteriser's worker threads. Mesa's llvmpipe rasterises each
// batch of drawing on its workers ("llvmpipe-0", "llvmpipe-1", ...) while
// the drawing thread waits for all of them, so a batch is done when its
// slowest worker is. A scheduler that packs busy threads onto few
// processors (as some virtual machines' kernels do) now and then puts two
// workers on one processor, and that frame's rasterising takes twice as
// long. With true, worker N is bound to the N-th processor the process may
// use (round the set again when there are more workers); every device does
// this when it is made. With false, the workers may use all of the
// process's processors again: better where other busy threads (a video
// encoder's) share them, since a bound worker then waits for its processor
// while another stands idle. Other threads are left alone, and a process
// allowed a single processor binds nothing. Returns the workers set.
int ZoltSpreadRasteriserThreads(bool spread);
// Test hook: vertex buffers created while set keep their contents in memory
// and upload them on unlock, the straightforward way, instead of handing out
// their mapped storage; pictures drawn both ways must be the same.
void ZoltVertexBuffersKeepCopies(bool keep);
// Painting behind: `paint` draws a background that neither tests nor writes
// depth, from resources that nothing changes until it is called. Instead of
// drawing it now, the device marks in its stencil buffer each pixel that the
// draws after this call overwrite without reading, and calls `paint` (with
// the Direct3D state as it is now, put back afterwards) just before anything
// that reads or replaces the render target: a blended draw, a clear, a
// change of target, presentation, read-back, or ZoltPaintBehindNow. Its
// draws then cover only the pixels not overwritten, which gives the same
// picture as drawing it first while sparing the rasteriser the hidden part.
// False, with nothing noted, when the device cannot (no stencil bits in the
// depth buffer, the program uses the stencil itself, a painter already
// waits, a foreign device): the caller then draws the background now.
typedef void (*ZoltBehindPainter)(void* context);
bool ZoltPaintBehind(IDirect3DDevice8* device, ZoltBehindPainter paint, void* context);
// Calls the waiting painter now, if there is one.
void ZoltPaintBehindNow(IDirect3DDevice8* device);
// Test hook: with false, ZoltPaintBehind refuses, so that backgrounds are
// drawn first, the straightforward way; pictures drawn both ways must be the
// same.
void ZoltAllowPaintingBehind(bool allow);
// Test hook: GetAdapterDisplayMode reports this format for the desktop
// (D3DFMT_UNKNOWN, the default, reports the real one).
void ZoltForceDesktopFormat(D3DFORMAT format);
