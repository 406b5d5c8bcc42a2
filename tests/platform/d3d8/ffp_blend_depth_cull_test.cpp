// Output merging and primitive culling as Direct3D 8 does them: the blend
// factor pairs of the engine's materials and screen quads, the depth test
// with and without depth writes, Direct3D's 0..w depth range, and culling
// of clockwise and counter-clockwise triangles as they appear on the screen.
#include "tests/platform/d3d8/ffp_test_support.h"

#include <cmath>

using namespace d3dref;
using namespace ffp;

namespace {

class FfpBlendDepthCullTest : public FfpImageTest {
protected:
    void SetUp() override {
        FfpImageTest::SetUp();
        if (HasFatalFailure()) return;
        SetIdentityTransforms();
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
    }

    void DrawRect(float x0, float y0, float x1, float y1, float z, D3DCOLOR color) {
        RhwVertex quad[4];
        RhwQuad(quad, x0, y0, x1, y1, z, color);
        device->SetVertexShader(kRhwFvf);
        DrawUp(D3DPT_TRIANGLEFAN, 2, quad, sizeof(RhwVertex));
    }
};

} // namespace

TEST_F(FfpBlendDepthCullTest, BlendFactorPairs) {
    // Top row: the pairs the engine uses (transparent materials of blend
    // kinds 0, 1 and 2, and the crossfade / opacity maps); bottom row: other
    // factors that read the source and the destination colour.
    struct Pair {
        DWORD src, dest;
    };
    const Pair pairs[8] = {{D3DBLEND_ZERO, D3DBLEND_SRCCOLOR},       {D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR},
                           {D3DBLEND_ONE, D3DBLEND_ONE},             {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                           {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO},      {D3DBLEND_INVDESTCOLOR, D3DBLEND_ONE},
                           {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA}, {D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR}};
    const D3DCOLOR background = 0xFF406090;
    const D3DCOLOR source = 0x80C05020;
    ClearViewport(background);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    ReferenceCanvas expected(kSize, kSize, background);
    for (int i = 0; i < 8; ++i) {
        device->SetRenderState(D3DRS_SRCBLEND, pairs[i].src);
        device->SetRenderState(D3DRS_DESTBLEND, pairs[i].dest);
        const int x = (i % 4) * 8;
        const int y = (i / 4) * 16;
        DrawRect(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + 8), static_cast<float>(y + 16),
                 0.5f, source);
        expected.Fill(x, y, x + 8, y + 16,
                      ArgbFromColor(BlendColors(ColorFromArgb(source), ColorFromArgb(background), pairs[i].src,
                                                pairs[i].dest)));
    }
    EXPECT_TRUE(Matches(Capture(), expected, 2));
}

TEST_F(FfpBlendDepthCullTest, DepthTestAndDepthWrites) {
    const D3DCOLOR red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF;

    // A near red quad, then a farther green one: the red stays in front.
    DrawRect(4, 4, 20, 20, 0.3f, red);
    DrawRect(12, 12, 28, 28, 0.6f, green);
    ReferenceCanvas tested(kSize, kSize, kClear);
    tested.Fill(12, 12, 28, 28, green);
    tested.Fill(4, 4, 20, 20, red);
    EXPECT_TRUE(Matches(Capture("test"), tested, 0));

    // The red quad without depth writes leaves nothing to hide the green one;
    // the default LESSEQUAL lets an equal depth through.
    ClearViewport();
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    DrawRect(4, 4, 20, 20, 0.3f, red);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    DrawRect(12, 12, 28, 28, 0.6f, green);
    DrawRect(0, 24, 32, 32, 0.6f, blue);
    ReferenceCanvas unwritten(kSize, kSize, kClear);
    unwritten.Fill(4, 4, 20, 20, red);
    unwritten.Fill(12, 12, 28, 28, green);
    unwritten.Fill(0, 24, 32, 32, blue);
    EXPECT_TRUE(Matches(Capture("no-write"), unwritten, 0));

    // Without the depth test later quads cover earlier ones whatever their
    // depth, and nothing is written: a far quad drawn afterwards with the
    // test back on still shows everywhere.
    ClearViewport();
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    DrawRect(12, 12, 28, 28, 0.6f, green);
    DrawRect(4, 4, 20, 20, 0.9f, red);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    DrawRect(0, 0, 8, 32, 0.95f, blue);
    ReferenceCanvas untested(kSize, kSize, kClear);
    untested.Fill(12, 12, 28, 28, green);
    untested.Fill(4, 4, 20, 20, red);
    untested.Fill(0, 0, 8, 32, blue);
    EXPECT_TRUE(Matches(Capture("no-test"), untested, 0));
}

TEST_F(FfpBlendDepthCullTest, DepthRangeIsZeroToW) {
    // Under identity transforms clip z is the depth: Direct3D clips below 0
    // and above w, and depth 0.2 lies in front of depth 0.4.
    device->SetVertexShader(kXyzColorFvf);
    auto quad = [&](float x0, float x1, float z, D3DCOLOR c) {
        const XyzColorVertex v[4] = {{x0, 0.5f, z, c}, {x1, 0.5f, z, c}, {x1, -0.5f, z, c}, {x0, -0.5f, z, c}};
        DrawUp(D3DPT_TRIANGLEFAN, 2, v, sizeof(XyzColorVertex));
    };
    quad(-1.0f, -0.5f, -0.1f, 0xFFFF0000); // behind the near plane: clipped
    quad(-0.5f, 0.0f, 0.05f, 0xFF00FF00);  // just inside
    quad(0.0f, 0.5f, 1.1f, 0xFFFF00FF);    // beyond the far plane: clipped
    quad(0.5f, 1.0f, 0.2f, 0xFF0000FF);
    quad(0.5f, 1.0f, 0.4f, 0xFFFFFF00);    // hidden by the nearer blue
    ReferenceCanvas expected(kSize, kSize, kClear);
    expected.Fill(8, 8, 16, 24, 0xFF00FF00);
    expected.Fill(24, 8, 32, 24, 0xFF0000FF);
    EXPECT_TRUE(Matches(Capture(), expected, 0));
}

namespace {

// One clockwise and one counter-clockwise triangle (as seen on the screen)
// per cull mode; which survive is decided by the model's winding.
struct CullCase {
    DWORD mode;
    const char* name;
};
const CullCase kCullCases[3] = {{D3DCULL_CCW, "ccw"}, {D3DCULL_CW, "cw"}, {D3DCULL_NONE, "none"}};

bool Culled(DWORD mode, const ScreenVertex tri[3]) {
    const int winding = ScreenWinding(tri);
    return (mode == D3DCULL_CCW && winding < 0) || (mode == D3DCULL_CW && winding > 0);
}

} // namespace

TEST_F(FfpBlendDepthCullTest, CullingOfPretransformedTriangles) {
    // Left: clockwise on the screen; right: counter-clockwise. No edge runs
    // through a pixel centre.
    const RhwVertex tris[6] = {
        {2, 2, 0.5f, 1, 0xFFFF0000, 0, 0}, {15, 4, 0.5f, 1, 0xFFFF0000, 0, 0}, {3, 29, 0.5f, 1, 0xFFFF0000, 0, 0},
        {18, 2, 0.5f, 1, 0xFF00FF00, 0, 0}, {19, 28, 0.5f, 1, 0xFF00FF00, 0, 0}, {31, 5, 0.5f, 1, 0xFF00FF00, 0, 0}};
    device->SetVertexShader(kRhwFvf);
    for (const CullCase& c : kCullCases) {
        ClearViewport();
        device->SetRenderState(D3DRS_CULLMODE, c.mode);
        DrawUp(D3DPT_TRIANGLELIST, 2, tris, sizeof(RhwVertex));
        ReferenceCanvas expected(kSize, kSize, kClear);
        for (int t = 0; t < 2; ++t) {
            const ScreenVertex s[3] = {{tris[3 * t].x, tris[3 * t].y, 0.5f, 1.0f},
                                       {tris[3 * t + 1].x, tris[3 * t + 1].y, 0.5f, 1.0f},
                                       {tris[3 * t + 2].x, tris[3 * t + 2].y, 0.5f, 1.0f}};
            if (Culled(c.mode, s)) continue;
            expected.FillTriangle(s, ReferenceCanvas::Edges::Exact,
                                  [&](const Vec3&, int, int, D3DCOLOR) { return tris[3 * t].color; });
        }
        EXPECT_TRUE(Matches(Capture(c.name), expected, 0)) << c.name;
    }
}

TEST_F(FfpBlendDepthCullTest, CullingThroughCameraAsScenesDrawIt) {
    // A perspective camera looking at two triangles in the z = 0 plane; the
    // left one is listed clockwise as the camera sees it (the engine's front
    // faces), the right one counter-clockwise.
    const D3DMATRIX world = MatrixRotationY(0.2f);
    const D3DMATRIX view = MatrixLookAtLH({0.0f, 1.0f, -5.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
    const D3DMATRIX projection = MatrixPerspectiveFovLH(0.9f, 1.0f, 1.0f, 100.0f);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetVertexShader(kXyzColorFvf);
    const XyzColorVertex tris[6] = {{-2.0f, 1.5f, 0, 0xFFFF0000}, {-0.3f, 1.2f, 0, 0xFFFF0000},
                                    {-1.8f, -1.6f, 0, 0xFFFF0000}, {0.3f, 1.4f, 0, 0xFF00FF00},
                                    {0.5f, -1.5f, 0, 0xFF00FF00},  {2.1f, 1.1f, 0, 0xFF00FF00}};
    const D3DMATRIX wvp = MatrixMultiply(MatrixMultiply(world, view), projection);
    ScreenVertex screen[6];
    for (int i = 0; i < 6; ++i) screen[i] = ClipToScreen(Transform({tris[i].x, tris[i].y, tris[i].z, 1.0f}, wvp), viewport);
    ASSERT_GT(ScreenWinding(screen), 0);     // the left one is clockwise on the screen
    ASSERT_LT(ScreenWinding(screen + 3), 0); // the right one counter-clockwise

    for (const CullCase& c : kCullCases) {
        ClearViewport();
        device->SetRenderState(D3DRS_CULLMODE, c.mode);
        DrawUp(D3DPT_TRIANGLELIST, 2, tris, sizeof(XyzColorVertex));
        ReferenceCanvas expected(kSize, kSize, kClear);
        for (int t = 0; t < 2; ++t) {
            if (Culled(c.mode, screen + 3 * t)) continue;
            expected.FillTriangle(screen + 3 * t, ReferenceCanvas::Edges::Tolerant,
                                  [&](const Vec3&, int, int, D3DCOLOR) { return tris[3 * t].color; });
        }
        EXPECT_TRUE(Matches(Capture(c.name), expected, 0)) << c.name;
    }
}
