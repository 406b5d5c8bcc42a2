#include "gfx/dx_device.h"

#include <cstring>

#include "platform/d3d8/release_interface.h"
#include "gfx/bitmap_font.h"
#include "platform/report/report.h"
#include "platform/win32/window.h"

namespace {

constexpr DWORD kFullScreenStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;            // 0x86000000
constexpr DWORD kWindowedStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;     // 0x10CA0000
constexpr const char* kWindowClass = "ZoltViewer";
constexpr const char* kFontFile = "font1.bmp";

// The depth buffer that goes with a back-buffer format: 24-bit depth and
// 8-bit stencil for 32-bit colour, 16-bit depth for 16-bit colour.
D3DFORMAT DepthFormatFor(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return D3DFMT_D24S8;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
        return D3DFMT_D16;
    default:
        return D3DFMT_UNKNOWN;
    }
}

} // namespace

DXDevice::DXDevice()
    : m_window(nullptr),
      m_instance(nullptr),
      m_clientRect{0, 0, 0, 0},
      m_fullScreen(true),
      m_font(nullptr),
      m_width(0),
      m_height(0),
      m_refreshRate(0),
      m_format(D3DFMT_UNKNOWN),
      m_presentParameters{},
      m_direct3d(nullptr),
      m_device(nullptr)
{
}

DXDevice::~DXDevice()
{
    Release();
}

int DXDevice::Create(HWND* window, HINSTANCE instance, D3DDISPLAYMODE mode, bool fullScreen, bool createWindow)
{
    m_width = mode.Width;
    m_height = mode.Height;
    m_refreshRate = mode.RefreshRate;
    m_format = mode.Format;
    m_window = window != nullptr ? *window : nullptr;
    m_instance = instance;
    m_fullScreen = fullScreen;

    if (createWindow) {
        m_window = CreateWindowExA(0, kWindowClass, kWindowClass, fullScreen ? kFullScreenStyle : kWindowedStyle, 20,
                                   20, static_cast<int>(m_width), static_cast<int>(m_height), nullptr, nullptr,
                                   instance, nullptr);
        if (m_window == nullptr) {
            ShowError("LibDX\t:\tDisplaying window impossible.");
            return 1;
        }
        if (!fullScreen) {
            ShowWindow(m_window, SW_SHOW);
            UpdateWindow(m_window);
        }
    }

    m_direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (m_direct3d == nullptr) {
        ShowError("LibDX\t:\tDirect3D Creation Impossible.");
        return 1;
    }

    D3DDISPLAYMODE desktop{};
    if (m_direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop) != D3D_OK) {
        ShowError("LibDX\t:\tGetAdapterDisplayMode Impossible.");
        return 1;
    }

    std::memset(&m_presentParameters, 0, sizeof(m_presentParameters));
    m_presentParameters.BackBufferCount = 1;
    m_presentParameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    m_presentParameters.EnableAutoDepthStencil = 1;
    m_presentParameters.AutoDepthStencilFormat = DepthFormatFor(fullScreen ? m_format : desktop.Format);

    if (fullScreen) {
        m_presentParameters.BackBufferWidth = m_width;
        m_presentParameters.BackBufferHeight = m_height;
        m_presentParameters.BackBufferFormat = m_format;
        m_presentParameters.Windowed = 0;
        m_presentParameters.FullScreen_RefreshRateInHz = 0;
        m_presentParameters.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    } else {
        RECT client{};
        GetClientRect(m_window, &client);
        POINT topLeft{client.left, client.top};
        POINT bottomRight{client.right, client.bottom};
        ClientToScreen(m_window, &topLeft);
        ClientToScreen(m_window, &bottomRight);
        m_clientRect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
        m_width = static_cast<UINT>(m_clientRect.right - m_clientRect.left);
        m_height = static_cast<UINT>(m_clientRect.bottom - m_clientRect.top);
        m_presentParameters.BackBufferWidth = m_width;
        m_presentParameters.BackBufferHeight = m_height;
        m_presentParameters.BackBufferFormat = desktop.Format;
        m_presentParameters.Windowed = 1;
    }

    if (m_direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                 &m_presentParameters, &m_device) != D3D_OK &&
        m_direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                 &m_presentParameters, &m_device) != D3D_OK) {
        m_device = nullptr;
        ShowError("LibDX\t:\tCreateDevice Impossible.\n Impossible to initialize either Hardware or Software "
                  "VertexProcessing");
        return 1;
    }

    D3DVIEWPORT8 viewport{0, 0, m_width, m_height, 0.0f, 1.0f};
    m_device->SetViewport(&viewport);

    if (window != nullptr) {
        *window = m_window;
    }

    m_font = new BitmapFont();
    if (m_font->Build(m_device, kFontFile, 16, 16, 20.0f) != 0) {
        ShowError("LibDX\t:\tCannot create font, Problem with texture : %s", kFontFile);
        return 1;
    }
    return 0;
}

void DXDevice::Release()
{
    if (m_font != nullptr) {
        delete m_font;
        m_font = nullptr;
    }
    if (m_device != nullptr) {
        for (DWORD stage = 0; stage < 8; ++stage) {
            m_device->SetTexture(stage, nullptr);
        }
        m_device->SetStreamSource(0, nullptr, 36);
        m_device->SetIndices(nullptr, 0);
        ReleaseInterface(m_device);
    }
    ReleaseInterface(m_direct3d);
}

int DXDevice::Restore()
{
    if (m_device == nullptr) {
        return 0;
    }
    HRESULT level = m_device->TestCooperativeLevel();
    if (level != D3DERR_DEVICELOST) {
        return 0;
    }
    // Sleep until the device can be reset. A device that comes back usable
    // without needing a reset ends the wait too, rather than waiting forever.
    while (level == D3DERR_DEVICELOST) {
        WaitMessage();
        level = m_device->TestCooperativeLevel();
    }
    if (level != D3DERR_DEVICENOTRESET) {
        return 0;
    }
    if (m_device->Reset(&m_presentParameters) != D3D_OK) {
        ShowError("LibDX\t:\tReset Impossible.");
        return 1;
    }
    return 0;
}

void DXDevice::ShowFrame()
{
    if (m_device == nullptr) {
        return;
    }
    if (m_device->Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST) {
        m_device->Reset(&m_presentParameters);
    }
}

void DXDevice::OnMove(int x, int y)
{
    if (!m_fullScreen) {
        m_clientRect = RECT{x, y, x + static_cast<LONG>(m_width), y + static_cast<LONG>(m_height)};
    }
}

void DXDevice::DrawText(const char* text, float x, float y)
{
    (void)text;
    (void)x;
    (void)y;
}
