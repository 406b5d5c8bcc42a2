// Self-checks of the CPU reference model against values worked out by hand,
// so that the image tests compare the device with something trustworthy.
#include "tests/support/d3d_reference_model.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace d3dref;

namespace {

constexpr float kEps = 1e-4f;

D3DLIGHT8 PointLight(Vec3 position, float range, float att0, float att1, float att2) {
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Position = {position.x, position.y, position.z};
    light.Range = range;
    light.Attenuation0 = att0;
    light.Attenuation1 = att1;
    light.Attenuation2 = att2;
    return light;
}

VertexInput FacingVertex(Vec3 position) {
    VertexInput v;
    v.position = position;
    v.hasNormal = true;
    v.normal = {0.0f, 0.0f, -1.0f};
    return v;
}

void ExpectColor(Color c, float r, float g, float b) {
    EXPECT_NEAR(c.r, r, kEps);
    EXPECT_NEAR(c.g, g, kEps);
    EXPECT_NEAR(c.b, b, kEps);
}

} // namespace

TEST(ReferenceLighting, PointLightAttenuationAndRange) {
    LightingState state;
    state.material.Diffuse = {0.5f, 0.25f, 1.0f, 1.0f};
    state.material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    D3DLIGHT8 light = PointLight({0.0f, 0.0f, 0.0f}, 10.0f, 0.0f, 1.0f, 0.0f);
    light.Ambient = {0.2f, 0.2f, 0.2f, 1.0f};
    state.lights.push_back(light);
    const VertexInput v = FacingVertex({0.0f, 0.0f, 2.0f});
    const D3DMATRIX id = MatrixIdentity();

    // d = 2, attenuation 1 / (1 * 2) = 0.5, N.L = 1; ambient 0.2 * 0.5.
    ExpectColor(LightVertex(state, id, id, v).diffuse, 0.35f, 0.225f, 0.6f);

    // Beyond the range the light gives nothing, its ambient included.
    state.lights[0].Range = 1.5f;
    ExpectColor(LightVertex(state, id, id, v).diffuse, 0.0f, 0.0f, 0.0f);

    // Quadratic attenuation: 1 / (1 + 0 + 0.25 * 4) = 0.5.
    state.lights[0] = PointLight({0.0f, 0.0f, 0.0f}, 10.0f, 1.0f, 0.0f, 0.25f);
    ExpectColor(LightVertex(state, id, id, v).diffuse, 0.25f, 0.125f, 0.5f);
}

TEST(ReferenceLighting, LightAndVertexAreTakenToCameraSpace) {
    // Moving both the light and the vertex by the view leaves the result alone;
    // moving only the vertex by the world changes the distance.
    LightingState state;
    state.material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    state.lights.push_back(PointLight({0.0f, 0.0f, 0.0f}, 100.0f, 0.0f, 1.0f, 0.0f));
    const VertexInput v = FacingVertex({0.0f, 0.0f, 2.0f});
    const D3DMATRIX view = MatrixTranslation(3.0f, -1.0f, 5.0f);
    ExpectColor(LightVertex(state, MatrixIdentity(), view, v).diffuse, 0.5f, 0.5f, 0.5f);
    ExpectColor(LightVertex(state, MatrixTranslation(0.0f, 0.0f, 2.0f), MatrixIdentity(), v).diffuse, 0.25f, 0.25f,
                0.25f);
}

TEST(ReferenceLighting, SpotConeInsideBetweenAndOutside) {
    LightingState state;
    state.material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    D3DLIGHT8 light = PointLight({0.0f, 0.0f, 0.0f}, 100.0f, 1.0f, 0.0f, 0.0f);
    light.Type = D3DLIGHT_SPOT;
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Theta = 60.0f * 3.14159265f / 180.0f; // inner half angle 30 degrees
    light.Phi = 90.0f * 3.14159265f / 180.0f;   // outer half angle 45 degrees
    light.Falloff = 1.0f;
    state.lights.push_back(light);

    // A vertex seen from the light at 40 degrees off the axis, normal facing the light.
    const float angle = 40.0f * 3.14159265f / 180.0f;
    VertexInput v;
    v.position = {std::sin(angle), 0.0f, std::cos(angle)};
    v.hasNormal = true;
    v.normal = {-std::sin(angle), 0.0f, -std::cos(angle)};
    const D3DMATRIX id = MatrixIdentity();
    // (cos 40 - cos 45) / (cos 30 - cos 45) = (0.76604 - 0.70711) / (0.86603 - 0.70711)
    EXPECT_NEAR(LightVertex(state, id, id, v).diffuse.r, 0.37083f, 2e-4f);

    state.lights[0].Falloff = 2.0f;
    EXPECT_NEAR(LightVertex(state, id, id, v).diffuse.r, 0.37083f * 0.37083f, 2e-4f);

    state.lights[0].Phi = 70.0f * 3.14159265f / 180.0f; // outer half angle 35: outside
    EXPECT_EQ(LightVertex(state, id, id, v).diffuse.r, 0.0f);

    state.lights[0].Theta = 84.0f * 3.14159265f / 180.0f; // inner half angle 42: inside
    state.lights[0].Phi = 100.0f * 3.14159265f / 180.0f;
    EXPECT_NEAR(LightVertex(state, id, id, v).diffuse.r, 1.0f, kEps);
}

TEST(ReferenceLighting, SpecularLocalViewerAndOnlyFacingLights) {
    LightingState state;
    state.material.Specular = {1.0f, 0.5f, 0.25f, 1.0f};
    state.material.Power = 2.0f;
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    state.lights.push_back(light);
    const D3DMATRIX id = MatrixIdentity();
    const VertexInput v = FacingVertex({1.0f, 0.0f, 1.0f});

    // H = normalize((0,0,-1) + (-0.7071, 0, -0.7071)) = (-0.38268, 0, -0.92388); N.H^2 = 0.85355.
    ExpectColor(LightVertex(state, id, id, v).specular, 0.85355f, 0.42678f, 0.21339f);
    state.localViewer = false; // H = (0, 0, -1)
    ExpectColor(LightVertex(state, id, id, v).specular, 1.0f, 0.5f, 0.25f);

    // A light behind the surface gives no highlight.
    state.lights[0].Direction = {0.0f, 0.0f, -1.0f};
    ExpectColor(LightVertex(state, id, id, v).specular, 0.0f, 0.0f, 0.0f);
}

TEST(ReferenceLighting, ScaledWorldScalesUnnormalisedNormals) {
    LightingState state;
    state.material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Diffuse = {0.8f, 0.8f, 0.8f, 1.0f};
    state.lights.push_back(light);
    const VertexInput v = FacingVertex({0.0f, 0.0f, 1.0f});
    const D3DMATRIX id = MatrixIdentity();

    EXPECT_NEAR(LightVertex(state, MatrixScaling(2.0f, 2.0f, 2.0f), id, v).diffuse.r, 0.4f, kEps);
    EXPECT_NEAR(LightVertex(state, MatrixScaling(0.5f, 0.5f, 0.5f), id, v).diffuse.r, 1.0f, kEps); // 1.6 clamped
    state.normalizeNormals = true;
    EXPECT_NEAR(LightVertex(state, MatrixScaling(2.0f, 2.0f, 2.0f), id, v).diffuse.r, 0.8f, kEps);
}

TEST(ReferenceLighting, MaterialSourcesAndAmbient) {
    LightingState state;
    state.material.Diffuse = {0.0f, 0.0f, 1.0f, 1.0f};
    state.material.Ambient = {0.5f, 1.0f, 0.25f, 1.0f};
    state.material.Emissive = {0.125f, 0.0f, 0.0f, 0.0f};
    state.ambient = 0x00404040; // 64 / 255
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
    state.lights.push_back(light);
    VertexInput v = FacingVertex({0.0f, 0.0f, 1.0f});
    v.hasDiffuse = true;
    v.diffuse = 0x00FF8000;
    const D3DMATRIX id = MatrixIdentity();
    const float a = 64.0f / 255.0f;

    // The vertex colour replaces the material's diffuse, alpha 0 included.
    VertexColors c = LightVertex(state, id, id, v);
    ExpectColor(c.diffuse, 0.125f + 0.5f * a + 0.5f, 1.0f * a + 0.5f * 128.0f / 255.0f, 0.25f * a);
    EXPECT_EQ(c.diffuse.a, 0.0f);

    // Without vertex colours the material is used.
    state.colorVertex = false;
    c = LightVertex(state, id, id, v);
    ExpectColor(c.diffuse, 0.125f + 0.5f * a, a, 0.25f * a + 0.5f);
    EXPECT_EQ(c.diffuse.a, 1.0f);

    // A source naming a colour the vertex lacks falls back to the material.
    state.colorVertex = true;
    state.diffuseSource = D3DMCS_COLOR2;
    c = LightVertex(state, id, id, v);
    ExpectColor(c.diffuse, 0.125f + 0.5f * a, a, 0.25f * a + 0.5f);
}

TEST(ReferenceLighting, UnlitColours) {
    VertexInput v;
    VertexColors c = UnlitVertex(v);
    ExpectColor(c.diffuse, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(c.diffuse.a, 1.0f);
    v.hasDiffuse = true;
    v.diffuse = 0x80FF0000;
    c = UnlitVertex(v);
    ExpectColor(c.diffuse, 1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(c.diffuse.a, 128.0f / 255.0f, kEps);
}

TEST(ReferenceTexCoords, MatrixOffsetAndSphereMap) {
    D3DMATRIX offset = MatrixIdentity();
    offset._31 = 0.25f;
    offset._32 = -0.5f;
    const Vec2 uv = TransformTexCoord2({0.5f, 0.75f}, offset);
    EXPECT_NEAR(uv.x, 0.75f, kEps);
    EXPECT_NEAR(uv.y, 0.25f, kEps);

    D3DMATRIX sphere{};
    sphere._11 = 0.5f;
    sphere._22 = -0.5f;
    sphere._33 = 1.0f;
    sphere._41 = 0.5f;
    sphere._42 = 0.5f;
    sphere._44 = 1.0f;
    const Vec2 st = CameraNormalTexCoord2({0.6f, -0.4f, -0.7f}, sphere);
    EXPECT_NEAR(st.x, 0.8f, kEps);
    EXPECT_NEAR(st.y, 0.7f, kEps);

    // The normal is taken by the inverse transpose: a world scaled by 2 halves it.
    const Vec3 n = CameraSpaceNormal({0.6f, 0.0f, -0.8f}, MatrixScaling(2.0f, 2.0f, 2.0f), MatrixIdentity(), false);
    EXPECT_NEAR(n.x, 0.3f, kEps);
    EXPECT_NEAR(n.z, -0.4f, kEps);
}

TEST(ReferenceSampling, PointAndLinearWithWrapClampMirror) {
    TextureImage t;
    t.width = 2;
    t.height = 1;
    t.texels = {0xFF000000, 0xFFFFFFFF}; // black, white
    SamplerState s;
    EXPECT_EQ(SampleTexture(t, {0.49f, 0.5f}, s).r, 0.0f);
    EXPECT_EQ(SampleTexture(t, {0.51f, 0.5f}, s).r, 1.0f);
    EXPECT_EQ(SampleTexture(t, {1.2f, 0.5f}, s).r, 0.0f); // wraps to texel 0
    s.addressU = D3DTADDRESS_CLAMP;
    EXPECT_EQ(SampleTexture(t, {1.2f, 0.5f}, s).r, 1.0f);
    EXPECT_EQ(SampleTexture(t, {-0.7f, 0.5f}, s).r, 0.0f);
    s.addressU = D3DTADDRESS_MIRROR;
    EXPECT_EQ(SampleTexture(t, {1.2f, 0.5f}, s).r, 1.0f); // texel 2 mirrors to texel 1

    s.filter = D3DTEXF_LINEAR;
    s.addressU = D3DTADDRESS_WRAP;
    // Centres at u 0.25 and 0.75.
    EXPECT_NEAR(SampleTexture(t, {0.5f, 0.5f}, s).r, 0.5f, kEps);
    EXPECT_NEAR(SampleTexture(t, {0.375f, 0.5f}, s).r, 0.25f, kEps);
    EXPECT_NEAR(SampleTexture(t, {0.0f, 0.5f}, s).r, 0.5f, kEps); // between texel 1 (wrapped) and 0
    s.addressU = D3DTADDRESS_CLAMP;
    EXPECT_NEAR(SampleTexture(t, {0.0f, 0.5f}, s).r, 0.0f, kEps);
    EXPECT_NEAR(SampleTexture(t, {1.0f, 0.5f}, s).r, 1.0f, kEps);
}

TEST(ReferenceStages, CascadeRules) {
    PixelInputs in;
    in.diffuse = {0.5f, 0.25f, 1.0f, 0.75f};
    in.specular = {0.25f, 0.0f, 0.5f, 0.0f};
    std::vector<StageState> stages = {DefaultStage(0), DefaultStage(1)};

    // MODULATE / SELECTARG1 on TEXTURE without a texture pass the diffuse through, alpha included.
    Color c = CombineStages(stages, in);
    ExpectColor(c, 0.5f, 0.25f, 1.0f);
    EXPECT_NEAR(c.a, 0.75f, kEps);

    // With a texture: modulate colour, texture alpha.
    stages[0].textureBound = true;
    stages[0].texel = {0.5f, 1.0f, 0.5f, 0.25f};
    c = CombineStages(stages, in);
    ExpectColor(c, 0.25f, 0.25f, 0.5f);
    EXPECT_NEAR(c.a, 0.25f, kEps);

    // ADDSMOOTH on stage 1: a1 + a2 - a1 * a2.
    stages[1].colorOp = D3DTOP_ADDSMOOTH;
    stages[1].textureBound = true;
    stages[1].texel = {0.5f, 0.5f, 0.0f, 1.0f};
    c = CombineStages(stages, in);
    ExpectColor(c, 0.625f, 0.625f, 0.5f);
    EXPECT_NEAR(c.a, 0.25f, kEps); // stage 1 alpha DISABLE keeps stage 0's

    // A DISABLE colour stage ends the cascade even when later ones are set.
    stages[0].colorOp = D3DTOP_DISABLE;
    c = CombineStages(stages, in);
    ExpectColor(c, 0.5f, 0.25f, 1.0f);
    EXPECT_NEAR(c.a, 0.75f, kEps);

    // Specular is added after the stages, clamped.
    in.specularEnable = true;
    c = CombineStages(stages, in);
    ExpectColor(c, 0.75f, 0.25f, 1.0f);
}

TEST(ReferenceStages, ArgumentModifiersAndOps) {
    PixelInputs in;
    in.diffuse = {0.2f, 0.4f, 0.6f, 1.0f};
    in.textureFactor = 0x40FF8000;
    StageState s = DefaultStage(0);
    s.textureBound = true;
    s.texel = {1.0f, 0.5f, 0.0f, 0.25f};

    // COMPLEMENT before ALPHAREPLICATE: 1 - 0.25 in every channel.
    s.colorOp = D3DTOP_SELECTARG1;
    s.colorArg1 = D3DTA_TEXTURE | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE;
    ExpectColor(CombineStages({s}, in), 0.75f, 0.75f, 0.75f);

    s.colorOp = D3DTOP_SUBTRACT;
    s.colorArg1 = D3DTA_TEXTURE;
    s.colorArg2 = D3DTA_DIFFUSE;
    ExpectColor(CombineStages({s}, in), 0.8f, 0.1f, 0.0f);

    s.colorOp = D3DTOP_ADDSIGNED;
    ExpectColor(CombineStages({s}, in), 0.7f, 0.4f, 0.1f);

    s.colorOp = D3DTOP_MODULATE2X;
    ExpectColor(CombineStages({s}, in), 0.4f, 0.4f, 0.0f);

    s.colorOp = D3DTOP_BLENDTEXTUREALPHA; // tex * 0.25 + diffuse * 0.75
    ExpectColor(CombineStages({s}, in), 0.4f, 0.425f, 0.45f);

    s.colorOp = D3DTOP_SELECTARG2;
    s.colorArg2 = D3DTA_TFACTOR;
    ExpectColor(CombineStages({s}, in), 1.0f, 128.0f / 255.0f, 0.0f);

    // SELECTARG2 of DIFFUSE does not read the texture, so an unbound texture does not matter.
    s.textureBound = false;
    s.colorArg2 = D3DTA_DIFFUSE;
    s.colorArg1 = D3DTA_TEXTURE;
    ExpectColor(CombineStages({s}, in), 0.2f, 0.4f, 0.6f);
}

TEST(ReferenceBlend, FactorPairs) {
    const Color src{1.0f, 0.5f, 0.0f, 0.25f};
    const Color dst{0.0f, 0.5f, 1.0f, 1.0f};
    ExpectColor(BlendColors(src, dst, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA), 0.25f, 0.5f, 0.75f);
    ExpectColor(BlendColors(src, dst, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR), 0.0f, 0.25f, 0.0f);
    ExpectColor(BlendColors(src, dst, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR), 1.0f, 0.5f, 1.0f);
    ExpectColor(BlendColors(src, dst, D3DBLEND_ONE, D3DBLEND_ONE), 1.0f, 1.0f, 1.0f);
    ExpectColor(BlendColors(src, dst, D3DBLEND_DESTCOLOR, D3DBLEND_ZERO), 0.0f, 0.25f, 0.0f);
    // SRCALPHASAT: min(As, 1 - Ad) = 0.
    ExpectColor(BlendColors(src, dst, D3DBLEND_SRCALPHASAT, D3DBLEND_ONE), 0.0f, 0.5f, 1.0f);
}

TEST(ReferenceColor, Rounding) {
    EXPECT_EQ(ArgbFromColor({0.5f, 1.5f, -1.0f, 1.0f}), 0xFF80FF00u);
    EXPECT_EQ(ArgbFromColor(ColorFromArgb(0x12345678)), 0x12345678u);
}

TEST(ReferenceRaster, TopLeftRuleSharesEdgesExactly) {
    // Two triangles of a 4 x 4 square: each pixel centre covered exactly once.
    const ScreenVertex a{0, 0, 0, 1}, b{4, 0, 0, 1}, c{4, 4, 0, 1}, d{0, 4, 0, 1};
    const ScreenVertex t1[3] = {a, b, d};
    const ScreenVertex t2[3] = {b, c, d};
    int first = 0;
    for (int y = -1; y <= 5; ++y) {
        for (int x = -1; x <= 5; ++x) {
            const int n = TriangleCoversPixel(t1, x, y) + TriangleCoversPixel(t2, x, y);
            const bool inside = x >= 0 && x < 4 && y >= 0 && y < 4;
            EXPECT_EQ(n, inside ? 1 : 0) << x << "," << y;
            first += TriangleCoversPixel(t1, x, y);
        }
    }
    // x + y < 4: the diagonal's centres belong to the lower-right triangle.
    EXPECT_EQ(first, 10);
    // Winding does not change coverage.
    const ScreenVertex t1r[3] = {a, d, b};
    EXPECT_TRUE(TriangleCoversPixel(t1r, 0, 0));
    EXPECT_FALSE(TriangleCoversPixel(t1r, 2, 2));
    EXPECT_GT(ScreenWinding(t1), 0);
    EXPECT_LT(ScreenWinding(t1r), 0);
}

TEST(ReferenceRaster, ClipToScreenAndWeights) {
    D3DVIEWPORT8 vp{0, 0, 16, 8, 0.0f, 1.0f};
    const ScreenVertex s = ClipToScreen({-1.0f, 1.0f, 0.5f, 1.0f}, vp);
    EXPECT_EQ(s.x, 0.0f);
    EXPECT_EQ(s.y, 0.0f);
    EXPECT_EQ(s.z, 0.5f);
    const ScreenVertex e = ClipToScreen({2.0f, -2.0f, 0.0f, 2.0f}, vp);
    EXPECT_EQ(e.x, 16.0f);
    EXPECT_EQ(e.y, 8.0f);
    EXPECT_EQ(e.rhw, 0.5f);

    // A vertex with half the rhw weighs half as much at the same screen point.
    const ScreenVertex tri[3] = {{0, 0, 0, 1.0f}, {4, 0, 0, 0.5f}, {0, 4, 0, 1.0f}};
    const Vec3 w = PerspectiveWeights(tri, 2.0f, 0.0f);
    EXPECT_NEAR(w.x, 2.0f / 3.0f, kEps);
    EXPECT_NEAR(w.y, 1.0f / 3.0f, kEps);
    EXPECT_NEAR(w.z, 0.0f, kEps);
}

TEST(ReferenceRaster, LinePixels) {
    std::vector<PixelPos> p = LinePixels({0, 0}, {4, 0});
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[3].x, 3);
    p = LinePixels({2, 5}, {2, 1});
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].y, 5);
    EXPECT_EQ(p[3].y, 2);
    int unsure = -1;
    p = LinePixels({0, 0}, {6, 2}, &unsure);
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(unsure, 0);
    const int ys[6] = {0, 0, 1, 1, 1, 2};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(p[i].x, i);
        EXPECT_EQ(p[i].y, ys[i]);
    }
    LinePixels({0, 0}, {4, 2}, &unsure);
    EXPECT_EQ(unsure, 2); // y = 0.5 and 1.5 fall between rows
}

TEST(ReferenceMatrix, InverseAndProjection) {
    D3DMATRIX singular{};
    D3DMATRIX out = MatrixTranslation(1, 2, 3);
    EXPECT_FALSE(MatrixInverse(singular, &out));
    EXPECT_EQ(out._41, 1.0f);

    const D3DMATRIX m = MatrixMultiply(MatrixRotationY(0.3f), MatrixTranslation(1, -2, 3));
    ASSERT_TRUE(MatrixInverse(m, &out));
    const D3DMATRIX id = MatrixMultiply(m, out);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(id.m[i][j], i == j ? 1.0f : 0.0f, 1e-5f);
    }

    // A point on the near plane maps to depth 0, on the far plane to 1.
    const D3DMATRIX proj = MatrixPerspectiveFovLH(1.0f, 1.0f, 1.0f, 10.0f);
    Vec4 n = Transform({0, 0, 1, 1}, proj);
    Vec4 f = Transform({0, 0, 10, 1}, proj);
    EXPECT_NEAR(n.z / n.w, 0.0f, kEps);
    EXPECT_NEAR(f.z / f.w, 1.0f, kEps);

    // Looking along +z from the origin with y up is the identity view.
    const D3DMATRIX view = MatrixLookAtLH({0, 0, 0}, {0, 0, 1}, {0, 1, 0});
    EXPECT_NEAR(view._11, 1.0f, kEps);
    EXPECT_NEAR(view._22, 1.0f, kEps);
    EXPECT_NEAR(view._33, 1.0f, kEps);
}
