// Rendering into a texture as the crossfade does: the picture in the target
// has its first row at the top, the viewport follows the target, culling and
// depth work there as on the back buffer, and the texture drawn back onto
// the screen (plainly and with the crossfade's states) appears upright.
#include "tests/platform/d3d8/ffp_test_support.h"

using namespace d3dref;
using namespace ffp;

namespace {

class FfpRenderTargetTest : public FfpImageTest {
protected:
    void SetUp() override {
        FfpImageTest::SetUp();
        if (HasFatalFailure()) return;
        SetIdentityTransforms();
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
    }

    void TearDown() override {
        if (device) {
            device->SetTexture(0, nullptr);
            if (savedTarget) device->SetRenderTarget(savedTarget, savedDepth);
        }
        for (IUnknown* object : {static_cast<IUnknown*>(surface), static_cast<IUnknown*>(depth),
                                 static_cast<IUnknown*>(target), static_cast<IUnknown*>(savedTarget),
                                 static_cast<IUnknown*>(savedDepth)}) {
            if (object) object->Release();
        }
        FfpImageTest::TearDown();
    }

    // The crossfade's target: an X8R8G8B8 render-target texture with its own
    // depth buffer, and the back buffer's surfaces kept to switch back.
    void CreateTarget() {
        ASSERT_EQ(device->CreateTexture(kSize, kSize, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                        &target),
                  D3D_OK);
        ASSERT_EQ(device->CreateDepthStencilSurface(kSize, kSize, D3DFMT_D24X8, 0, &depth), D3D_OK);
        ASSERT_EQ(target->GetSurfaceLevel(0, &surface), D3D_OK);
        ASSERT_EQ(device->GetRenderTarget(&savedTarget), D3D_OK);
        ASSERT_EQ(device->GetDepthStencilSurface(&savedDepth), D3D_OK);
    }

    IDirect3DTexture8* target = nullptr;
    IDirect3DSurface8* surface = nullptr;
    IDirect3DSurface8* depth = nullptr;
    IDirect3DSurface8* savedTarget = nullptr;
    IDirect3DSurface8* savedDepth = nullptr;
};

} // namespace

TEST_F(FfpRenderTargetTest, RenderToTextureIsUpright) {
    CreateTarget();
    ASSERT_FALSE(HasFatalFailure());

    ASSERT_EQ(device->SetRenderTarget(surface, depth), D3D_OK);
    D3DVIEWPORT8 inTarget{};
    ASSERT_EQ(device->GetViewport(&inTarget), D3D_OK);
    EXPECT_EQ(inTarget.X, 0u);
    EXPECT_EQ(inTarget.Y, 0u);
    EXPECT_EQ(inTarget.Width, static_cast<DWORD>(kSize));
    EXPECT_EQ(inTarget.Height, static_cast<DWORD>(kSize));
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);

    // A red band along the top rows, a blue quad partly behind it (depth), and
    // a green triangle in the upper right given clockwise under the default
    // culling, through the transforms (clip y > 0 is the top).
    RhwVertex red[4], blue[4];
    RhwQuad(red, 0, 0, 16, 8, 0.3f, 0xFFFF0000);
    RhwQuad(blue, 8, 4, 24, 16, 0.6f, 0xFF0000FF);
    const XyzColorVertex green[3] = {{0.25f, 0.875f, 0.5f, 0xFF00FF00},
                                     {0.875f, 0.875f, 0.5f, 0xFF00FF00},
                                     {0.875f, 0.125f, 0.5f, 0xFF00FF00}};
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    device->SetVertexShader(kRhwFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, red, sizeof(RhwVertex));
    device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, blue, sizeof(RhwVertex));
    device->SetVertexShader(kXyzColorFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, green, sizeof(XyzColorVertex));
    ASSERT_EQ(device->EndScene(), D3D_OK);

    ReferenceCanvas drawn(kSize, kSize, 0xFF000000);
    drawn.Fill(8, 4, 24, 16, 0xFF0000FF);
    drawn.Fill(0, 0, 16, 8, 0xFFFF0000);
    const ScreenVertex tri[3] = {ClipToScreen({0.25f, 0.875f, 0.5f, 1.0f}, inTarget),
                                 ClipToScreen({0.875f, 0.875f, 0.5f, 1.0f}, inTarget),
                                 ClipToScreen({0.875f, 0.125f, 0.5f, 1.0f}, inTarget)};
    drawn.FillTriangle(tri, ReferenceCanvas::Edges::Exact, [](const Vec3&, int, int, D3DCOLOR) { return 0xFF00FF00u; });
    const PixelImage inside = CaptureSurface(surface, "target");
    EXPECT_TRUE(Matches(inside, drawn, 0));

    // Back on the back buffer the viewport is the whole back buffer again.
    ASSERT_EQ(device->SetRenderTarget(savedTarget, savedDepth), D3D_OK);
    D3DSURFACE_DESC backDesc{};
    ASSERT_EQ(savedTarget->GetDesc(&backDesc), D3D_OK);
    D3DVIEWPORT8 back{};
    ASSERT_EQ(device->GetViewport(&back), D3D_OK);
    EXPECT_EQ(back.Width, backDesc.Width);
    EXPECT_EQ(back.Height, backDesc.Height);

    // The texture laid texel for texel over the viewport shows the same picture.
    UseViewport(0, 0, kSize, kSize);
    device->SetTexture(0, target);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    RhwVertex screen[4];
    RhwQuad(screen, 0, 0, 32, 32, 0.5f, 0xFFFFFFFF);
    device->SetVertexShader(kRhwFvf);
    DrawUp(D3DPT_TRIANGLEFAN, 2, screen, sizeof(RhwVertex));
    EXPECT_TRUE(Matches(Capture("shown"), drawn, 0));
}

TEST_F(FfpRenderTargetTest, CrossfadeBlendsTheTargetOverTheScreen) {
    // The crossfade's states at opacity 0.5: the texture (alpha 1, as
    // X8R8G8B8 reads) times white with alpha 127, blended by source alpha
    // over the back buffer, linearly filtered as the demo manager sets it.
    CreateTarget();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(device->SetRenderTarget(surface, depth), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF00C000, 1.0f, 0), D3D_OK);
    RhwVertex band[4];
    RhwQuad(band, 0, 12, 32, 20, 0.5f, 0xFFFF8000);
    device->SetVertexShader(kRhwFvf);
    DrawUp(D3DPT_TRIANGLEFAN, 2, band, sizeof(RhwVertex));
    const PixelImage inside = CaptureSurface(surface, "target");
    ASSERT_EQ(device->SetRenderTarget(savedTarget, savedDepth), D3D_OK);

    const D3DCOLOR background = 0xFF2040C0;
    UseViewport(0, 0, kSize, kSize);
    ClearViewport(background);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTexture(0, target);
    const D3DCOLOR fade = 0x7FFFFFFF;
    RhwVertex quad[4];
    RhwQuad(quad, 0, 0, 32, 32, 10.0f, fade);
    DrawUp(D3DPT_TRIANGLEFAN, 2, quad, sizeof(RhwVertex));

    TextureImage texture;
    texture.width = inside.width;
    texture.height = inside.height;
    for (uint32_t p : inside.pixels) texture.texels.push_back(p | 0xFF000000u);
    StageState stage = DefaultStage(0);
    stage.colorArg2 = D3DTA_DIFFUSE;
    stage.alphaOp = D3DTOP_MODULATE;
    stage.alphaArg2 = D3DTA_DIFFUSE;
    stage.textureBound = true;
    SamplerState sampler;
    sampler.filter = D3DTEXF_LINEAR;
    ReferenceCanvas expected(kSize, kSize, background);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            stage.texel = SampleTexture(texture, {x / 32.0f, y / 32.0f}, sampler);
            PixelInputs in;
            in.diffuse = ColorFromArgb(fade);
            const Color src = CombineStages({stage}, in);
            expected.Plot(x, y, ArgbFromColor(BlendColors(src, ColorFromArgb(background), D3DBLEND_SRCALPHA,
                                                          D3DBLEND_INVSRCALPHA)));
        }
    }
    EXPECT_TRUE(Matches(Capture("shown"), expected, 2));
}
