#include "tests/platform/d3d8/ffp_test_support.h"

#include "platform/d3d8/back_buffer_readback.h"
#include "tests/support/headless_device.h"
#include "tests/support/png_writer.h"

namespace ffp {

using d3dref::ScreenVertex;

void RhwQuad(RhwVertex out[4], float x0, float y0, float x1, float y1, float z, D3DCOLOR color, float u0, float v0,
             float u1, float v1) {
    out[0] = {x0, y0, z, 1.0f, color, u0, v0};
    out[1] = {x1, y0, z, 1.0f, color, u1, v0};
    out[2] = {x1, y1, z, 1.0f, color, u1, v1};
    out[3] = {x0, y1, z, 1.0f, color, u0, v1};
}

// ---- ReferenceCanvas -----------------------------------------------------------

ReferenceCanvas::ReferenceCanvas(int width, int height, D3DCOLOR clear)
    : image(width, height, clear), care(static_cast<size_t>(width) * height, 1) {}

void ReferenceCanvas::Fill(int x0, int y0, int x1, int y1, D3DCOLOR color) {
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) image.Set(x, y, color);
    }
}

void ReferenceCanvas::Plot(int x, int y, D3DCOLOR color) {
    if (x >= 0 && y >= 0 && x < image.width && y < image.height) image.Set(x, y, color);
}

void ReferenceCanvas::Ignore(int x, int y) {
    if (x >= 0 && y >= 0 && x < image.width && y < image.height) care[Index(x, y)] = 0;
}

bool ReferenceCanvas::CoverageIsSettled(const ScreenVertex tri[3], int x, int y, bool covered) {
    const double d = 1.0 / 32.0;
    const double offsets[4][2] = {{-d, -d}, {d, -d}, {-d, d}, {d, d}};
    for (const auto& o : offsets) {
        if (d3dref::TriangleCoversPoint(tri, x + o[0], y + o[1]) != covered) return false;
    }
    return true;
}

// ---- Fixture -----------------------------------------------------------------

std::string CurrentTestName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? std::string(info->test_suite_name()) + "." + info->name() : std::string("unnamed");
}

void FfpImageTest::SetUp() {
    device = AcquireHeadlessDevice();
    ASSERT_NE(device, nullptr) << "no headless device";
    UseViewport(0, 0, kSize, kSize);
}

void FfpImageTest::TearDown() {
    for (IDirect3DTexture8* texture : textures_) {
        if (device) {
            for (DWORD stage = 0; stage < 8; ++stage) device->SetTexture(stage, nullptr);
        }
        texture->Release();
    }
    textures_.clear();
    ReleaseHeadlessDevice(device);
    device = nullptr;
}

void FfpImageTest::UseViewport(int x, int y, int width, int height) {
    viewport = {static_cast<DWORD>(x), static_cast<DWORD>(y), static_cast<DWORD>(width), static_cast<DWORD>(height),
                0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ClearViewport();
}

void FfpImageTest::ClearViewport(D3DCOLOR color) {
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0), D3D_OK);
}

PixelImage FfpImageTest::Capture(const std::string& suffix) {
    std::vector<uint32_t> pixels;
    UINT width = 0;
    UINT height = 0;
    PixelImage out(static_cast<int>(viewport.Width), static_cast<int>(viewport.Height), 0);
    if (!ZoltReadBackBuffer(device, &pixels, &width, &height) || viewport.X + viewport.Width > width ||
        viewport.Y + viewport.Height > height) {
        ADD_FAILURE() << "cannot read the back buffer";
        return out;
    }
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            out.Set(x, y, pixels[static_cast<size_t>(y + viewport.Y) * width + x + viewport.X]);
        }
    }
    lastCapture_ = CurrentTestName() + (suffix.empty() ? "" : "-" + suffix);
    EXPECT_TRUE(WritePngArgb(TestOutputPath(lastCapture_), out.width, out.height, out.pixels));
    return out;
}

PixelImage FfpImageTest::CaptureSurface(IDirect3DSurface8* surface, const std::string& suffix) {
    PixelImage out;
    UINT width = 0;
    UINT height = 0;
    if (!ZoltReadSurface(surface, &out.pixels, &width, &height)) {
        ADD_FAILURE() << "cannot read the surface";
        return out;
    }
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    lastCapture_ = CurrentTestName() + "-" + suffix;
    EXPECT_TRUE(WritePngArgb(TestOutputPath(lastCapture_), out.width, out.height, out.pixels));
    return out;
}

::testing::AssertionResult FfpImageTest::Matches(const PixelImage& actual, const ReferenceCanvas& expected,
                                                 int tolerance) {
    ::testing::AssertionResult result = ImageNear(actual, expected.image, tolerance, &expected.care);
    if (!result && !lastCapture_.empty()) {
        WritePngArgb(TestOutputPath(lastCapture_ + "-expected"), expected.image.width, expected.image.height,
                     expected.image.pixels);
    }
    return result;
}

IDirect3DTexture8* FfpImageTest::MakeTexture(const d3dref::TextureImage& image) {
    IDirect3DTexture8* texture = nullptr;
    if (device->CreateTexture(static_cast<UINT>(image.width), static_cast<UINT>(image.height), 1, 0,
                              D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture) != D3D_OK ||
        !texture) {
        ADD_FAILURE() << "CreateTexture failed";
        return nullptr;
    }
    textures_.push_back(texture);
    D3DLOCKED_RECT locked{};
    if (texture->LockRect(0, &locked, nullptr, 0) != D3D_OK || !locked.pBits) {
        ADD_FAILURE() << "LockRect failed";
        return texture;
    }
    for (int y = 0; y < image.height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < image.width; ++x) row[x] = image.At(x, y);
    }
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    return texture;
}

void FfpImageTest::DrawUp(D3DPRIMITIVETYPE type, UINT primitives, const void* vertices, UINT stride) {
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(type, primitives, vertices, stride), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
}

void FfpImageTest::SetIdentityTransforms() {
    const D3DMATRIX identity = d3dref::MatrixIdentity();
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &identity);
}

} // namespace ffp
