// The show's window and its Direct3D 8 device: creation with the hardware then
// software vertex-processing device, presentation of each frame and recovery
// of a lost device. Every drawing room reaches the device through here.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/win32/win32_types.h"

class BitmapFont;

class DXDevice {
public:
    DXDevice();
    ~DXDevice();
    DXDevice(const DXDevice&) = delete;
    DXDevice& operator=(const DXDevice&) = delete;

    // Creates (or takes) the window, Direct3D, the device, the viewport and
    // the font. 0 on success; 1 after showing the failing step's message,
    // leaving what was made for Release.
    int Create(HWND* window, HINSTANCE instance, D3DDISPLAYMODE mode, bool fullScreen, bool createWindow);
    // Releases the font, the device and Direct3D; safe on a partly created
    // object. The window is left alone.
    void Release();
    // On reactivation: waits until a lost device can be reset, then resets it.
    int Restore();
    // Presents the back buffer; a lost device is reset at once, silently.
    void ShowFrame();
    // Keeps the windowed client rectangle in step with WM_MOVE.
    void OnMove(int x, int y);
    // The text overlay is not drawn by this player.
    void DrawText(const char* text, float x, float y);

    HWND m_window;
    HINSTANCE m_instance;
    RECT m_clientRect;
    bool m_fullScreen;
    BitmapFont* m_font;
    UINT m_width;
    UINT m_height;
    UINT m_refreshRate;
    D3DFORMAT m_format;
    D3DPRESENT_PARAMETERS m_presentParameters;
    IDirect3D8* m_direct3d;
    IDirect3DDevice8* m_device;
};
