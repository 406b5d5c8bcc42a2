// Painting behind: a background handed to ZoltPaintBehind and painted when
// the device calls for it must give the picture that painting it first
// gives, whatever comes between: opaque draws with and without depth,
// draws that fail the depth test, alpha-tested holes, a blended draw (which
// calls the painter while user-pointer draws are being merged), read-back.
// The painter draws in the state of the moment it was handed over, and the
// program's state is its own again afterwards.
#include "tests/platform/d3d8/ffp_test_support.h"
#include "tests/support/headless_device.h"

using namespace d3dref;
using namespace ffp;

namespace {

D3DMATRIX Translation(float x, float y)
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    m._41 = x;
    m._42 = y;
    return m;
}

class PaintBehindTest : public FfpImageTest {
protected:
    void SetUp() override
    {
        FfpImageTest::SetUp();
        if (HasFatalFailure())
            return;
        SetIdentityTransforms();
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        // A gradient for the background, and a checker whose dark squares
        // are transparent to the alpha test.
        TextureImage gradient{8, 8, {}};
        TextureImage checker{4, 4, {}};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                gradient.texels.push_back(0xFF000000u | static_cast<uint32_t>(x * 32) << 16 |
                                          static_cast<uint32_t>(y * 32) << 8 | 0x40u);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                checker.texels.push_back(((x + y) & 1) != 0 ? 0xFFE0E0E0u : 0x00202020u);
        sky = MakeTexture(gradient);
        holes = MakeTexture(checker);
    }

    void TearDown() override
    {
        ZoltAllowPaintingBehind(true);
        FfpImageTest::TearDown();
    }

    // The background: a textured quad through the transforms, leaning on the
    // world matrix in force when it was handed over (a shift to the right
    // that brings it over the whole viewport).
    static void PaintSky(void* context)
    {
        auto* self = static_cast<PaintBehindTest*>(context);
        ++self->painted;
        IDirect3DDevice8* d = self->device;
        d->SetRenderState(D3DRS_ZENABLE, FALSE);
        d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        d->SetTexture(0, self->sky);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        d->SetVertexShader(kXyzTexFvf);
        const XyzTexVertex quad[4] = {{-1.25f, 1.0f, 0.5f, 0.0f, 0.0f},
                                      {0.75f, 1.0f, 0.5f, 1.0f, 0.0f},
                                      {0.75f, -1.0f, 0.5f, 1.0f, 1.0f},
                                      {-1.25f, -1.0f, 0.5f, 0.0f, 1.0f}};
        d->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(XyzTexVertex));
    }

    // Hands the background over, or paints it at once where the device
    // refuses (as the straightforward way always does).
    void Background()
    {
        device->SetTransform(D3DTS_WORLD, &shift);
        if (!ZoltPaintBehind(device, &PaintSky, this))
            PaintSky(this);
    }

    void Quad(float x0, float y0, float x1, float y1, float z, D3DCOLOR colour)
    {
        RhwVertex quad[4];
        RhwQuad(quad, x0, y0, x1, y1, z, colour);
        device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(RhwVertex));
    }

    // What a scene draws over the background, setting every state it needs.
    void Scene()
    {
        const D3DMATRIX identity = Translation(0.0f, 0.0f);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetVertexShader(kRhwFvf);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        Quad(0, 0, 16, 16, 0.5f, 0xFFFF0000);
        // Over it without depth, then partly behind it.
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        Quad(12, 12, 20, 20, 0.9f, 0xFF00FF00);
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        Quad(4, 8, 24, 14, 0.7f, 0xFF0000FF);
        // Holes cut by the alpha test show the background.
        device->SetTexture(0, holes);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        device->SetRenderState(D3DRS_ALPHAREF, 128);
        device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        Quad(18, 0, 32, 12, 0.4f, 0xFFFFFFFF);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        // A half-transparent quad over the background and the red one: the
        // background must be there before it.
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        Quad(8, 10, 28, 30, 0.3f, 0x80FFFF00);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        Quad(0, 24, 10, 32, 0.2f, 0xFFFF00FF);
    }

    // Two frames: the scene over the background in the fixture's 32 x 32
    // viewport, and one opaque quad over it in the whole back buffer, left
    // for read-back to bring the background in.
    std::vector<PixelImage> Frames(bool behind)
    {
        ZoltAllowPaintingBehind(behind);
        painted = 0;
        std::vector<PixelImage> pictures;
        UseViewport(0, 0, kSize, kSize);
        device->BeginScene();
        Background();
        Scene();
        device->EndScene();
        // The program's own state is back after the painter.
        DWORD zEnable = 0;
        IDirect3DBaseTexture8* bound = reinterpret_cast<IDirect3DBaseTexture8*>(1);
        D3DMATRIX world{};
        device->GetRenderState(D3DRS_ZENABLE, &zEnable);
        device->GetTexture(0, &bound);
        device->GetTransform(D3DTS_WORLD, &world);
        EXPECT_EQ(zEnable, static_cast<DWORD>(TRUE));
        EXPECT_EQ(bound, nullptr);
        EXPECT_EQ(world._41, 0.0f);
        pictures.push_back(Capture(behind ? "behind" : "first"));

        UseViewport(0, 0, 64, 64);
        device->BeginScene();
        Background();
        device->SetTransform(D3DTS_WORLD, &shift);
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        device->SetVertexShader(kRhwFvf);
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        Quad(20, 20, 50, 40, 0.5f, 0xFF00FFFF);
        device->EndScene();
        pictures.push_back(Capture(behind ? "behind-whole" : "first-whole"));
        EXPECT_EQ(painted, 2);
        return pictures;
    }

    IDirect3DTexture8* sky = nullptr;
    IDirect3DTexture8* holes = nullptr;
    D3DMATRIX shift = Translation(0.25f, 0.0f);
    int painted = 0;
};

void CountPainting(void* context)
{
    ++*static_cast<int*>(context);
}

} // namespace

TEST_F(PaintBehindTest, GivesThePictureOfPaintingFirst)
{
    const std::vector<PixelImage> first = Frames(false);
    const std::vector<PixelImage> behind = Frames(true);
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(behind.size(), 2u);
    for (size_t i = 0; i < first.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        ASSERT_EQ(behind[i].pixels.size(), first[i].pixels.size());
        size_t differing = 0;
        for (size_t p = 0; p < first[i].pixels.size(); ++p)
            differing += first[i].pixels[p] != behind[i].pixels[p];
        EXPECT_EQ(differing, 0u);
    }
    // The pictures hold what the comparison is about: the opaque quads (the
    // blue one behind the red one), the background's gradient, holes in the
    // checker, and the background blended under the yellow quad.
    const PixelImage& scene = first[0];
    EXPECT_EQ(scene.At(2, 2), 0xFFFF0000u);
    EXPECT_EQ(scene.At(10, 9), 0xFFFF0000u);
    EXPECT_EQ(scene.At(17, 9), 0xFF0000FFu);
    EXPECT_EQ(scene.At(2, 28), 0xFFFF00FFu);
    EXPECT_NE(scene.At(30, 2) & 0xFFu, 0x40u);   // holes: white or background
    EXPECT_NE(scene.At(26, 28), 0xFFFFFF00u);    // blended over the background
    EXPECT_NE(scene.At(30, 20), scene.At(30, 28)); // the gradient runs down
}

TEST_F(PaintBehindTest, RefusesWhereItCannotKeepThePicture)
{
    int calls = 0;
    EXPECT_FALSE(ZoltPaintBehind(nullptr, &CountPainting, &calls));
    EXPECT_FALSE(ZoltPaintBehind(device, nullptr, &calls));
    ZoltPaintBehindNow(nullptr);

    // One painter at a time; it is called once, when asked.
    ASSERT_TRUE(ZoltPaintBehind(device, &CountPainting, &calls));
    EXPECT_FALSE(ZoltPaintBehind(device, &CountPainting, &calls));
    ZoltPaintBehindNow(device);
    ZoltPaintBehindNow(device);
    EXPECT_EQ(calls, 1);

    // Once the program has used the stencil, it is the program's.
    device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    EXPECT_FALSE(ZoltPaintBehind(device, &CountPainting, &calls));

    // A depth buffer without room for a stencil.
    HeadlessDeviceOptions options;
    options.depthFormat = D3DFMT_D16;
    HeadlessDevice shallow(options);
    ASSERT_TRUE(shallow);
    EXPECT_FALSE(ZoltPaintBehind(shallow.get(), &CountPainting, &calls));

    // Switching targets paints first, on the target painted behind.
    HeadlessDevice other;
    ASSERT_TRUE(other);
    ASSERT_TRUE(ZoltPaintBehind(other.get(), &CountPainting, &calls));
    IDirect3DSurface8* target = nullptr;
    ASSERT_EQ(other->GetRenderTarget(&target), D3D_OK);
    EXPECT_EQ(other->SetRenderTarget(target, nullptr), D3D_OK);
    target->Release();
    EXPECT_EQ(calls, 2);
}
