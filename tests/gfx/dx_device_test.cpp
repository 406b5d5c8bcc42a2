// The device layer: creation and each of its failures with its exact
// message, presentation of a cleared frame, loss and recovery.
#include "gfx/dx_device.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "gfx/bitmap_font.h"
#include "platform/d3d8/back_buffer_readback.h"
#include "platform/win32/program_resources.h"
#include "platform/win32/window.h"
#include "tests/support/box_capture.h"

namespace {

class DXDeviceTest : public ::testing::Test, protected BoxCapture {
protected:
    void SetUp() override
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ZoltViewer";
        RegisterClassA(&windowClass); // already registered by an earlier test: fine
    }
    void TearDown() override
    {
        layer.Release();
        ZoltForceCreateWindowFailure(false);
        ZoltForceDirect3DCreateFailure(false);
        ZoltForceCreateDeviceFailure(0);
        ZoltForceDesktopFormat(D3DFMT_UNKNOWN);
        if (window != nullptr) {
            DestroyWindow(window);
        }
    }

    int Create(bool fullScreen, UINT width = 640, UINT height = 480)
    {
        const D3DDISPLAYMODE mode = {width, height, 60, D3DFMT_X8R8G8B8};
        return layer.Create(&window, GetModuleHandleA(nullptr), mode, fullScreen, true);
    }

    // The one message shown, as an error.
    void ExpectOnlyError(const std::string& text)
    {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "Zolt Engine Error");
        EXPECT_EQ(boxes[0].text, text);
    }

    DXDevice layer;
    HWND window = nullptr;
};

} // namespace

TEST_F(DXDeviceTest, ConstructorStartsEmptyAndFullScreen)
{
    DXDevice fresh;
    EXPECT_TRUE(fresh.m_fullScreen);
    EXPECT_EQ(fresh.m_device, nullptr);
    EXPECT_EQ(fresh.m_direct3d, nullptr);
    EXPECT_EQ(fresh.m_font, nullptr);
    fresh.Release(); // nothing to release, twice
    fresh.Release();
}

TEST_F(DXDeviceTest, WindowedCreationUsesTheClientAreaAndTheDesktopFormat)
{
    ASSERT_EQ(Create(false), 0);
    EXPECT_TRUE(boxes.empty());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(layer.m_window, window);
    EXPECT_NE(layer.m_device, nullptr);
    EXPECT_NE(layer.m_font, nullptr);
    EXPECT_FALSE(layer.m_fullScreen);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(layer.m_width, static_cast<UINT>(client.right));
    EXPECT_EQ(layer.m_height, static_cast<UINT>(client.bottom));
    EXPECT_EQ(layer.m_clientRect.right - layer.m_clientRect.left, client.right);

    const D3DPRESENT_PARAMETERS& pp = layer.m_presentParameters;
    EXPECT_EQ(pp.Windowed, 1);
    EXPECT_EQ(pp.BackBufferWidth, layer.m_width);
    EXPECT_EQ(pp.BackBufferCount, 1u);
    EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(pp.EnableAutoDepthStencil, 1);
    EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D24S8);
    EXPECT_EQ(pp.FullScreen_PresentationInterval, D3DPRESENT_INTERVAL_DEFAULT);
    EXPECT_EQ(pp.hDeviceWindow, nullptr);
    D3DDISPLAYMODE desktop{};
    layer.m_direct3d->GetAdapterDisplayMode(0, &desktop);
    EXPECT_EQ(pp.BackBufferFormat, desktop.Format);

    D3DVIEWPORT8 viewport{};
    layer.m_device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, layer.m_width);
    EXPECT_EQ(viewport.Height, layer.m_height);

    layer.OnMove(100, 50);
    EXPECT_EQ(layer.m_clientRect.left, 100);
    EXPECT_EQ(layer.m_clientRect.bottom, 50 + static_cast<LONG>(layer.m_height));
}

TEST_F(DXDeviceTest, FullScreenCreationAsksForTheRequestedModeAndVsync)
{
    ASSERT_EQ(Create(true), 0);
    EXPECT_TRUE(boxes.empty());
    const D3DPRESENT_PARAMETERS& pp = layer.m_presentParameters;
    EXPECT_EQ(pp.Windowed, 0);
    EXPECT_EQ(pp.BackBufferWidth, 640u);
    EXPECT_EQ(pp.BackBufferHeight, 480u);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(pp.FullScreen_PresentationInterval, D3DPRESENT_INTERVAL_ONE);
    EXPECT_EQ(pp.FullScreen_RefreshRateInHz, 0u);
    EXPECT_EQ(layer.m_refreshRate, 60u);
    const RECT before = layer.m_clientRect;
    layer.OnMove(5, 5); // full screen: not tracked
    EXPECT_EQ(layer.m_clientRect.left, before.left);
}

TEST_F(DXDeviceTest, ClearedFramePresentsAndReadsBackDarkBlue)
{
    ASSERT_EQ(Create(true), 0);
    IDirect3DDevice8* device = layer.m_device;
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000044, 1.0f, 0), D3D_OK);
    layer.DrawText("60fps - Time 0 ", 0.0f, 0.0f);
    layer.ShowFrame();
    std::vector<uint32_t> pixels;
    UINT width = 0;
    UINT height = 0;
    ASSERT_TRUE(ZoltReadBackBuffer(device, &pixels, &width, &height));
    ASSERT_EQ(width, 640u);
    ASSERT_EQ(height, 480u);
    size_t wrong = 0;
    for (uint32_t pixel : pixels) {
        wrong += (pixel & 0xFFFFFF) != 0x000044 ? 1 : 0;
    }
    EXPECT_EQ(wrong, 0u);
}

TEST_F(DXDeviceTest, WindowFailureIsReported)
{
    ZoltForceCreateWindowFailure(true);
    EXPECT_EQ(Create(false), 1);
    ExpectOnlyError("LibDX\t:\tDisplaying window impossible.");
    EXPECT_EQ(layer.m_direct3d, nullptr);
}

TEST_F(DXDeviceTest, Direct3DFailureIsReported)
{
    ZoltForceDirect3DCreateFailure(true);
    EXPECT_EQ(Create(false), 1);
    ExpectOnlyError("LibDX\t:\tDirect3D Creation Impossible.");
}

TEST_F(DXDeviceTest, HardwareFailureFallsBackToSoftwareSilently)
{
    ZoltForceCreateDeviceFailure(D3DCREATE_HARDWARE_VERTEXPROCESSING);
    ASSERT_EQ(Create(false), 0);
    EXPECT_TRUE(boxes.empty());
    DWORD software = FALSE;
    layer.m_device->GetRenderState(D3DRS_SOFTWAREVERTEXPROCESSING, &software);
    EXPECT_EQ(software, TRUE);
}

TEST_F(DXDeviceTest, DeviceFailureOfBothKindsIsReported)
{
    ZoltForceCreateDeviceFailure(D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    EXPECT_EQ(Create(false), 1);
    ExpectOnlyError("LibDX\t:\tCreateDevice Impossible.\n Impossible to initialize either Hardware or Software "
                    "VertexProcessing");
    EXPECT_EQ(layer.m_device, nullptr);
    EXPECT_NE(layer.m_direct3d, nullptr); // left for Release
}

TEST_F(DXDeviceTest, DepthFormatFollowsTheDecidingFormat)
{
    // A 16-bit desktop in windowed mode: 16-bit depth.
    ZoltForceDesktopFormat(D3DFMT_R5G6B5);
    ASSERT_EQ(Create(false, 320, 240), 0);
    EXPECT_EQ(layer.m_presentParameters.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(layer.m_presentParameters.BackBufferFormat, D3DFMT_R5G6B5);
    layer.Release();
    DestroyWindow(window);
    window = nullptr;

    // A desktop format with no matching depth buffer: device creation fails.
    ZoltForceDesktopFormat(D3DFMT_A4R4G4B4);
    EXPECT_EQ(Create(false, 320, 240), 1);
    EXPECT_EQ(layer.m_presentParameters.AutoDepthStencilFormat, D3DFMT_UNKNOWN);
    ExpectOnlyError("LibDX\t:\tCreateDevice Impossible.\n Impossible to initialize either Hardware or Software "
                    "VertexProcessing");
}

TEST_F(DXDeviceTest, FontFailureIsAWarningThenAnError)
{
    // Neither the font resource nor a "font1.bmp" in the working directory.
    char directory[] = "/tmp/zolt-dxdevice-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
    ASSERT_EQ(chdir(directory), 0);
    SetProgramResourcesForTesting(nullptr, 0);
    const int result = Create(false);
    RestoreProgramResources();
    EXPECT_EQ(chdir(previous), 0);
    rmdir(directory);

    EXPECT_EQ(result, 1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Zolt Engine Warning");
    EXPECT_EQ(boxes[0].text, "LibDX : Cannot load font.");
    EXPECT_EQ(boxes[1].title, "Zolt Engine Error");
    EXPECT_EQ(boxes[1].text, "LibDX\t:\tCannot create font, Problem with texture : font1.bmp");
    EXPECT_NE(layer.m_device, nullptr); // left for Release
}

TEST_F(DXDeviceTest, LostFullScreenDeviceIsRestoredWhenTheWindowComesBack)
{
    ASSERT_EQ(Create(true, 64, 48), 0);
    IDirect3DDevice8* device = layer.m_device;
    device->SetRenderState(D3DRS_AMBIENT, 0x00123456);
    EXPECT_EQ(layer.Restore(), 0); // not lost: nothing to do

    ZoltSetWindowMinimized(window, true);
    ASSERT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    // The frame's reset attempt fails quietly while the device stays lost.
    layer.ShowFrame();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);

    // Restore waits for the window to come back, then resets.
    std::thread restorer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ZoltSetWindowMinimized(window, false);
    });
    EXPECT_EQ(layer.Restore(), 0);
    restorer.join();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    DWORD ambient = 0;
    device->GetRenderState(D3DRS_AMBIENT, &ambient);
    EXPECT_EQ(ambient, 0x00123456u) << "the reset keeps every state";

    // Lost again and back without Restore: the next frame resets it.
    ZoltSetWindowMinimized(window, true);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    ZoltSetWindowMinimized(window, false);
    layer.ShowFrame();
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_TRUE(boxes.empty());
}
