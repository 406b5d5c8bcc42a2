// The show's device layer made the way the entry makes it (a 640 x 480
// window of class "ZoltViewer" and its device), headless when there is no
// display, for tests that draw through DXDevice; and the fixtures sharing it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "gfx/dx_device.h"
#include "platform/d3d8/back_buffer_readback.h"
#include "platform/win32/window.h"
#include "tests/support/pack_builder.h"

class ShowDevice {
public:
    ShowDevice()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ZoltViewer";
        RegisterClassA(&windowClass); // fails harmlessly when already registered
        D3DDISPLAYMODE mode = {640, 480, 0, D3DFMT_X8R8G8B8};
        m_created = m_layer.Create(&m_window, GetModuleHandleA(nullptr), mode, false, true) == 0;
    }
    ~ShowDevice()
    {
        m_layer.Release();
        if (m_window)
            DestroyWindow(m_window);
    }
    ShowDevice(const ShowDevice&) = delete;
    ShowDevice& operator=(const ShowDevice&) = delete;

    bool Created() const { return m_created && m_layer.m_device; }
    DXDevice* Layer() { return &m_layer; }
    IDirect3DDevice8* Device() { return m_layer.m_device; }

    // The back buffer, 0xAARRGGBB, top row first.
    std::vector<uint32_t> ReadBack()
    {
        std::vector<uint32_t> pixels;
        width = height = 0;
        ZoltReadBackBuffer(m_layer.m_device, &pixels, &width, &height);
        return pixels;
    }

    UINT width = 0;
    UINT height = 0;

private:
    DXDevice m_layer;
    HWND m_window = nullptr;
    bool m_created = false;
};

// A test suite sharing one show device, made before its first test and
// destroyed after its last.
class ShowDeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_device = new ShowDevice(); }
    static void TearDownTestSuite()
    {
        delete s_device;
        s_device = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_device->Created()); }

    inline static ShowDevice* s_device = nullptr;
};

// ... whose tests each run in a fresh temporary working directory.
class ShowDeviceInTempDirTest : public ShowDeviceTest {
protected:
    void SetUp() override
    {
        ShowDeviceTest::SetUp();
        if (!HasFatalFailure()) {
            m_cwd.reset(new WorkingDirectory(m_dir.Path()));
        }
    }
    void TearDown() override { m_cwd.reset(); }

    TempDirectory m_dir;
    std::unique_ptr<WorkingDirectory> m_cwd;
};
