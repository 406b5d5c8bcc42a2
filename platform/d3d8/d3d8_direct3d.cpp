// The Direct3D object: the one adapter (the desktop) and device creation.
#include <SDL.h>

#include "platform/d3d8/d3d8_impl.h"
#include "platform/win32/window.h"

namespace zolt_d3d {

namespace {

DWORD g_forcedCreateDeviceFailure = 0;
bool g_forcedDirect3DFailure = false;
D3DFORMAT g_forcedDesktopFormat = D3DFMT_UNKNOWN;

} // namespace

DWORD ForcedCreateDeviceFailureMask()
{
    return g_forcedCreateDeviceFailure;
}

D3DFORMAT ForcedDesktopFormat()
{
    return g_forcedDesktopFormat;
}

ULONG Direct3D::AddRef()
{
    return ++m_refs;
}

ULONG Direct3D::Release()
{
    const ULONG refs = --m_refs;
    if (refs == 0) {
        delete this;
    }
    return refs;
}

UINT Direct3D::GetAdapterCount()
{
    return 1;
}

HRESULT Direct3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode)
{
    if (adapter != D3DADAPTER_DEFAULT || mode == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        return D3DERR_NOTAVAILABLE;
    }
    mode->Width = desktop.w > 0 ? static_cast<UINT>(desktop.w) : 0;
    mode->Height = desktop.h > 0 ? static_cast<UINT>(desktop.h) : 0;
    mode->RefreshRate = desktop.refresh_rate > 0 ? static_cast<UINT>(desktop.refresh_rate) : 0;
    const int bits = SDL_BITSPERPIXEL(desktop.format);
    if (bits == 16) {
        mode->Format = D3DFMT_R5G6B5;
    } else if (bits == 15) {
        mode->Format = D3DFMT_X1R5G5B5;
    } else {
        mode->Format = D3DFMT_X8R8G8B8;
    }
    if (g_forcedDesktopFormat != D3DFMT_UNKNOWN) {
        mode->Format = g_forcedDesktopFormat;
    }
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                               D3DPRESENT_PARAMETERS* presentationParameters,
                               IDirect3DDevice8** returnedDeviceInterface)
{
    if (returnedDeviceInterface == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *returnedDeviceInterface = nullptr;
    if (adapter != D3DADAPTER_DEFAULT || presentationParameters == nullptr ||
        (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF)) {
        return D3DERR_INVALIDCALL;
    }
    const DWORD processing = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                              D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_MIXED_VERTEXPROCESSING) {
        return D3DERR_INVALIDCALL;
    }
    if ((processing & g_forcedCreateDeviceFailure) != 0) {
        return D3DERR_NOTAVAILABLE;
    }
    HWND window = presentationParameters->hDeviceWindow != nullptr ? presentationParameters->hDeviceWindow
                                                                    : focusWindow;
    if (window == nullptr || !IsWindow(window)) {
        return D3DERR_INVALIDCALL;
    }
    SDL_Window* sdlWindow = ZoltSdlWindow(window);
    if (sdlWindow == nullptr || (SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_OPENGL) == 0) {
        return D3DERR_NOTAVAILABLE;
    }
    auto* device = new Device(this, window, sdlWindow, behaviorFlags);
    const HRESULT result = device->Initialize(*presentationParameters);
    if (result != D3D_OK) {
        device->Release();
        return result;
    }
    *returnedDeviceInterface = device;
    return D3D_OK;
}

} // namespace zolt_d3d

IDirect3D8* Direct3DCreate8(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION || zolt_d3d::g_forcedDirect3DFailure) {
        return nullptr;
    }
    if (!ZoltVideoInit()) {
        return nullptr;
    }
    return new zolt_d3d::Direct3D();
}

void ZoltForceCreateDeviceFailure(DWORD behaviorFlagsMask)
{
    zolt_d3d::g_forcedCreateDeviceFailure = behaviorFlagsMask;
}

void ZoltForceDirect3DCreateFailure(bool fail)
{
    zolt_d3d::g_forcedDirect3DFailure = fail;
}

void ZoltForceDesktopFormat(D3DFORMAT format)
{
    zolt_d3d::g_forcedDesktopFormat = format;
}
