// Rasterisation as Direct3D 8 does it: which pixels triangles and lines
// cover (pixel centres at whole coordinates, top-left fill rule), Gouraud
// colours between vertices, and pre-transformed quads over the viewport.
#include "tests/platform/d3d8/ffp_test_support.h"

using namespace d3dref;
using namespace ffp;

namespace {

// Screen position in a 32 x 32 viewport to the clip-space position that
// identity transforms map onto it (exact in float for these values).
XyzColorVertex AtPixel(float sx, float sy, D3DCOLOR color) {
    return {sx / 16.0f - 1.0f, 1.0f - sy / 16.0f, 0.5f, color};
}

ScreenVertex Screen(const XyzColorVertex& v) {
    const D3DVIEWPORT8 vp{0, 0, 32, 32, 0.0f, 1.0f};
    return ClipToScreen({v.x, v.y, v.z, 1.0f}, vp);
}

D3DCOLOR Interpolate(const Vec3& w, const XyzColorVertex v[3]) {
    const Color a = ColorFromArgb(v[0].color);
    const Color b = ColorFromArgb(v[1].color);
    const Color c = ColorFromArgb(v[2].color);
    return ArgbFromColor({a.r * w.x + b.r * w.y + c.r * w.z, a.g * w.x + b.g * w.y + c.g * w.z,
                          a.b * w.x + b.b * w.y + c.b * w.z, 1.0f});
}

class FfpRasterTest : public FfpImageTest {
protected:
    void SetUp() override {
        FfpImageTest::SetUp();
        if (HasFatalFailure()) return;
        SetIdentityTransforms();
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetVertexShader(kXyzColorFvf);
    }

    // Draws one unlit Gouraud triangle and compares it with the model, the
    // coverage decided by the fill rule alone.
    void CheckTriangle(const XyzColorVertex tri[3], const std::string& suffix) {
        ClearViewport();
        DrawUp(D3DPT_TRIANGLELIST, 1, tri, sizeof(XyzColorVertex));
        const PixelImage actual = Capture(suffix);

        const ScreenVertex s[3] = {Screen(tri[0]), Screen(tri[1]), Screen(tri[2])};
        ReferenceCanvas expected(kSize, kSize, kClear);
        expected.FillTriangle(s, ReferenceCanvas::Edges::Exact,
                              [&](const Vec3& w, int, int, D3DCOLOR) { return Interpolate(w, tri); });
        EXPECT_TRUE(Matches(actual, expected, 2));
    }
};

} // namespace

TEST_F(FfpRasterTest, UnlitGouraudTriangleCoversExactPixels) {
    // Top edge and left edge run through pixel centres (those pixels are in),
    // the long edge runs down-left through (19, 11) and (11, 20) (those are out).
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const XyzColorVertex tri[3] = {AtPixel(3, 2, 0xFFFF0000), AtPixel(27, 2, 0xFF00FF00),
                                   AtPixel(3, 29, 0xFF0000FF)};
    CheckTriangle(tri, "");

    // A triangle with vertices off the grid whose edges pass no pixel centre
    // closely, so coverage does not hinge on the exact sample position.
    const XyzColorVertex loose[3] = {AtPixel(29.5f, 1.375f, 0xFFFFFF00), AtPixel(20.25f, 28.75f, 0xFF00FFFF),
                                     AtPixel(11.25f, 10.625f, 0xFFFF00FF)};
    const ScreenVertex s[3] = {Screen(loose[0]), Screen(loose[1]), Screen(loose[2])};
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            ASSERT_TRUE(ReferenceCanvas::CoverageIsSettled(s, x, y, TriangleCoversPixel(s, x, y))) << x << "," << y;
        }
    }
    CheckTriangle(loose, "loose");
}

TEST_F(FfpRasterTest, SharedEdgesCoverEveryPixelOnce) {
    // A fan of four triangles around an off-grid centre, drawn additively:
    // a pixel covered twice or missed would show as 0x80 or 0x00.
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    ClearViewport(0xFF000000);
    const D3DCOLOR c = 0xFF404040;
    // The rim's edges pass through no pixel centre; the spokes may.
    const XyzColorVertex fan[6] = {AtPixel(13, 17, c), AtPixel(4, 4, c),   AtPixel(27, 6, c),
                                   AtPixel(26, 27, c), AtPixel(3, 25, c), AtPixel(4, 4, c)};
    DrawUp(D3DPT_TRIANGLEFAN, 4, fan, sizeof(XyzColorVertex));
    const PixelImage actual = Capture();

    ReferenceCanvas expected(kSize, kSize, 0xFF000000);
    for (int i = 1; i <= 4; ++i) {
        const ScreenVertex s[3] = {Screen(fan[0]), Screen(fan[i]), Screen(fan[i + 1])};
        expected.FillTriangle(s, ReferenceCanvas::Edges::Exact, [&](const Vec3&, int, int, D3DCOLOR dst) {
            return ArgbFromColor(BlendColors(ColorFromArgb(c), ColorFromArgb(dst), D3DBLEND_ONE, D3DBLEND_ONE));
        });
    }
    EXPECT_TRUE(Matches(actual, expected, 0));
}

TEST_F(FfpRasterTest, ShallowEdgesThroughPixelCentresFollowTopLeftRule) {
    // The upper edge falls right by one pixel every three columns and passes
    // through the centres (5, 3), (8, 4), ... : a right edge, so those pixels
    // are not covered; the lower edge's centres are not covered either.
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const XyzColorVertex tri[3] = {AtPixel(2, 2, 0xFFFF0000), AtPixel(26, 10, 0xFF00FF00),
                                   AtPixel(2, 18, 0xFF0000FF)};
    CheckTriangle(tri, "");
    // The same edges as left edges of the mirrored triangle: covered.
    const XyzColorVertex mirrored[3] = {AtPixel(29, 2, 0xFFFF0000), AtPixel(5, 10, 0xFF00FF00),
                                        AtPixel(29, 18, 0xFF0000FF)};
    CheckTriangle(mirrored, "mirrored");
}

TEST_F(FfpRasterTest, PretransformedQuadCoversViewportExactlyOnce) {
    // The screen quad of the crossfade: corners at (0, 0) and (W, H), drawn
    // additively into a larger cleared area.
    UseViewport(0, 0, 40, 40);
    ClearViewport(0xFF000000);
    device->SetVertexShader(kRhwFvf);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    RhwVertex quad[4];
    RhwQuad(quad, 0.0f, 0.0f, 32.0f, 32.0f, 0.5f, 0xFF404040);
    DrawUp(D3DPT_TRIANGLEFAN, 2, quad, sizeof(RhwVertex));
    const PixelImage actual = Capture();

    ReferenceCanvas expected(40, 40, 0xFF000000);
    expected.Fill(0, 0, 32, 32, 0xFF404040);
    EXPECT_TRUE(Matches(actual, expected, 0));
}

TEST_F(FfpRasterTest, PretransformedQuadSamplesTexelPerPixel) {
    // Pixel i of a quad from 0 to W samples u = i / W: with point filtering
    // that is texel i; with linear filtering the mean of texels i - 1 and i
    // (Direct3D's texel centres sit half a texel from its pixel centres).
    // Red and green ramp up and back down (neighbours differ by 16 levels),
    // blue is a checkerboard, so a texel shift shows and filtering stays smooth.
    TextureImage image;
    image.width = kSize;
    image.height = kSize;
    auto ramp = [](int i) { return static_cast<uint32_t>((i < 16 ? i : 31 - i) * 16); };
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const uint32_t blue = ((x + y) & 1) ? 0xC0 : 0x40;
            image.texels.push_back(0xFF000000u | (ramp(x) << 16) | (ramp(y) << 8) | blue);
        }
    }
    IDirect3DTexture8* texture = MakeTexture(image);
    ASSERT_NE(texture, nullptr);
    device->SetTexture(0, texture);
    device->SetVertexShader(kRhwFvf);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    RhwVertex quad[4];
    RhwQuad(quad, 0.0f, 0.0f, 32.0f, 32.0f, 0.5f, 0xFFFFFFFF);

    for (DWORD filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
        ClearViewport();
        DrawUp(D3DPT_TRIANGLEFAN, 2, quad, sizeof(RhwVertex));
        const PixelImage actual = Capture(filter == D3DTEXF_POINT ? "point" : "linear");

        ReferenceCanvas expected(kSize, kSize, kClear);
        SamplerState sampler;
        sampler.filter = filter;
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                expected.Plot(x, y, ArgbFromColor(SampleTexture(image, {x / 32.0f, y / 32.0f}, sampler)));
            }
        }
        EXPECT_TRUE(Matches(actual, expected, 2)) << (filter == D3DTEXF_POINT ? "point" : "linear");
    }
}

TEST_F(FfpRasterTest, WireframeDrawsTheEdgesOnly) {
    // Vertices on pixel centres; the long edge steps two rows every three
    // columns, so no pixel is left to rounding.
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    const D3DCOLOR white = 0xFFFFFFFF;
    const XyzColorVertex tri[3] = {AtPixel(2, 2, white), AtPixel(20, 2, white), AtPixel(2, 14, white)};
    DrawUp(D3DPT_TRIANGLELIST, 1, tri, sizeof(XyzColorVertex));
    const PixelImage actual = Capture();

    ReferenceCanvas expected(kSize, kSize, kClear);
    int unsure = 0;
    for (int i = 0; i < 3; ++i) {
        const XyzColorVertex& a = tri[i];
        const XyzColorVertex& b = tri[(i + 1) % 3];
        const ScreenVertex sa = Screen(a);
        const ScreenVertex sb = Screen(b);
        int ambiguous = 0;
        for (const PixelPos& p : LinePixels({sa.x, sa.y}, {sb.x, sb.y}, &ambiguous)) expected.Plot(p.x, p.y, white);
        unsure += ambiguous;
    }
    ASSERT_EQ(unsure, 0);
    EXPECT_TRUE(Matches(actual, expected, 0));
}

TEST_F(FfpRasterTest, LineStripAsShapesDrawIt) {
    // An unlit white strip of three segments in the shapes' vertex format.
    const D3DCOLOR white = 0xFFFFFFFF;
    const XyzColorVertex strip[4] = {AtPixel(2, 20, white), AtPixel(28, 20, white), AtPixel(28, 4, white),
                                     AtPixel(10, 10, white)};
    DrawUp(D3DPT_LINESTRIP, 3, strip, sizeof(XyzColorVertex));
    const PixelImage actual = Capture();

    ReferenceCanvas expected(kSize, kSize, kClear);
    int unsure = 0;
    for (int i = 0; i < 3; ++i) {
        const ScreenVertex a = Screen(strip[i]);
        const ScreenVertex b = Screen(strip[i + 1]);
        int ambiguous = 0;
        for (const PixelPos& p : LinePixels({a.x, a.y}, {b.x, b.y}, &ambiguous)) expected.Plot(p.x, p.y, white);
        unsure += ambiguous;
    }
    ASSERT_EQ(unsure, 0);
    // Whether the strip's very last pixel is drawn depends on D3DRS_LASTPIXEL
    // handling; it is not what this test is about.
    expected.Ignore(10, 10);
    EXPECT_TRUE(Matches(actual, expected, 0));
}
