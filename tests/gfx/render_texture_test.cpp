#include "gfx/render_texture.h"

#include <gtest/gtest.h>

#include "tests/support/box_capture.h"
#include "tests/support/png_writer.h"
#include "tests/support/show_device.h"

namespace {

class RenderTextureTest : public ShowDeviceTest {
protected:
    void SetUp() override
    {
        ShowDeviceTest::SetUp();
        if (HasFatalFailure())
            return;
        device = s_device->Device();
        // States the show's frame has at this point.
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    }
    void TearDown() override
    {
        if (device)
            device->SetTexture(0, nullptr);
    }

    std::vector<uint32_t> ReadBack()
    {
        std::vector<uint32_t> pixels = s_device->ReadBack();
        EXPECT_EQ(s_device->width, 640u);
        EXPECT_EQ(s_device->height, 480u);
        return pixels;
    }

    // Fills the target with one colour, draws the back buffer in another and
    // lays the target over it with the given opacity.
    std::vector<uint32_t> Crossfade(RenderTexture* target, D3DCOLOR incoming, D3DCOLOR active, float amount)
    {
        target->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, incoming, 1.0f, 0);
        target->EndScene();
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, active, 1.0f, 0);
        RenderTexture::DrawFade(device, target->GetTexture(), amount);
        device->EndScene();
        return ReadBack();
    }

    IDirect3DDevice8* device = nullptr;
};

int CountDifferent(const std::vector<uint32_t>& pixels, uint32_t expected, int tolerance)
{
    int count = 0;
    for (uint32_t p : pixels) {
        for (int shift : {0, 8, 16}) {
            if (std::abs(int(p >> shift & 0xFF) - int(expected >> shift & 0xFF)) > tolerance) {
                ++count;
                break;
            }
        }
    }
    return count;
}

TEST_F(RenderTextureTest, CrossfadeBlendsTheTargetOverTheWholeBackBuffer)
{
    RenderTexture target(device);
    BoxCapture boxes;
    ASSERT_EQ(target.Create(512, 512), 0);
    ASSERT_NE(target.GetTexture(), nullptr);

    // Opacity byte trunc(0.5 * 255) = 127: red 255 * 127 / 255, blue
    // 255 * 128 / 255.
    std::vector<uint32_t> half = Crossfade(&target, 0x00FF0000u, 0x000000FFu, 0.5f);
    WritePngArgb(TestOutputPath("RenderTextureTest.HalfCrossfade"), 640, 480, half);
    EXPECT_EQ(CountDifferent(half, 0x007F0080u, 1), 0) << std::hex << half[0];

    std::vector<uint32_t> full = Crossfade(&target, 0x0000FF00u, 0x000000FFu, 1.0f);
    EXPECT_EQ(CountDifferent(full, 0x0000FF00u, 0), 0) << std::hex << full[0];

    // Outside (0, 1] nothing is drawn: the back buffer keeps its colour.
    for (float amount : {0.0f, -0.5f, 1.0001f}) {
        std::vector<uint32_t> none = Crossfade(&target, 0x00FF0000u, 0x00123456u, amount);
        EXPECT_EQ(CountDifferent(none, 0x00123456u, 0), 0) << "amount " << amount;
    }
    EXPECT_TRUE(boxes.boxes.empty());

    // The fade leaves depth testing and writing on and blending off.
    DWORD value = 0;
    device->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, DWORD(TRUE));
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, DWORD(FALSE));
}

TEST_F(RenderTextureTest, EndSceneReturnsDrawingToTheBackBuffer)
{
    RenderTexture target(device);
    ASSERT_EQ(target.Create(512, 512), 0);
    target.BeginScene();
    D3DVIEWPORT8 viewport = {};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 512u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FFFFFFu, 1.0f, 0);
    target.EndScene();
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 640u);
    EXPECT_EQ(viewport.Height, 480u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000044u, 1.0f, 0);
    EXPECT_EQ(CountDifferent(ReadBack(), 0x00000044u, 0), 0);
}

// The bounding box of the pixels that are not black.
struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
};

Box LitPixels(const std::vector<uint32_t>& pixels, int width)
{
    Box box;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if ((pixels[i] & 0x00FFFFFFu) == 0)
            continue;
        int x = int(i % size_t(width)), y = int(i / size_t(width));
        box.x0 = std::min(box.x0, x);
        box.y0 = std::min(box.y0, y);
        box.x1 = std::max(box.x1, x);
        box.y1 = std::max(box.y1, y);
    }
    return box;
}

TEST_F(RenderTextureTest, OverlayCoversItsFractionOfTheViewport)
{
    // No texture bound: the quad shows its own white, opaque at alpha 255.
    struct Case {
        float x, y, w, h;
        Box expected; // pixel centres at whole coordinates, top-left fill rule
    } cases[] = {
        {0.0f, 0.0f, 0.4f, 0.1f, {192, 216, 447, 263}},   // x 192..448, y 216..264
        {0.0f, -0.33f, 0.6f, 0.1f, {128, 375, 511, 422}}, // x 128..512, y 374.4..422.4
    };
    for (const Case& c : cases) {
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        RenderTexture::DrawOverlay(device, nullptr, c.x, c.y, c.w, c.h, 0x1FF); // low byte 255
        device->EndScene();
        std::vector<uint32_t> pixels = ReadBack();
        WritePngArgb(TestOutputPath(c.y == 0.0f ? "RenderTextureTest.LogoOverlay" : "RenderTextureTest.CaptionOverlay"),
                     640, 480, pixels);
        Box box = LitPixels(pixels, 640);
        EXPECT_EQ(box.x0, c.expected.x0);
        EXPECT_EQ(box.y0, c.expected.y0);
        EXPECT_EQ(box.x1, c.expected.x1);
        EXPECT_EQ(box.y1, c.expected.y1);
        EXPECT_EQ(pixels[size_t(box.y0) * 640 + size_t(box.x0)] & 0x00FFFFFFu, 0x00FFFFFFu);
    }
}

TEST_F(RenderTextureTest, OverlayBlendsWithTheFactorsInForce)
{
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    RenderTexture::DrawOverlay(device, nullptr, 0.0f, 0.0f, 1.0f, 1.0f, 63);
    device->EndScene();
    std::vector<uint32_t> pixels = ReadBack();
    EXPECT_EQ(CountDifferent(pixels, 0x003F3F3Fu, 1), 0) << std::hex << pixels[0];
}

} // namespace
