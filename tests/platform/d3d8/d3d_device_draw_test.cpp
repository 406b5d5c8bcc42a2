// Drawing through the device, checked on read-back pixels: clearing, render
// targets, buffers and indices, merged user-pointer draws, texture formats.
#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/d3d8/back_buffer_readback.h"
#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/d3d8_present.h"
#include "platform/win32/window.h"
#include "tests/support/headless_device.h"

namespace {

struct ScreenColorVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};
constexpr DWORD kScreenColorFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

struct ScreenTexVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kScreenTexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class D3dDeviceDrawTest : public ::testing::Test {
protected:
    static constexpr UINT kSize = 32;

    void SetUp() override
    {
        ASSERT_TRUE(device);
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
    }

    // A screen rectangle covering pixels [x0, x1) x [y0, y1), as a fan of
    // corners clockwise on screen.
    void DrawRect(float x0, float y0, float x1, float y1, D3DCOLOR color, float z = 0.5f)
    {
        const ScreenColorVertex quad[4] = {{x0, y0, z, 1.0f, color},
                                           {x1, y0, z, 1.0f, color},
                                           {x1, y1, z, 1.0f, color},
                                           {x0, y1, z, 1.0f, color}};
        ASSERT_EQ(device->SetVertexShader(kScreenColorFvf), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(ScreenColorVertex)), D3D_OK);
    }

    void DrawTexturedRect(float x0, float y0, float x1, float y1, D3DCOLOR color)
    {
        const ScreenTexVertex quad[4] = {{x0, y0, 0.5f, 1.0f, color, 0.0f, 0.0f},
                                         {x1, y0, 0.5f, 1.0f, color, 1.0f, 0.0f},
                                         {x1, y1, 0.5f, 1.0f, color, 1.0f, 1.0f},
                                         {x0, y1, 0.5f, 1.0f, color, 0.0f, 1.0f}};
        ASSERT_EQ(device->SetVertexShader(kScreenTexFvf), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(ScreenTexVertex)), D3D_OK);
    }

    // The back buffer pixel's colour without alpha.
    uint32_t Rgb(int x, int y)
    {
        pixels = ReadHeadlessBackBuffer(device.get());
        if (pixels.size() != kSize * kSize) {
            ADD_FAILURE() << "read-back failed";
            return 0xDEADBEEF;
        }
        return pixels[static_cast<size_t>(y) * kSize + x] & 0xFFFFFF;
    }

    // Every pixel of [x0, x1) x [y0, y1) has the colour.
    ::testing::AssertionResult RectIs(int x0, int y0, int x1, int y1, uint32_t rgb)
    {
        pixels = ReadHeadlessBackBuffer(device.get());
        if (pixels.size() != kSize * kSize) {
            return ::testing::AssertionFailure() << "read-back failed";
        }
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                const uint32_t got = pixels[static_cast<size_t>(y) * kSize + x] & 0xFFFFFF;
                if (got != rgb) {
                    return ::testing::AssertionFailure()
                           << "(" << x << ", " << y << ") is " << std::hex << got << ", expected " << rgb;
                }
            }
        }
        return ::testing::AssertionSuccess();
    }

    IDirect3DTexture8* MakeTexture(UINT width, UINT height, D3DFORMAT format, const void* texels, UINT bytesPerTexel)
    {
        IDirect3DTexture8* texture = nullptr;
        if (device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture) != D3D_OK) {
            return nullptr;
        }
        D3DLOCKED_RECT locked{};
        if (texture->LockRect(0, &locked, nullptr, 0) != D3D_OK) {
            texture->Release();
            return nullptr;
        }
        for (UINT y = 0; y < height; ++y) {
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                        static_cast<const uint8_t*>(texels) + y * width * bytesPerTexel, width * bytesPerTexel);
        }
        texture->UnlockRect(0);
        return texture;
    }

    HeadlessDevice device{HeadlessDeviceOptions{kSize, kSize}};
    std::vector<uint32_t> pixels;
};

} // namespace

TEST_F(D3dDeviceDrawTest, ClearedFrameReadsBackEveryPixel)
{
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000044, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_TRUE(RectIs(0, 0, kSize, kSize, 0x000044));
    // The X8 back buffer's alpha reads as opaque.
    EXPECT_EQ(pixels[0] >> 24, 0xFFu);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL) << "no scene is open";
}

TEST_F(D3dDeviceDrawTest, ClearKeepsToTheViewportAndTheRectangles)
{
    D3DVIEWPORT8 viewport{8, 4, 16, 8, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF0000, 1.0f, 0), D3D_OK);
    EXPECT_TRUE(RectIs(8, 4, 24, 12, 0xFF0000));
    EXPECT_EQ(Rgb(7, 4), 0u);
    EXPECT_EQ(Rgb(8, 12), 0u);
    // A rectangle reaching outside the viewport is cut to it.
    const D3DRECT rect{20, 10, 30, 20};
    ASSERT_EQ(device->Clear(1, &rect, D3DCLEAR_TARGET, 0x0000FF00, 1.0f, 0), D3D_OK);
    EXPECT_TRUE(RectIs(20, 10, 24, 12, 0x00FF00));
    EXPECT_EQ(Rgb(24, 10), 0u);
    EXPECT_EQ(Rgb(20, 12), 0u);
    EXPECT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(D3dDeviceDrawTest, RenderTargetDrawnIntoAndShownStaysUpright)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture),
              D3D_OK);
    IDirect3DSurface8* depth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(16, 16, D3DFMT_D24X8, D3DMULTISAMPLE_NONE, &depth), D3D_OK);
    IDirect3DSurface8* level = nullptr;
    texture->GetSurfaceLevel(0, &level);
    IDirect3DSurface8* back = nullptr;
    IDirect3DSurface8* backDepth = nullptr;
    device->GetRenderTarget(&back);
    device->GetDepthStencilSurface(&backDepth);

    ASSERT_EQ(device->SetRenderTarget(level, depth), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x000000FF, 1.0f, 0), D3D_OK);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    DrawRect(0, 0, 16, 4, 0xFFFF0000);  // top rows red
    DrawRect(0, 12, 4, 16, 0xFF00FF00); // bottom-left corner green
    std::vector<uint32_t> target;
    UINT width = 0;
    UINT height = 0;
    ASSERT_TRUE(ZoltReadSurface(level, &target, &width, &height));
    ASSERT_EQ(width, 16u);
    EXPECT_EQ(target[0] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(target[5 * 16 + 8] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(target[15 * 16 + 0] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(target[15 * 16 + 15] & 0xFFFFFF, 0x0000FFu);

    // Shown through a screen quad with point sampling, one texel per pixel.
    ASSERT_EQ(device->SetRenderTarget(back, backDepth), D3D_OK);
    device->SetTexture(0, texture);
    DrawTexturedRect(0, 0, 16, 16, 0xFFFFFFFF);
    EXPECT_TRUE(RectIs(0, 0, 16, 4, 0xFF0000));
    EXPECT_TRUE(RectIs(0, 4, 16, 12, 0x0000FF));
    EXPECT_TRUE(RectIs(0, 12, 4, 16, 0x00FF00));
    EXPECT_TRUE(RectIs(4, 12, 16, 16, 0x0000FF));

    device->SetTexture(0, nullptr);
    level->Release();
    back->Release();
    backDepth->Release();
    depth->Release();
    texture->Release();
}

TEST_F(D3dDeviceDrawTest, IndexedDrawReadsFromTheBaseVertexIndexOn)
{
    const ScreenColorVertex vertices[8] = {
        {0, 0, 0.5f, 1, 0xFFFF0000},  {8, 0, 0.5f, 1, 0xFFFF0000},  {8, 8, 0.5f, 1, 0xFFFF0000},
        {0, 8, 0.5f, 1, 0xFFFF0000},  {16, 0, 0.5f, 1, 0xFF00FF00}, {24, 0, 0.5f, 1, 0xFF00FF00},
        {24, 8, 0.5f, 1, 0xFF00FF00}, {16, 8, 0.5f, 1, 0xFF00FF00},
    };
    const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof(vertices), D3DUSAGE_WRITEONLY, kScreenColorFvf, D3DPOOL_DEFAULT, &vb),
              D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(sizeof(indices), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib),
              D3D_OK);
    BYTE* data = nullptr;
    ASSERT_EQ(vb->Lock(0, sizeof(vertices), &data, 0), D3D_OK);
    std::memcpy(data, vertices, sizeof(vertices));
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    ASSERT_EQ(ib->Lock(0, sizeof(indices), &data, 0), D3D_OK);
    std::memcpy(data, indices, sizeof(indices));
    ASSERT_EQ(ib->Unlock(), D3D_OK);

    device->SetVertexShader(kScreenColorFvf);
    device->SetStreamSource(0, vb, sizeof(ScreenColorVertex));
    device->SetIndices(ib, 4);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    EXPECT_TRUE(RectIs(16, 0, 24, 8, 0x00FF00));
    EXPECT_TRUE(RectIs(0, 0, 8, 8, 0x000000));

    // Indices past the buffer's vertices, or past the index buffer, are
    // refused before anything is read.
    device->SetIndices(ib, 5);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    device->SetIndices(ib, 0);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 2), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    EXPECT_TRUE(RectIs(0, 0, 8, 8, 0xFF0000));

    // A rewritten buffer is drawn with its new contents.
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    reinterpret_cast<ScreenColorVertex*>(data)[0].color = 0xFF0000FF;
    reinterpret_cast<ScreenColorVertex*>(data)[1].color = 0xFF0000FF;
    reinterpret_cast<ScreenColorVertex*>(data)[2].color = 0xFF0000FF;
    reinterpret_cast<ScreenColorVertex*>(data)[3].color = 0xFF0000FF;
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    EXPECT_TRUE(RectIs(0, 0, 8, 8, 0x0000FF));

    device->SetStreamSource(0, nullptr, 0);
    device->SetIndices(nullptr, 0);
    vb->Release();
    ib->Release();
}

// Two 8 x 8 squares, each six vertices of a triangle list.
void WriteSquares(ScreenColorVertex* v, D3DCOLOR left, D3DCOLOR right)
{
    for (int square = 0; square < 2; ++square) {
        const float x0 = square == 0 ? 0.0f : 16.0f;
        const float x1 = x0 + 8.0f;
        const D3DCOLOR c = square == 0 ? left : right;
        const ScreenColorVertex corners[6] = {{x0, 0, 0.5f, 1, c}, {x1, 0, 0.5f, 1, c}, {x1, 8, 0.5f, 1, c},
                                              {x0, 0, 0.5f, 1, c}, {x1, 8, 0.5f, 1, c}, {x0, 8, 0.5f, 1, c}};
        std::memcpy(v + 6 * square, corners, sizeof corners);
    }
}

TEST_F(D3dDeviceDrawTest, VertexBufferRewrittenBetweenDrawsWholeOrInPartsDrawsEachContents)
{
    constexpr UINT kStride = sizeof(ScreenColorVertex);
    constexpr UINT kBytes = 12 * kStride;
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(kBytes, D3DUSAGE_WRITEONLY, kScreenColorFvf, D3DPOOL_DEFAULT, &vb), D3D_OK);
    device->SetVertexShader(kScreenColorFvf);
    device->SetStreamSource(0, vb, kStride);
    const auto draw = [&]() {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 4), D3D_OK);
    };
    BYTE* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    WriteSquares(reinterpret_cast<ScreenColorVertex*>(data), 0xFFFF0000, 0xFF00FF00);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    draw();
    EXPECT_TRUE(RectIs(0, 0, 8, 8, 0xFF0000));
    EXPECT_TRUE(RectIs(16, 0, 24, 8, 0x00FF00));

    // A lock of the right square alone: the left one keeps its contents.
    ASSERT_EQ(vb->Lock(6 * kStride, 6 * kStride, &data, 0), D3D_OK);
    for (int i = 0; i < 6; ++i)
        reinterpret_cast<ScreenColorVertex*>(data)[i].color = 0xFF0000FF;
    // Drawing from a locked buffer is refused.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 4), D3DERR_INVALIDCALL);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    draw();
    EXPECT_TRUE(RectIs(0, 0, 8, 8, 0xFF0000));
    EXPECT_TRUE(RectIs(16, 0, 24, 8, 0x0000FF));

    // Nested locks share one mapping; the buffer is drawable once the last
    // ends, and an unlock too many is refused.
    BYTE* whole = nullptr;
    BYTE* right = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &whole, 0), D3D_OK);
    ASSERT_EQ(vb->Lock(6 * kStride, 0, &right, 0), D3D_OK);
    EXPECT_EQ(right, whole + 6 * kStride);
    reinterpret_cast<ScreenColorVertex*>(whole)[0].color = 0xFFFFFF00; // one corner of the left square
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 4), D3DERR_INVALIDCALL);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);

    // A read-only lock finds every byte written so far.
    ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    ScreenColorVertex expected[12];
    WriteSquares(expected, 0xFFFF0000, 0xFF0000FF);
    expected[0].color = 0xFFFFFF00;
    EXPECT_EQ(std::memcmp(data, expected, kBytes), 0);
    ASSERT_EQ(vb->Unlock(), D3D_OK);

    // Rewritten whole with discard, several times within one scene.
    device->BeginScene();
    for (D3DCOLOR colour : {0xFF00FFFFu, 0xFFFF00FFu, 0xFFFFFFFFu}) {
        ASSERT_EQ(vb->Lock(0, kBytes, &data, D3DLOCK_DISCARD), D3D_OK);
        WriteSquares(reinterpret_cast<ScreenColorVertex*>(data), colour, colour);
        ASSERT_EQ(vb->Unlock(), D3D_OK);
        draw();
        EXPECT_TRUE(RectIs(0, 0, 8, 8, colour & 0xFFFFFF));
        EXPECT_TRUE(RectIs(16, 0, 24, 8, colour & 0xFFFFFF));
    }
    device->EndScene();

    device->SetStreamSource(0, nullptr, 0);
    vb->Release();
}

TEST_F(D3dDeviceDrawTest, BufferLocksCheckTheirRange)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(100, 0, 0, D3DPOOL_DEFAULT, &vb), D3D_OK);
    BYTE* data = nullptr;
    EXPECT_EQ(vb->Lock(90, 20, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(101, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    ASSERT_EQ(vb->Lock(40, 0, &data, 0), D3D_OK);
    data[59] = 7; // the last byte of the rest of the buffer
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    vb->Release();

    IDirect3DIndexBuffer8* ib = nullptr;
    EXPECT_EQ(device->CreateIndexBuffer(8, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &ib), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(0, 0, 0, D3DPOOL_DEFAULT, &vb), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb, nullptr);
}

TEST_F(D3dDeviceDrawTest, UserPointerDrawLeavesStreamZeroUnset)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, kScreenColorFvf, D3DPOOL_DEFAULT, &vb), D3D_OK);
    device->SetStreamSource(0, vb, sizeof(ScreenColorVertex));
    DrawRect(0, 0, 4, 4, 0xFFFFFFFF);
    IDirect3DVertexBuffer8* bound = vb;
    UINT stride = 1;
    device->GetStreamSource(0, &bound, &stride);
    EXPECT_EQ(bound, nullptr);
    EXPECT_EQ(vb->Release(), 0u);
}

TEST_F(D3dDeviceDrawTest, MergedDrawsKeepTheStateOfEachDraw)
{
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    DrawRect(0, 0, 16, 16, 0xFFFF0000);
    // Additive blending from here on: the blue quad adds to the red one.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    DrawRect(8, 8, 24, 24, 0xFF0000FF);
    // Setting a state to the value it has changes nothing either way.
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    DrawRect(20, 20, 28, 28, 0xFF00FF00);
    EXPECT_TRUE(RectIs(0, 0, 8, 8, 0xFF0000));
    EXPECT_TRUE(RectIs(8, 8, 16, 16, 0xFF00FF));
    EXPECT_TRUE(RectIs(16, 16, 20, 20, 0x0000FF));
    EXPECT_TRUE(RectIs(20, 20, 24, 24, 0x00FFFF));
    EXPECT_TRUE(RectIs(24, 24, 28, 28, 0x00FF00));
}

TEST_F(D3dDeviceDrawTest, ManySmallDrawsEachLandOnTheirPixel)
{
    device->SetVertexShader(kScreenColorFvf);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const D3DCOLOR color = 0xFF000000 | static_cast<D3DCOLOR>(x * 32) << 16 | static_cast<D3DCOLOR>(y * 32);
            const float x0 = x * 4.0f, y0 = y * 4.0f;
            const ScreenColorVertex tris[6] = {{x0, y0, 0.5f, 1, color},         {x0 + 4, y0, 0.5f, 1, color},
                                               {x0 + 4, y0 + 4, 0.5f, 1, color}, {x0, y0, 0.5f, 1, color},
                                               {x0 + 4, y0 + 4, 0.5f, 1, color}, {x0, y0 + 4, 0.5f, 1, color}};
            ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, tris, sizeof(ScreenColorVertex)), D3D_OK);
        }
    }
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const uint32_t rgb = static_cast<uint32_t>(x * 32) << 16 | static_cast<uint32_t>(y * 32);
            ASSERT_TRUE(RectIs(x * 4, y * 4, x * 4 + 4, y * 4 + 4, rgb));
        }
    }
}

TEST_F(D3dDeviceDrawTest, StripsAndFansCoverTheirQuadsAndFollowCulling)
{
    // Triangle strip of a quad: both triangles count as clockwise.
    const ScreenColorVertex strip[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF},
                                        {8, 0, 0.5f, 1, 0xFFFFFFFF},
                                        {0, 8, 0.5f, 1, 0xFFFFFFFF},
                                        {8, 8, 0.5f, 1, 0xFFFFFFFF}};
    device->SetVertexShader(kScreenColorFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(ScreenColorVertex)), D3D_OK);
    EXPECT_TRUE(RectIs(0, 0, 8, 8, 0xFFFFFF));

    // Clockwise on screen: drawn under the default counter-clockwise culling,
    // culled under clockwise culling; counter-clockwise the other way round.
    DrawRect(16, 0, 24, 8, 0xFFFF0000);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    DrawRect(16, 8, 24, 16, 0xFFFF0000);
    const ScreenColorVertex ccw[4] = {{24, 16, 0.5f, 1, 0xFF00FF00},
                                      {32, 16, 0.5f, 1, 0xFF00FF00},
                                      {32, 24, 0.5f, 1, 0xFF00FF00},
                                      {24, 24, 0.5f, 1, 0xFF00FF00}};
    const ScreenColorVertex reversed[4] = {ccw[0], ccw[3], ccw[2], ccw[1]};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, reversed, sizeof(ScreenColorVertex)), D3D_OK);
    EXPECT_TRUE(RectIs(16, 0, 24, 8, 0xFF0000));
    EXPECT_TRUE(RectIs(16, 8, 24, 16, 0x000000));
    EXPECT_TRUE(RectIs(24, 16, 32, 24, 0x00FF00));
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    const ScreenColorVertex blue[4] = {{24, 24, 0.5f, 1, 0xFF0000FF},
                                       {24, 32, 0.5f, 1, 0xFF0000FF},
                                       {32, 32, 0.5f, 1, 0xFF0000FF},
                                       {32, 24, 0.5f, 1, 0xFF0000FF}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, blue, sizeof(ScreenColorVertex)), D3D_OK);
    EXPECT_TRUE(RectIs(24, 24, 32, 32, 0x000000));
}

TEST_F(D3dDeviceDrawTest, DepthTestKeepsTheNearerSurface)
{
    DrawRect(0, 0, 16, 16, 0xFFFF0000, 0.25f);
    DrawRect(8, 8, 24, 24, 0xFF00FF00, 0.75f); // behind where they overlap
    EXPECT_TRUE(RectIs(8, 8, 16, 16, 0xFF0000));
    EXPECT_TRUE(RectIs(16, 16, 24, 24, 0x00FF00));
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    DrawRect(0, 24, 8, 32, 0xFF0000FF, 0.5f);
    DrawRect(0, 24, 8, 32, 0xFFFFFF00, 0.9f); // passes: nothing was written
    EXPECT_TRUE(RectIs(0, 24, 8, 32, 0xFFFF00));
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    DrawRect(8, 8, 16, 16, 0xFF00FFFF, 1.0f); // no test at all
    EXPECT_TRUE(RectIs(8, 8, 16, 16, 0x00FFFF));
}

TEST_F(D3dDeviceDrawTest, TextureFormatsSampleAsDirect3DDefinesThem)
{
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF0000, 1.0f, 0), D3D_OK);

    // Luminance: grey, opaque.
    const uint8_t grey[4] = {0x80, 0x80, 0x80, 0x80};
    IDirect3DTexture8* luminance = MakeTexture(2, 2, D3DFMT_L8, grey, 1);
    ASSERT_NE(luminance, nullptr);
    device->SetTexture(0, luminance);
    DrawTexturedRect(0, 0, 8, 8, 0xFFFFFFFF);
    EXPECT_TRUE(RectIs(0, 0, 8, 8, 0x808080));

    // X8R8G8B8 ignores the stored alpha byte: opaque.
    const uint32_t xrgb[4] = {0x0000FF00, 0x0000FF00, 0x0000FF00, 0x0000FF00};
    IDirect3DTexture8* opaque = MakeTexture(2, 2, D3DFMT_X8R8G8B8, xrgb, 4);
    ASSERT_NE(opaque, nullptr);
    device->SetTexture(0, opaque);
    DrawTexturedRect(8, 0, 16, 8, 0xFFFFFFFF);
    EXPECT_TRUE(RectIs(8, 0, 16, 8, 0x00FF00));

    // A8R8G8B8 with alpha 0: the background stays.
    IDirect3DTexture8* clear = MakeTexture(2, 2, D3DFMT_A8R8G8B8, xrgb, 4);
    ASSERT_NE(clear, nullptr);
    device->SetTexture(0, clear);
    DrawTexturedRect(16, 0, 24, 8, 0xFFFFFFFF);
    EXPECT_TRUE(RectIs(16, 0, 24, 8, 0xFF0000));

    device->SetTexture(0, nullptr);
    luminance->Release();
    opaque->Release();
    clear->Release();
}

TEST_F(D3dDeviceDrawTest, TextureLocksReadBackWhatWasWrittenAndCheckTheirArguments)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 2u);
    EXPECT_EQ(desc.Height, 1u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(texture->GetLevelDesc(4, &desc), D3DERR_INVALIDCALL);

    // A rectangle lock points at its first texel; the pitch is the level's.
    const RECT rect{2, 1, 5, 3};
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, &rect, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 32);
    static_cast<uint32_t*>(locked.pBits)[0] = 0x11223344;
    reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + locked.Pitch)[2] = 0x55667788;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "already locked";
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);

    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* texels = static_cast<const uint32_t*>(locked.pBits);
    EXPECT_EQ(texels[1 * 8 + 2], 0x11223344u);
    EXPECT_EQ(texels[2 * 8 + 4], 0x55667788u);
    EXPECT_EQ(texels[0], 0u);
    texture->UnlockRect(0);

    const RECT outside{6, 0, 9, 1};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    texture->Release();

    EXPECT_EQ(device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(4, 4, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3DERR_INVALIDCALL)
        << "more levels than the chain has";
    EXPECT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3DERR_INVALIDCALL)
        << "render targets live in the default pool";
}

TEST(D3dDeviceDepthFormats, SixteenBitDepthBufferWorks)
{
    HeadlessDeviceOptions options{16, 16};
    options.depthFormat = D3DFMT_D16;
    HeadlessDevice device(options);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL) << "no stencil bits";
    const ScreenColorVertex near[3] = {{0, 0, 0.2f, 1, 0xFFFF0000}, {16, 0, 0.2f, 1, 0xFFFF0000},
                                       {0, 16, 0.2f, 1, 0xFFFF0000}};
    const ScreenColorVertex far[3] = {{0, 0, 0.8f, 1, 0xFF00FF00}, {16, 0, 0.8f, 1, 0xFF00FF00},
                                      {0, 16, 0.8f, 1, 0xFF00FF00}};
    device->SetVertexShader(kScreenColorFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, near, sizeof(ScreenColorVertex));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, far, sizeof(ScreenColorVertex));
    const std::vector<uint32_t> pixels = ReadHeadlessBackBuffer(device.get());
    ASSERT_EQ(pixels.size(), 256u);
    EXPECT_EQ(pixels[1 * 16 + 1] & 0xFFFFFF, 0xFF0000u);
}

TEST(D3dPresent, BackBufferFillsTheWindowWithItsAspectKept)
{
    using zolt_d3d::FitPreservingAspect;
    zolt_d3d::PixelRect r = FitPreservingAspect(640, 480, 1920, 1080); // wide screen: bars left and right
    EXPECT_EQ(r.x0, 240);
    EXPECT_EQ(r.x1, 1680);
    EXPECT_EQ(r.y0, 0);
    EXPECT_EQ(r.y1, 1080);
    r = FitPreservingAspect(640, 480, 1280, 1024); // 5:4: bars above and below
    EXPECT_EQ(r.x0, 0);
    EXPECT_EQ(r.y0, 32);
    EXPECT_EQ(r.y1, 992);
    r = FitPreservingAspect(640, 480, 640, 480);
    EXPECT_EQ(r.x1 - r.x0, 640);
    EXPECT_EQ(r.y1 - r.y0, 480);
    r = FitPreservingAspect(640, 480, 0, 480);
    EXPECT_EQ(r.x1, r.x0);
}

namespace {

// A back buffer the size of the window, shown one to one; the window's
// size is returned too.
HeadlessDeviceOptions WindowSized(int* width, int* height)
{
    SDL_GL_GetDrawableSize(ZoltSdlWindow(HeadlessWindow()), width, height);
    return HeadlessDeviceOptions{static_cast<UINT>(*width), static_cast<UINT>(*height)};
}

} // namespace

TEST(D3dPresent, WindowShowsTheBackBufferUpright)
{
    int windowWidth = 0;
    int windowHeight = 0;
    HeadlessDevice device(WindowSized(&windowWidth, &windowHeight));
    ASSERT_GT(windowWidth, 8);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x000000FF, 1.0f, 0), D3D_OK);
    const D3DRECT top{0, 0, windowWidth, 4};
    ASSERT_EQ(device->Clear(1, &top, D3DCLEAR_TARGET, 0x00FF0000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    // The window's framebuffer has OpenGL's rows, bottom-up.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    uint32_t topRow = 0;
    uint32_t bottomRow = 0;
    glReadPixels(1, windowHeight - 1, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &topRow);
    glReadPixels(1, 0, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &bottomRow);
    if ((topRow & 0xFFFFFF) == 0 && (bottomRow & 0xFFFFFF) == 0) {
        GTEST_SKIP() << "this window system keeps no readable picture after a swap";
    }
    EXPECT_EQ(topRow & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(bottomRow & 0xFFFFFF, 0x0000FFu);
}

TEST(D3dPresent, WithoutPresentingToTheWindowOnlyTheBackBufferHoldsTheFrame)
{
    int windowWidth = 0;
    int windowHeight = 0;
    HeadlessDevice device(WindowSized(&windowWidth, &windowHeight));
    ASSERT_GT(windowWidth, 8);
    ASSERT_TRUE(device);
    // Read behind the device's back, its read binding put back after.
    const auto windowPixel = [&]() {
        GLint bound = 0;
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &bound);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        uint32_t pixel = 0;
        glReadPixels(1, 1, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &pixel);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(bound));
        return pixel & 0xFFFFFFu;
    };
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF0000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    if (windowPixel() != 0xFF0000u) {
        GTEST_SKIP() << "this window system keeps no readable picture after a swap";
    }

    ZoltSetPresentToWindow(device.get(), false);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x000000FF, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(windowPixel(), 0xFF0000u);
    const std::vector<uint32_t> back = ReadHeadlessBackBuffer(device.get());
    ASSERT_FALSE(back.empty());
    EXPECT_EQ(back[0] & 0xFFFFFFu, 0x0000FFu);

    ZoltSetPresentToWindow(device.get(), true);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(windowPixel(), 0x0000FFu);
    ZoltSetPresentToWindow(nullptr, false);  // ignored
}
