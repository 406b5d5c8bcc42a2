// Set and Get of the device's state: what is set reads back, bad arguments
// are refused and leave the state alone.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/d3d8/d3d8.h"
#include "tests/support/headless_device.h"

namespace {

D3DMATRIX Translation(float x, float y, float z)
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof(m));
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

class D3dDeviceStateTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(device); }
    HeadlessDevice device{HeadlessDeviceOptions{32, 32}};
};

} // namespace

TEST_F(D3dDeviceStateTest, RenderAndStageStatesReadBackWhatWasSet)
{
    ASSERT_EQ(device->SetRenderState(D3DRS_AMBIENT, 0x00406080), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME), D3D_OK);
    DWORD value = 0;
    device->GetRenderState(D3DRS_AMBIENT, &value);
    EXPECT_EQ(value, 0x00406080u);
    device->GetRenderState(D3DRS_FILLMODE, &value);
    EXPECT_EQ(value, D3DFILL_WIREFRAME);
    EXPECT_EQ(device->SetRenderState(256, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderState(D3DRS_AMBIENT, nullptr), D3DERR_INVALIDCALL);

    ASSERT_EQ(device->SetTextureStageState(3, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL), D3D_OK);
    device->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &value);
    EXPECT_EQ(value, D3DTSS_TCI_CAMERASPACENORMAL);
    EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_ADD), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTextureStageState(0, 32, 0), D3DERR_INVALIDCALL);
}

TEST_F(D3dDeviceStateTest, TransformsReadBackAndMultiplyAppliesTheGivenMatrixFirst)
{
    const D3DMATRIX move = Translation(1.0f, 2.0f, 3.0f);
    ASSERT_EQ(device->SetTransform(D3DTS_VIEW, &move), D3D_OK);
    ASSERT_EQ(device->SetTransform(D3DTS_TEXTURE5, &move), D3D_OK);
    ASSERT_EQ(device->SetTransform(D3DTS_WORLDMATRIX(2), &move), D3D_OK);
    D3DMATRIX read{};
    device->GetTransform(D3DTS_TEXTURE5, &read);
    EXPECT_EQ(std::memcmp(&read, &move, sizeof(read)), 0);
    device->GetTransform(D3DTS_WORLDMATRIX(2), &read);
    EXPECT_EQ(read._42, 2.0f);
    EXPECT_EQ(device->SetTransform(1, &move), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);

    // world = translation, then the scale already set: the translation is
    // scaled.
    D3DMATRIX scale;
    std::memset(&scale, 0, sizeof(scale));
    scale._11 = scale._22 = scale._33 = 2.0f;
    scale._44 = 1.0f;
    device->SetTransform(D3DTS_WORLD, &scale);
    ASSERT_EQ(device->MultiplyTransform(D3DTS_WORLD, &move), D3D_OK);
    device->GetTransform(D3DTS_WORLD, &read);
    EXPECT_EQ(read._11, 2.0f);
    EXPECT_EQ(read._41, 2.0f);
    EXPECT_EQ(read._43, 6.0f);
}

TEST_F(D3dDeviceStateTest, MaterialAndLights)
{
    D3DMATERIAL8 material{};
    material.Diffuse = {0.25f, 0.5f, 0.75f, 1.0f};
    material.Power = 12.0f;
    ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
    D3DMATERIAL8 read{};
    device->GetMaterial(&read);
    EXPECT_EQ(std::memcmp(&read, &material, sizeof(read)), 0);

    D3DLIGHT8 light{};
    EXPECT_EQ(device->GetLight(4, &light), D3DERR_INVALIDCALL);
    BOOL enabled = TRUE;
    EXPECT_EQ(device->GetLightEnable(4, &enabled), D3DERR_INVALIDCALL);

    light.Type = D3DLIGHT_SPOT;
    light.Range = 200.0f;
    light.Theta = 0.5f;
    light.Phi = 0.8f;
    ASSERT_EQ(device->SetLight(4, &light), D3D_OK);
    D3DLIGHT8 back{};
    ASSERT_EQ(device->GetLight(4, &back), D3D_OK);
    EXPECT_EQ(back.Range, 200.0f);
    ASSERT_EQ(device->GetLightEnable(4, &enabled), D3D_OK);
    EXPECT_EQ(enabled, FALSE);
    ASSERT_EQ(device->LightEnable(4, TRUE), D3D_OK);
    device->GetLightEnable(4, &enabled);
    EXPECT_NE(enabled, FALSE);

    // Enabling a light never set makes the default: a white directional
    // light along +z.
    ASSERT_EQ(device->LightEnable(9, TRUE), D3D_OK);
    ASSERT_EQ(device->GetLight(9, &back), D3D_OK);
    EXPECT_EQ(back.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(back.Diffuse.r, 1.0f);
    EXPECT_EQ(back.Direction.z, 1.0f);

    light.Type = 7;
    EXPECT_EQ(device->SetLight(4, &light), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetLight(4, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(D3dDeviceStateTest, ViewportMustLieInsideTheRenderTarget)
{
    D3DVIEWPORT8 viewport{4, 8, 16, 8, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    D3DVIEWPORT8 read{};
    device->GetViewport(&read);
    EXPECT_EQ(read.Y, 8u);
    EXPECT_EQ(read.Width, 16u);
    D3DVIEWPORT8 outside{20, 0, 16, 8, 0.0f, 1.0f};
    EXPECT_EQ(device->SetViewport(&outside), D3DERR_INVALIDCALL);
    D3DVIEWPORT8 badDepth{0, 0, 8, 8, 0.5f, 0.25f};
    EXPECT_EQ(device->SetViewport(&badDepth), D3DERR_INVALIDCALL);
    device->GetViewport(&read);
    EXPECT_EQ(read.X, 4u);
}

TEST_F(D3dDeviceStateTest, RenderTargetSwitchMovesTheViewportAndChecksItsArguments)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture),
              D3D_OK);
    IDirect3DSurface8* depth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(16, 8, D3DFMT_D24X8, D3DMULTISAMPLE_NONE, &depth), D3D_OK);
    IDirect3DSurface8* level = nullptr;
    texture->GetSurfaceLevel(0, &level);
    IDirect3DSurface8* back = nullptr;
    IDirect3DSurface8* backDepth = nullptr;
    device->GetRenderTarget(&back);
    device->GetDepthStencilSurface(&backDepth);

    ASSERT_EQ(device->SetRenderTarget(level, depth), D3D_OK);
    D3DVIEWPORT8 viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 16u);
    EXPECT_EQ(viewport.Height, 8u);
    IDirect3DSurface8* current = nullptr;
    device->GetRenderTarget(&current);
    EXPECT_EQ(current, level);
    current->Release();

    ASSERT_EQ(device->SetRenderTarget(back, backDepth), D3D_OK);
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 32u);

    // A depth surface smaller than the target, a plain texture's level, and
    // a depth surface as colour target are refused.
    EXPECT_EQ(device->SetRenderTarget(back, depth), D3DERR_INVALIDCALL);
    IDirect3DTexture8* plain = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &plain), D3D_OK);
    IDirect3DSurface8* plainLevel = nullptr;
    plain->GetSurfaceLevel(0, &plainLevel);
    EXPECT_EQ(device->SetRenderTarget(plainLevel, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(depth, nullptr), D3DERR_INVALIDCALL);
    device->GetRenderTarget(&current);
    EXPECT_EQ(current, back);
    current->Release();

    plainLevel->Release();
    plain->Release();
    level->Release();
    back->Release();
    backDepth->Release();
    depth->Release();
    texture->Release();
}

TEST_F(D3dDeviceStateTest, VertexShaderAcceptsFlexibleFormatsOnly)
{
    ASSERT_EQ(device->SetVertexShader(0x152), D3D_OK);
    EXPECT_EQ(device->SetVertexShader(0x153), D3DERR_INVALIDCALL); // a shader handle
    EXPECT_EQ(device->SetVertexShader(D3DFVF_DIFFUSE), D3DERR_INVALIDCALL);
    DWORD fvf = 0;
    device->GetVertexShader(&fvf);
    EXPECT_EQ(fvf, 0x152u);
}

TEST_F(D3dDeviceStateTest, BindingsReadBackWithAReference)
{
    IDirect3DVertexBuffer8* vertices = nullptr;
    IDirect3DIndexBuffer8* indices = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(360, D3DUSAGE_WRITEONLY, 0x152, D3DPOOL_DEFAULT, &vertices), D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &indices), D3D_OK);
    device->SetStreamSource(0, vertices, 36);
    device->SetIndices(indices, 5);
    IDirect3DVertexBuffer8* readVertices = nullptr;
    UINT stride = 0;
    ASSERT_EQ(device->GetStreamSource(0, &readVertices, &stride), D3D_OK);
    EXPECT_EQ(readVertices, vertices);
    EXPECT_EQ(stride, 36u);
    IDirect3DIndexBuffer8* readIndices = nullptr;
    UINT base = 0;
    ASSERT_EQ(device->GetIndices(&readIndices, &base), D3D_OK);
    EXPECT_EQ(readIndices, indices);
    EXPECT_EQ(base, 5u);
    // Ours, the device's binding and the getter's.
    EXPECT_EQ(readVertices->Release(), 2u);
    EXPECT_EQ(readIndices->Release(), 2u);
    D3DVERTEXBUFFER_DESC desc{};
    vertices->GetDesc(&desc);
    EXPECT_EQ(desc.Size, 360u);
    EXPECT_EQ(desc.FVF, 0x152u);
    device->SetStreamSource(0, nullptr, 0);
    device->SetIndices(nullptr, 0);
    EXPECT_EQ(vertices->Release(), 0u);
    EXPECT_EQ(indices->Release(), 0u);
}
