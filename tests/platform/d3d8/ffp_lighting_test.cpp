// Per-vertex lighting as Direct3D 8 computes it: point and spot lights with
// range and attenuation, ambient from the render state, the material and the
// lights, specular with and without the local viewer, vertex colours as the
// material source, and normals that world scaling leaves unnormalised.
//
// Most scenes light a quad whose corners are symmetric about the light, so
// the lit colour is the same at every vertex while a per-pixel computation
// would differ in the middle; the rest compare Gouraud shading pixel by pixel.
#include "tests/platform/d3d8/ffp_test_support.h"

#include <cmath>
#include <cstring>

using namespace d3dref;
using namespace ffp;

namespace {

constexpr float kDegrees = 3.14159265f / 180.0f;

// Corners of a quad in the z = depth plane, normal towards the viewer, in
// fan order, clockwise on the screen: (-h, h), (h, h), (h, -h), (-h, -h).
std::vector<VertexInput> FacingQuad(float half, float depth) {
    std::vector<VertexInput> corners(4);
    const float xs[4] = {-half, half, half, -half};
    const float ys[4] = {half, half, -half, -half};
    for (int i = 0; i < 4; ++i) {
        corners[i].position = {xs[i], ys[i], depth};
        corners[i].hasNormal = true;
        corners[i].normal = {0.0f, 0.0f, -1.0f};
    }
    return corners;
}

D3DLIGHT8 MakeLight(D3DLIGHTTYPE type, Vec3 position, Vec3 direction, float range) {
    D3DLIGHT8 light{};
    light.Type = type;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Position = {position.x, position.y, position.z};
    light.Direction = {direction.x, direction.y, direction.z};
    light.Range = range;
    light.Attenuation0 = 1.0f;
    return light;
}

class FfpLightingTest : public FfpImageTest {
protected:
    struct Options {
        D3DMATRIX world = MatrixIdentity();
        D3DMATRIX view = MatrixIdentity();
        D3DMATRIX projection = MatrixIdentity();
        bool specularEnable = false;
        bool blend = false; // SRCALPHA / INVSRCALPHA
        ReferenceCanvas::Edges edges = ReferenceCanvas::Edges::Exact;
    };

    // Sets the device to the model's lighting state.
    void ApplyLighting(const LightingState& s) {
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->SetMaterial(&s.material);
        device->SetRenderState(D3DRS_AMBIENT, s.ambient);
        device->SetRenderState(D3DRS_COLORVERTEX, s.colorVertex);
        device->SetRenderState(D3DRS_LOCALVIEWER, s.localViewer);
        device->SetRenderState(D3DRS_NORMALIZENORMALS, s.normalizeNormals);
        device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, s.diffuseSource);
        device->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, s.specularSource);
        device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, s.ambientSource);
        device->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, s.emissiveSource);
        for (DWORD i = 0; i < 8; ++i) {
            if (i < s.lights.size()) {
                device->SetLight(i, &s.lights[i]);
                device->LightEnable(i, TRUE);
            } else {
                device->LightEnable(i, FALSE);
            }
        }
    }

    // Draws the quad lit by the state and compares every pixel with the
    // model's vertex colours interpolated at the pixel centres. Returns the
    // model's colour at the first corner.
    D3DCOLOR CheckQuad(const std::vector<VertexInput>& corners, const LightingState& state, const Options& o,
                       const std::string& suffix) {
        ApplyLighting(state);
        device->SetTransform(D3DTS_WORLD, &o.world);
        device->SetTransform(D3DTS_VIEW, &o.view);
        device->SetTransform(D3DTS_PROJECTION, &o.projection);
        device->SetRenderState(D3DRS_SPECULARENABLE, o.specularEnable);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, o.blend);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        ClearViewport();

        // With a vertex colour the mesh layout, without it position and normal only.
        const bool withColor = corners[0].hasDiffuse;
        MeshVertex mesh[4];
        XyzNormalVertex plain[4];
        for (int i = 0; i < 4; ++i) {
            const VertexInput& c = corners[i];
            mesh[i] = {c.position.x, c.position.y, c.position.z, c.normal.x, c.normal.y, c.normal.z, c.diffuse,
                       0.0f, 0.0f};
            plain[i] = {c.position.x, c.position.y, c.position.z, c.normal.x, c.normal.y, c.normal.z};
        }
        device->SetVertexShader(withColor ? kMeshFvf : kXyzNormalFvf);
        if (withColor) {
            DrawUp(D3DPT_TRIANGLEFAN, 2, mesh, sizeof(MeshVertex));
        } else {
            DrawUp(D3DPT_TRIANGLEFAN, 2, plain, sizeof(XyzNormalVertex));
        }
        const PixelImage actual = Capture(suffix);

        const D3DMATRIX wvp = MatrixMultiply(MatrixMultiply(o.world, o.view), o.projection);
        ScreenVertex screen[4];
        VertexColors lit[4];
        for (int i = 0; i < 4; ++i) {
            const Vec3& p = corners[i].position;
            screen[i] = ClipToScreen(Transform({p.x, p.y, p.z, 1.0f}, wvp), viewport);
            lit[i] = LightVertex(state, o.world, o.view, corners[i]);
        }
        ReferenceCanvas expected(kSize, kSize, kClear);
        expected.FillFan(screen, o.edges, [&](const float* k, int, int, D3DCOLOR dst) {
            PixelInputs in;
            in.specularEnable = o.specularEnable;
            for (int j = 0; j < 4; ++j) {
                const VertexColors& v = lit[j];
                in.diffuse = {in.diffuse.r + v.diffuse.r * k[j], in.diffuse.g + v.diffuse.g * k[j],
                              in.diffuse.b + v.diffuse.b * k[j], in.diffuse.a + v.diffuse.a * k[j]};
                in.specular = {in.specular.r + v.specular.r * k[j], in.specular.g + v.specular.g * k[j],
                               in.specular.b + v.specular.b * k[j], 0.0f};
            }
            Color c = CombineStages({DefaultStage(0)}, in);
            if (o.blend) c = BlendColors(c, ColorFromArgb(dst), D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
            return ArgbFromColor(c);
        });
        EXPECT_TRUE(Matches(actual, expected, 2)) << suffix;
        Color first = lit[0].diffuse;
        if (o.specularEnable) first = CombineStages({}, PixelInputs{lit[0].diffuse, lit[0].specular, 0, true});
        return ArgbFromColor(first);
    }
};

} // namespace

TEST_F(FfpLightingTest, PointLightAttenuationAndRange) {
    // The light sits 2 units in front of the quad's centre; each corner is
    // sqrt(4.5) = 2.121 away, where N.L = 0.943 and the attenuation is
    // 1 / (0.25 + 0.25 d + 0.125 d^2) = 0.745.
    LightingState state;
    state.material.Diffuse = {0.9f, 0.6f, 0.3f, 1.0f};
    state.material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    D3DLIGHT8 light = MakeLight(D3DLIGHT_POINT, {0.0f, 0.0f, -1.5f}, {0.0f, 0.0f, 1.0f}, 3.0f);
    light.Attenuation0 = 0.25f;
    light.Attenuation1 = 0.25f;
    light.Attenuation2 = 0.125f;
    light.Ambient = {0.0f, 0.2f, 0.4f, 1.0f};
    state.lights.push_back(light);
    const std::vector<VertexInput> quad = FacingQuad(0.5f, 0.5f);

    const D3DCOLOR inside = CheckQuad(quad, state, {}, "inside");
    EXPECT_NE(inside & 0xFFFFFF, 0u);

    // A range of 2.1 leaves every corner out, though the centre is 2.0 away:
    // per-vertex lighting then gives nothing at all, not even the light's ambient.
    state.lights[0].Range = 2.1f;
    EXPECT_EQ(CheckQuad(quad, state, {}, "beyond") & 0xFFFFFF, 0u);
}

TEST_F(FfpLightingTest, PointLightOffAxisIsGouraudShaded) {
    // Every corner at a different distance and angle: the picture is the
    // model's four vertex colours interpolated, two triangles of the fan.
    LightingState state;
    state.material.Diffuse = {1.0f, 0.8f, 0.6f, 1.0f};
    D3DLIGHT8 light = MakeLight(D3DLIGHT_POINT, {0.35f, 0.2f, 0.1f}, {0.0f, 0.0f, 1.0f}, 10.0f);
    light.Attenuation0 = 0.0f;
    light.Attenuation1 = 1.5f;
    light.Diffuse = {1.0f, 1.0f, 0.5f, 1.0f};
    state.lights.push_back(light);
    CheckQuad(FacingQuad(0.5f, 0.5f), state, {}, "");
}

TEST_F(FfpLightingTest, SpotLightInsideBetweenAndOutsideItsCones) {
    // The spot looks along +z at the quad's centre; each corner is 19.47
    // degrees off its axis (rho = 0.943), the centre 0 degrees.
    LightingState state;
    state.material.Diffuse = {0.2f, 0.9f, 0.5f, 1.0f};
    D3DLIGHT8 light = MakeLight(D3DLIGHT_SPOT, {0.0f, 0.0f, -1.5f}, {0.0f, 0.0f, 1.0f}, 10.0f);
    light.Falloff = 1.0f;
    light.Theta = 60.0f * kDegrees; // inner half angle 30
    light.Phi = 90.0f * kDegrees;
    state.lights.push_back(light);
    const std::vector<VertexInput> quad = FacingQuad(0.5f, 0.5f);

    const D3DCOLOR inside = CheckQuad(quad, state, {}, "inside");

    state.lights[0].Theta = 20.0f * kDegrees; // half angles 10 and 30: (0.943 - 0.866) / (0.985 - 0.866)
    state.lights[0].Phi = 60.0f * kDegrees;
    const D3DCOLOR between = CheckQuad(quad, state, {}, "between");
    EXPECT_LT((between >> 8) & 0xFF, (inside >> 8) & 0xFF);
    EXPECT_GT((between >> 8) & 0xFF, 0u);

    // Outer half angle 15: the corners are outside, so the whole quad is dark
    // although its centre lies on the axis.
    state.lights[0].Theta = 10.0f * kDegrees;
    state.lights[0].Phi = 30.0f * kDegrees;
    EXPECT_EQ(CheckQuad(quad, state, {}, "outside") & 0xFFFFFF, 0u);
}

TEST_F(FfpLightingTest, AmbientFromRenderStateMaterialAndEmissive) {
    LightingState state;
    state.material.Ambient = {1.0f, 0.5f, 0.25f, 1.0f};
    state.material.Diffuse = {0.0f, 0.0f, 0.0f, 1.0f};
    state.material.Emissive = {0.1f, 0.0f, 0.2f, 0.0f};
    state.ambient = 0x00406080;
    CheckQuad(FacingQuad(0.5f, 0.5f), state, {}, "no-lights");
    // Highlights switched on with no light to make them: the same picture.
    state.material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    state.material.Power = 10.0f;
    Options specular;
    specular.specularEnable = true;
    CheckQuad(FacingQuad(0.5f, 0.5f), state, specular, "no-lights-specular");

    // A directional light adds its own ambient (never attenuated) to the render state's.
    D3DLIGHT8 light = MakeLight(D3DLIGHT_DIRECTIONAL, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, 0.0f);
    light.Diffuse = {0.0f, 0.0f, 0.0f, 1.0f};
    light.Ambient = {0.25f, 0.25f, 0.5f, 1.0f};
    state.lights.push_back(light);
    CheckQuad(FacingQuad(0.5f, 0.5f), state, {}, "light-ambient");
}

TEST_F(FfpLightingTest, SpecularOnOffAndLocalViewer) {
    LightingState state;
    state.material.Diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
    state.material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    state.material.Power = 10.0f;
    D3DLIGHT8 light = MakeLight(D3DLIGHT_DIRECTIONAL, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, 0.0f);
    light.Diffuse = {0.3f, 0.3f, 0.3f, 1.0f};
    light.Specular = {1.0f, 0.8f, 0.6f, 1.0f};
    state.lights.push_back(light);
    const std::vector<VertexInput> quad = FacingQuad(0.5f, 0.5f);

    Options o;
    const D3DCOLOR off = CheckQuad(quad, state, o, "off");
    o.specularEnable = true;
    const D3DCOLOR local = CheckQuad(quad, state, o, "local-viewer");
    state.localViewer = false;
    const D3DCOLOR infinite = CheckQuad(quad, state, o, "infinite-viewer");
    EXPECT_GT(local & 0xFF, off & 0xFF);
    EXPECT_GT(infinite & 0xFF, local & 0xFF);
}

TEST_F(FfpLightingTest, VertexColourAsDiffuseMaterialSource) {
    LightingState state;
    state.material.Diffuse = {0.0f, 0.0f, 1.0f, 1.0f};
    D3DLIGHT8 light = MakeLight(D3DLIGHT_DIRECTIONAL, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, 0.0f);
    state.lights.push_back(light);
    std::vector<VertexInput> quad = FacingQuad(0.5f, 0.5f);
    for (VertexInput& v : quad) {
        v.hasDiffuse = true;
        v.diffuse = 0x00FF8040; // as mesh vertex colours: alpha 0
    }

    // The vertex colour replaces the material's diffuse.
    EXPECT_EQ(CheckQuad(quad, state, {}, "vertex-colour") & 0xFFFFFF, 0xFF8040u);

    // Its alpha of 0 comes along: blended by source alpha the quad vanishes.
    Options blend;
    blend.blend = true;
    EXPECT_EQ(CheckQuad(quad, state, blend, "vertex-alpha") >> 24, 0u);

    // Without COLORVERTEX, or with a source the vertex lacks, the material is used.
    state.colorVertex = false;
    EXPECT_EQ(CheckQuad(quad, state, {}, "no-colorvertex") & 0xFFFFFF, 0x0000FFu);
    state.colorVertex = true;
    state.diffuseSource = D3DMCS_COLOR2;
    EXPECT_EQ(CheckQuad(quad, state, {}, "missing-source") & 0xFFFFFF, 0x0000FFu);

    // The other sources: ambient from the vertex colour, emissive from a
    // vertex specular colour the vertex lacks (so the material's).
    state.diffuseSource = D3DMCS_MATERIAL;
    state.ambientSource = D3DMCS_COLOR1;
    state.emissiveSource = D3DMCS_COLOR2;
    state.ambient = 0x00808080;
    state.material.Emissive = {0.0f, 0.25f, 0.0f, 0.0f};
    CheckQuad(quad, state, {}, "ambient-emissive-sources");
}

TEST_F(FfpLightingTest, ScaledWorldLeavesNormalsUnnormalised) {
    LightingState state;
    state.material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    D3DLIGHT8 light = MakeLight(D3DLIGHT_DIRECTIONAL, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, 0.0f);
    light.Diffuse = {0.4f, 0.3f, 0.2f, 1.0f};
    state.lights.push_back(light);

    // Half the size in the world, twice the size in the vertices: the same
    // quad on the screen, but the normals come out twice as long.
    Options o;
    o.world = MatrixScaling(0.5f, 0.5f, 0.5f);
    const D3DCOLOR scaled = CheckQuad(FacingQuad(1.0f, 1.0f), state, o, "scaled");
    EXPECT_EQ(scaled & 0xFFFFFF, 0xCC9966u);
    state.normalizeNormals = true;
    const D3DCOLOR normalised = CheckQuad(FacingQuad(1.0f, 1.0f), state, o, "normalized");
    EXPECT_EQ(normalised & 0xFFFFFF, 0x664D33u);
}

TEST_F(FfpLightingTest, LightsFollowWorldViewAndProjection) {
    // A camera above and behind, a rotated and moved quad, a point light
    // and a spot light given in world space; edges through the projection
    // are compared where no rounding can move them.
    LightingState state;
    state.material.Diffuse = {0.8f, 0.7f, 0.9f, 1.0f};
    state.material.Ambient = {0.2f, 0.2f, 0.2f, 1.0f};
    state.material.Specular = {0.5f, 0.5f, 0.5f, 1.0f};
    state.material.Power = 4.0f;
    state.ambient = 0x00202020;
    D3DLIGHT8 point = MakeLight(D3DLIGHT_POINT, {1.0f, 1.5f, -1.0f}, {0.0f, 0.0f, 1.0f}, 20.0f);
    point.Attenuation0 = 0.0f;
    point.Attenuation1 = 0.4f;
    point.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
    point.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    D3DLIGHT8 spot = MakeLight(D3DLIGHT_SPOT, {-2.0f, 1.0f, -2.0f}, {2.0f, -1.0f, 2.2f}, 20.0f);
    spot.Diffuse = {0.0f, 0.6f, 1.0f, 1.0f};
    spot.Falloff = 1.0f;
    spot.Theta = 10.0f * kDegrees;
    spot.Phi = 50.0f * kDegrees;
    state.lights = {point, spot};

    Options o;
    o.world = MatrixMultiply(MatrixRotationY(0.4f), MatrixTranslation(0.2f, -0.1f, 0.5f));
    o.view = MatrixLookAtLH({0.5f, 1.5f, -3.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
    o.projection = MatrixPerspectiveFovLH(60.0f * kDegrees, 1.0f, 0.5f, 20.0f);
    o.edges = ReferenceCanvas::Edges::Tolerant;
    o.specularEnable = true;
    CheckQuad(FacingQuad(1.0f, 0.0f), state, o, "");
}

TEST_F(FfpLightingTest, IndexedTexturedMeshFromBuffers) {
    // The path scene meshes take: 36-byte vertices in a vertex buffer, 16-bit
    // indices, a base vertex index and a start index past unused entries,
    // lit through the vertex colours and modulated by a texture.
    LightingState state;
    state.material.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    state.material.Ambient = {1.0f, 1.0f, 1.0f, 0.0f};
    state.ambient = 0x00202020;
    D3DLIGHT8 light = MakeLight(D3DLIGHT_DIRECTIONAL, {0.0f, 0.0f, 0.0f}, {0.3f, -0.2f, 1.0f}, 0.0f);
    light.Diffuse = {0.9f, 0.8f, 0.7f, 1.0f};
    state.lights.push_back(light);
    ApplyLighting(state);

    TextureImage texture;
    texture.width = 4;
    texture.height = 4;
    for (int i = 0; i < 16; ++i) texture.texels.push_back(0xFF000000u | static_cast<uint32_t>(i * 0x0F0B07));
    device->SetTexture(0, MakeTexture(texture));
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);

    // Two unused vertices ahead of the quad; three unused indices ahead of its two triangles.
    const D3DCOLOR colors[4] = {0x00FFFFFF, 0x00FFC080, 0x0080C0FF, 0x00C0FFC0};
    const float xs[4] = {-0.5f, 0.5f, 0.5f, -0.5f};
    const float ys[4] = {0.5f, 0.5f, -0.5f, -0.5f};
    // Coordinates start 1/32 in, so that no point sample falls on a texel boundary.
    const float us[4] = {0.03125f, 1.03125f, 1.03125f, 0.03125f};
    const float vs[4] = {0.03125f, 0.03125f, 1.03125f, 1.03125f};
    MeshVertex vertices[6] = {};
    for (int i = 0; i < 4; ++i) vertices[2 + i] = {xs[i], ys[i], 0.5f, 0.0f, 0.0f, -1.0f, colors[i], us[i], vs[i]};
    const uint16_t indices[9] = {7, 7, 7, 0, 1, 2, 0, 2, 3};

    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof vertices, D3DUSAGE_WRITEONLY, kMeshFvf, D3DPOOL_DEFAULT, &vb), D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(sizeof indices, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib),
              D3D_OK);
    BYTE* data = nullptr;
    ASSERT_EQ(vb->Lock(0, sizeof vertices, &data, 0), D3D_OK);
    std::memcpy(data, vertices, sizeof vertices);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    ASSERT_EQ(ib->Lock(0, sizeof indices, &data, 0), D3D_OK);
    std::memcpy(data, indices, sizeof indices);
    ASSERT_EQ(ib->Unlock(), D3D_OK);

    ASSERT_EQ(device->BeginScene(), D3D_OK);
    device->SetVertexShader(kMeshFvf);
    device->SetStreamSource(0, vb, sizeof(MeshVertex));
    device->SetIndices(ib, 2);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 2), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    device->SetStreamSource(0, nullptr, 0);
    device->SetIndices(nullptr, 0);
    vb->Release();
    ib->Release();
    const PixelImage actual = Capture();

    ScreenVertex corners[4];
    VertexColors lit[4];
    for (int i = 0; i < 4; ++i) {
        corners[i] = ClipToScreen({xs[i], ys[i], 0.5f, 1.0f}, viewport);
        VertexInput v;
        v.position = {xs[i], ys[i], 0.5f};
        v.hasNormal = true;
        v.normal = {0.0f, 0.0f, -1.0f};
        v.hasDiffuse = true;
        v.diffuse = colors[i];
        lit[i] = LightVertex(state, MatrixIdentity(), MatrixIdentity(), v);
    }
    StageState stage = DefaultStage(0);
    stage.colorArg2 = D3DTA_DIFFUSE;
    stage.textureBound = true;
    SamplerState sampler;
    ReferenceCanvas expected(kSize, kSize, kClear);
    expected.FillFan(corners, ReferenceCanvas::Edges::Exact, [&](const float* k, int, int, D3DCOLOR) {
        PixelInputs in;
        Vec2 uv{0.0f, 0.0f};
        for (int j = 0; j < 4; ++j) {
            in.diffuse = {in.diffuse.r + lit[j].diffuse.r * k[j], in.diffuse.g + lit[j].diffuse.g * k[j],
                          in.diffuse.b + lit[j].diffuse.b * k[j], 0.0f};
            uv.x += us[j] * k[j];
            uv.y += vs[j] * k[j];
        }
        stage.texel = SampleTexture(texture, uv, sampler);
        return ArgbFromColor(CombineStages({stage}, in));
    });
    EXPECT_TRUE(Matches(actual, expected, 2));
}
