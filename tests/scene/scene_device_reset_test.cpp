// A scene prepared once on the show's full-screen device keeps drawing the
// same picture after the device was lost and reset: its buffers and textures
// are never made again.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "gfx/dx_device.h"
#include "platform/d3d8/back_buffer_readback.h"
#include "platform/win32/window.h"
#include "tests/scene/draw_fixture.h"

using namespace draw;

namespace {

std::vector<uint32_t> DrawFrame(IDirect3DDevice8* device, CScene* scene)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
    device->BeginScene();
    scene->Update(0.0f);
    scene->Render(device);
    device->EndScene();
    std::vector<uint32_t> pixels;
    UINT width = 0;
    UINT height = 0;
    ZoltReadBackBuffer(device, &pixels, &width, &height);
    return pixels;
}

TEST(SceneOnALostDevice, DrawsTheSamePictureAfterTheReset)
{
    BoxCapture capture;
    TempDirectory dir;
    WorkingDirectory cwd(dir.Path());
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ZoltViewer";
    RegisterClassA(&windowClass); // fails harmlessly when already registered
    DXDevice layer;
    HWND window = nullptr;
    const D3DDISPLAYMODE mode = {kWidth, kHeight, 60, D3DFMT_X8R8G8B8};
    ASSERT_EQ(0, layer.Create(&window, GetModuleHandleA(nullptr), mode, true, true));
    IDirect3DDevice8* device = layer.m_device;

    kvf::Scene description;
    description.ambient = kvf::Vec3{0.5f, 0.5f, 0.5f};
    description.materials = {MakeMaterial("m", {1.0f, 0.5f, 0.0f}), MakeMaterial("glass", {0, 0, 0}, 0.5f, 2)};
    Triangle opaque;
    opaque.p[0] = {-4, -4, 0};
    opaque.p[1] = {-4, 4, 0};
    opaque.p[2] = {4, -4, 0};
    Triangle glass = opaque;
    glass.material = 1;
    glass.colour = {0.0f, 0.0f, 0.5f};
    for (d3dref::Vec3& p : glass.p) {
        p.x += 2.0f;
        p.z = -1.0f;
    }
    description.objects = {MakeMesh("opaque", {opaque}), MakeMesh("glass", {glass}, true, 0)};
    AddCamera(&description, "eye", {0, 0, -20}, {0, 0, 0}, 1.0f, 0.0f);
    ASSERT_TRUE(WritePack(dir.File("data.pac"), {PackMember{"scene.kvf", kvf::WriteScene(description)}}));
    {
        CScene scene;
        ASSERT_EQ(0, scene.LoadScene("scene.kvf"));
        ASSERT_EQ(0, scene.Prepare(device));
        const std::vector<uint32_t> before = DrawFrame(device, &scene);
        ASSERT_FALSE(before.empty());
        WritePngArgb(TestOutputPath("SceneOnALostDevice.before"), kWidth, kHeight, before);

        ZoltSetWindowMinimized(window, true);
        ASSERT_EQ(D3DERR_DEVICELOST, device->TestCooperativeLevel());
        DrawFrame(device, &scene); // drawing on a lost device does nothing
        ZoltSetWindowMinimized(window, false);
        layer.ShowFrame(); // resets the device
        ASSERT_EQ(D3D_OK, device->TestCooperativeLevel());

        const std::vector<uint32_t> after = DrawFrame(device, &scene);
        WritePngArgb(TestOutputPath("SceneOnALostDevice.after"), kWidth, kHeight, after);
        EXPECT_EQ(before, after);
        // The picture holds the opaque face: reddish, with no blue.
        EXPECT_NE(before.end(), std::find_if(before.begin(), before.end(), [](uint32_t p) {
                      return (p & 0xFF) == 0 && ((p >> 16) & 0xFF) > 0x60;
                  }));
    }
    EXPECT_TRUE(capture.boxes.empty());
    layer.Release();
    DestroyWindow(window);
}

} // namespace
