// Direct3D object and device life: creation and its failures, the default
// state of a new device, reference counting, and device loss and reset.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/d3d8/back_buffer_readback.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win32/window.h"
#include "tests/support/headless_device.h"

namespace {

float AsFloat(DWORD bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

D3DPRESENT_PARAMETERS WindowedParameters(UINT width, UINT height)
{
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = width;
    parameters.BackBufferHeight = height;
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    return parameters;
}

// A window of its own, for devices that take the window full screen.
HWND MakeWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "ZoltDeviceLifecycleTest";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "ZoltDeviceLifecycleTest", "device test", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                           nullptr, nullptr);
}

class Direct3DTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        ZoltForceCreateDeviceFailure(0);
        ZoltForceDirect3DCreateFailure(false);
        ZoltForceDesktopFormat(D3DFMT_UNKNOWN);
        if (direct3d != nullptr) {
            direct3d->Release();
        }
    }
    void SetUp() override
    {
        direct3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(direct3d, nullptr);
        window = HeadlessWindow();
        ASSERT_NE(window, nullptr);
    }

    IDirect3D8* direct3d = nullptr;
    HWND window = nullptr;
};

} // namespace

TEST_F(Direct3DTest, CreationNeedsTheRightSdkVersion)
{
    EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION - 1), nullptr);
    ZoltForceDirect3DCreateFailure(true);
    EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION), nullptr);
}

TEST_F(Direct3DTest, AdapterDisplayModeIsTheDesktop)
{
    EXPECT_EQ(direct3d->GetAdapterCount(), 1u);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_GT(mode.Width, 0u);
    EXPECT_GT(mode.Height, 0u);
    EXPECT_TRUE(mode.Format == D3DFMT_X8R8G8B8 || mode.Format == D3DFMT_R5G6B5 || mode.Format == D3DFMT_X1R5G5B5);
    EXPECT_EQ(direct3d->GetAdapterDisplayMode(1, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, nullptr), D3DERR_INVALIDCALL);
    ZoltForceDesktopFormat(D3DFMT_R5G6B5);
    ASSERT_EQ(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_R5G6B5);
}

TEST_F(Direct3DTest, ForcedFailuresPerVertexProcessingKind)
{
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(16, 16);
    IDirect3DDevice8* device = reinterpret_cast<IDirect3DDevice8*>(1);
    ZoltForceCreateDeviceFailure(D3DCREATE_HARDWARE_VERTEXPROCESSING);
    EXPECT_EQ(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                     &parameters, &device),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
    ASSERT_EQ(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &parameters, &device),
              D3D_OK);
    DWORD software = 0;
    device->GetRenderState(D3DRS_SOFTWAREVERTEXPROCESSING, &software);
    EXPECT_EQ(software, TRUE);
    device->Release();

    ZoltForceCreateDeviceFailure(D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    EXPECT_NE(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &parameters, &device),
              D3D_OK);
}

TEST_F(Direct3DTest, InvalidCreationParametersAreRefused)
{
    IDirect3DDevice8* device = nullptr;
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(16, 16);
    parameters.AutoDepthStencilFormat = D3DFMT_UNKNOWN; // as for an unknown desktop format
    EXPECT_EQ(direct3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                     &device),
              D3DERR_INVALIDCALL);
    parameters = WindowedParameters(16, 16);
    parameters.BackBufferFormat = D3DFMT_P8;
    EXPECT_EQ(direct3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                     &device),
              D3DERR_INVALIDCALL);
    parameters = WindowedParameters(16, 16);
    EXPECT_EQ(direct3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                     &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(direct3d->CreateDevice(0, D3DDEVTYPE_HAL, window,
                                     D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &parameters, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
}

TEST(D3dDeviceDefaults, NewDeviceHasDirect3DDefaults)
{
    HeadlessDevice device(HeadlessDeviceOptions{48, 40});
    ASSERT_TRUE(device);

    D3DVIEWPORT8 viewport{};
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.X, 0u);
    EXPECT_EQ(viewport.Width, 48u);
    EXPECT_EQ(viewport.Height, 40u);
    EXPECT_EQ(viewport.MinZ, 0.0f);
    EXPECT_EQ(viewport.MaxZ, 1.0f);

    const struct {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } expected[] = {
        {D3DRS_ZENABLE, TRUE},
        {D3DRS_FILLMODE, D3DFILL_SOLID},
        {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRS_ZWRITEENABLE, TRUE},
        {D3DRS_ALPHATESTENABLE, FALSE},
        {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
        {D3DRS_ALPHABLENDENABLE, FALSE},
        {D3DRS_SPECULARENABLE, FALSE},
        {D3DRS_LIGHTING, TRUE},
        {D3DRS_AMBIENT, 0},
        {D3DRS_COLORVERTEX, TRUE},
        {D3DRS_LOCALVIEWER, TRUE},
        {D3DRS_NORMALIZENORMALS, FALSE},
        {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
        {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
        {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu},
        {D3DRS_SOFTWAREVERTEXPROCESSING, FALSE},
    };
    for (const auto& e : expected) {
        DWORD value = 0xDEADBEEF;
        ASSERT_EQ(device->GetRenderState(e.state, &value), D3D_OK);
        EXPECT_EQ(value, e.value) << "render state " << e.state;
    }
    DWORD pointSize = 0;
    device->GetRenderState(D3DRS_POINTSIZE, &pointSize);
    EXPECT_EQ(AsFloat(pointSize), 1.0f);

    for (DWORD stage = 0; stage < 8; ++stage) {
        DWORD value = 0;
        device->GetTextureStageState(stage, D3DTSS_COLOROP, &value);
        EXPECT_EQ(value, stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE);
        device->GetTextureStageState(stage, D3DTSS_ALPHAOP, &value);
        EXPECT_EQ(value, stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE);
        device->GetTextureStageState(stage, D3DTSS_COLORARG2, &value);
        EXPECT_EQ(value, D3DTA_CURRENT);
        device->GetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, &value);
        EXPECT_EQ(value, stage);
        device->GetTextureStageState(stage, D3DTSS_MIPFILTER, &value);
        EXPECT_EQ(value, D3DTEXF_NONE);
        device->GetTextureStageState(stage, D3DTSS_ADDRESSV, &value);
        EXPECT_EQ(value, D3DTADDRESS_WRAP);
    }

    D3DMATRIX world{};
    ASSERT_EQ(device->GetTransform(D3DTS_WORLD, &world), D3D_OK);
    EXPECT_EQ(world._11, 1.0f);
    EXPECT_EQ(world._41, 0.0f);
    EXPECT_EQ(world._44, 1.0f);
    D3DMATERIAL8 material{};
    material.Power = 5.0f;
    device->GetMaterial(&material);
    EXPECT_EQ(material.Power, 0.0f);

    IDirect3DSurface8* depth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depth), D3D_OK);
    D3DSURFACE_DESC desc{};
    depth->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_D24S8);
    EXPECT_EQ(desc.Width, 48u);
    depth->Release();
}

TEST(D3dDeviceDefaults, WithoutDepthBufferZEnableIsOffAndThereIsNoDepthSurface)
{
    HeadlessDeviceOptions options;
    options.autoDepthStencil = false;
    HeadlessDevice device(options);
    ASSERT_TRUE(device);
    DWORD zenable = 7;
    device->GetRenderState(D3DRS_ZENABLE, &zenable);
    EXPECT_EQ(zenable, FALSE);
    IDirect3DSurface8* depth = reinterpret_cast<IDirect3DSurface8*>(1);
    EXPECT_EQ(device->GetDepthStencilSurface(&depth), D3DERR_NOTFOUND);
    EXPECT_EQ(depth, nullptr);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST(D3dDeviceRefCounts, GettersAddRefAndTextureLevelsShareTheTexturesCount)
{
    HeadlessDevice device;
    ASSERT_TRUE(device);
    IDirect3DSurface8* target = nullptr;
    ASSERT_EQ(device->GetRenderTarget(&target), D3D_OK);
    IDirect3DSurface8* again = nullptr;
    ASSERT_EQ(device->GetRenderTarget(&again), D3D_OK);
    EXPECT_EQ(target, again);
    const ULONG afterTwo = target->AddRef();
    EXPECT_EQ(target->Release(), afterTwo - 1);
    again->Release();
    target->Release();

    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture),
              D3D_OK);
    IDirect3DSurface8* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 3u); // creation, the level, this call
    EXPECT_EQ(level->Release(), 2u);
    EXPECT_EQ(texture->Release(), 1u);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST(D3dDeviceRefCounts, ResourcesMayOutliveTheDevice)
{
    IDirect3DDevice8* device = AcquireHeadlessDevice();
    ASSERT_NE(device, nullptr);
    IDirect3DTexture8* texture = nullptr;
    IDirect3DVertexBuffer8* buffer = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 3u);
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0x42, D3DPOOL_DEFAULT, &buffer), D3D_OK);
    device->SetTexture(0, texture);
    EXPECT_EQ(device->Release(), 0u);
    // Still usable, and released cleanly afterwards.
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    static_cast<uint32_t*>(locked.pBits)[0] = 0xFF123456;
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST(D3dDeviceLoss, MinimisedFullScreenDeviceIsLostUntilReset)
{
    HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    IDirect3D8* direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(direct3d, nullptr);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(32, 24);
    parameters.Windowed = FALSE;
    parameters.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    IDirect3DDevice8* device = nullptr;
    ASSERT_EQ(direct3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                     &device),
              D3D_OK);
    direct3d->Release();
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    // A state and a bound texture that must survive the reset.
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00112233, 1.0f, 0), D3D_OK);

    ZoltSetWindowMinimized(window, true);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Reset(&parameters), D3DERR_DEVICELOST);
    // A vertex buffer rewritten while the device is lost keeps what was
    // written through the reset.
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * 20, 0, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, D3DPOOL_DEFAULT, &vb), D3D_OK);
    BYTE* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    const struct {
        float x, y, z, rhw;
        D3DCOLOR colour;
    } quad[4] = {{0, 0, 0.5f, 1, 0xFF445566}, {32, 0, 0.5f, 1, 0xFF445566}, {32, 24, 0.5f, 1, 0xFF445566},
                 {0, 24, 0.5f, 1, 0xFF445566}};
    std::memcpy(data, quad, sizeof quad);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    // Drawing and clearing on a lost device succeed and do nothing.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FFFFFF, 1.0f, 0), D3D_OK);
    const float triangle[] = {-1, -1, 0.5f, 1, -1, 0.5f, -1, 1, 0.5f};
    device->SetVertexShader(D3DFVF_XYZ);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, 12), D3D_OK);
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    for (int i = 0; i < 4; ++i)
        std::memcpy(data + 20 * i + 16, "\x99\x88\x77\xFF", 4);  // 0xFF778899
    ASSERT_EQ(vb->Unlock(), D3D_OK);

    ZoltSetWindowMinimized(window, false);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    ASSERT_EQ(device->Reset(&parameters), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);

    // Nothing was lost: the state, the binding and the picture.
    DWORD cull = 0;
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(cull, D3DCULL_NONE);
    IDirect3DBaseTexture8* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, texture);
    bound->Release();
    const std::vector<uint32_t> pixels = ReadHeadlessBackBuffer(device);
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(pixels[0] & 0xFFFFFF, 0x112233u);
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device->SetStreamSource(0, vb, 20);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    const std::vector<uint32_t> drawn = ReadHeadlessBackBuffer(device);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn[0] & 0xFFFFFF, 0x778899u);
    device->SetStreamSource(0, nullptr, 0);
    vb->Release();

    texture->Release();
    device->Release();
    DestroyWindow(window);
}

TEST(D3dDeviceLoss, WindowedDeviceIsNeverLostAndResetResizes)
{
    HeadlessDevice device(HeadlessDeviceOptions{32, 32});
    ASSERT_TRUE(device);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    ZoltSetWindowMinimized(HeadlessWindow(), true);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    ZoltSetWindowMinimized(HeadlessWindow(), false);

    D3DPRESENT_PARAMETERS parameters = WindowedParameters(20, 10);
    ASSERT_EQ(device->Reset(&parameters), D3D_OK);
    UINT width = 0;
    UINT height = 0;
    EXPECT_EQ(ReadHeadlessBackBuffer(device.get(), &width, &height).size(), 200u);
    EXPECT_EQ(width, 20u);
    D3DVIEWPORT8 viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 20u);
    EXPECT_EQ(viewport.Height, 10u);
    DWORD lighting = TRUE;
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, FALSE);
    // The depth buffer followed the new size: a full clear works.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
}

TEST(D3dDeviceLoss, DeviceWhoseWindowIsGoneCanBeReset)
{
    // A wait for the device to become resettable must end even when the
    // window is destroyed while minimised.
    HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    IDirect3D8* direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(direct3d, nullptr);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(16, 16);
    parameters.Windowed = FALSE;
    IDirect3DDevice8* device = nullptr;
    ASSERT_EQ(direct3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                     &device),
              D3D_OK);
    direct3d->Release();
    ZoltSetWindowMinimized(window, true);
    ASSERT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    DestroyWindow(window);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Reset(&parameters), D3D_OK);
    device->Release();
}
