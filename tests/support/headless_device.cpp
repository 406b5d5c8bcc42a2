#include "tests/support/headless_device.h"

#include <cstdio>

#include "platform/d3d8/back_buffer_readback.h"
#include "platform/win32/window.h"

namespace {

constexpr const char* kClassName = "ZoltHeadlessDevice";

HWND g_window = nullptr;
SDL_Window* g_sdlWindow = nullptr;

} // namespace

HWND HeadlessWindow()
{
    // The window system may have been reset by another test since.
    if (g_window != nullptr && IsWindow(g_window) && ZoltSdlWindow(g_window) == g_sdlWindow) {
        return g_window;
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass); // harmless when already registered
    g_window = CreateWindowExA(0, kClassName, "Zolt headless device", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    g_sdlWindow = g_window != nullptr ? ZoltSdlWindow(g_window) : nullptr;
    return g_window;
}

IDirect3DDevice8* AcquireHeadlessDevice()
{
    return AcquireHeadlessDevice(HeadlessDeviceOptions());
}

IDirect3DDevice8* AcquireHeadlessDevice(const HeadlessDeviceOptions& options)
{
    HWND window = HeadlessWindow();
    if (window == nullptr) {
        std::fprintf(stderr, "headless device: no window\n");
        return nullptr;
    }
    IDirect3D8* direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (direct3d == nullptr) {
        std::fprintf(stderr, "headless device: Direct3DCreate8 failed\n");
        return nullptr;
    }
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = options.width;
    parameters.BackBufferHeight = options.height;
    parameters.BackBufferFormat = options.backBufferFormat;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = options.autoDepthStencil ? TRUE : FALSE;
    parameters.AutoDepthStencilFormat = options.depthFormat;
    IDirect3DDevice8* device = nullptr;
    const HRESULT result = direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                                  D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device);
    direct3d->Release(); // the device keeps it
    if (result != D3D_OK) {
        std::fprintf(stderr, "headless device: CreateDevice failed (0x%08x)\n", static_cast<unsigned>(result));
        return nullptr;
    }
    return device;
}

void ReleaseHeadlessDevice(IDirect3DDevice8* device)
{
    if (device == nullptr) {
        return;
    }
    for (DWORD stage = 0; stage < 8; ++stage) {
        device->SetTexture(stage, nullptr);
    }
    device->SetStreamSource(0, nullptr, 0);
    device->SetIndices(nullptr, 0);
    device->Release();
}

std::vector<uint32_t> ReadHeadlessBackBuffer(IDirect3DDevice8* device, UINT* width, UINT* height)
{
    std::vector<uint32_t> pixels;
    UINT w = 0;
    UINT h = 0;
    if (!ZoltReadBackBuffer(device, &pixels, &w, &h)) {
        pixels.clear();
    }
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
    return pixels;
}
