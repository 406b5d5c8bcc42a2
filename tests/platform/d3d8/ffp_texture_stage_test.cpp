// Texture stages, sampling and texture coordinates as Direct3D 8 gives them:
// the stage cascade with and without textures, point and linear filtering
// with wrap and clamp, ADDSMOOTH as reflection maps use it, coordinates from
// camera-space normals through the sphere-map matrix, and texture matrices.
#include "tests/platform/d3d8/ffp_test_support.h"

#include <cmath>

using namespace d3dref;
using namespace ffp;

namespace {

// A 4 x 4 texture whose texels all differ, opaque.
TextureImage Distinct4x4() {
    TextureImage t;
    t.width = 4;
    t.height = 4;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            t.texels.push_back(0xFF000000u | (static_cast<uint32_t>(40 + x * 60) << 16) |
                               (static_cast<uint32_t>(20 + y * 70) << 8) | static_cast<uint32_t>(((x + y) % 2) ? 200 : 30));
        }
    }
    return t;
}

TextureImage Solid(int size, D3DCOLOR color) {
    TextureImage t;
    t.width = size;
    t.height = size;
    t.texels.assign(static_cast<size_t>(size) * size, color);
    return t;
}

// Screen position in the 32 x 32 viewport to clip space under identity transforms.
float ClipX(float sx) { return sx / 16.0f - 1.0f; }
float ClipY(float sy) { return 1.0f - sy / 16.0f; }

class FfpTextureStageTest : public FfpImageTest {
protected:
    void SetUp() override {
        FfpImageTest::SetUp();
        if (HasFatalFailure()) return;
        SetIdentityTransforms();
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
    }

    // Draws a pre-transformed quad and returns the model's picture of it:
    // shade(u, v, diffuse) at each covered pixel centre.
    template <class Shade>
    void DrawRhwQuadAndPaint(ReferenceCanvas* expected, float x0, float y0, float x1, float y1, D3DCOLOR color, float u0,
                             float v0, float u1, float v1, Shade shade) {
        RhwVertex quad[4];
        RhwQuad(quad, x0, y0, x1, y1, 0.5f, color, u0, v0, u1, v1);
        device->SetVertexShader(kRhwFvf);
        DrawUp(D3DPT_TRIANGLEFAN, 2, quad, sizeof(RhwVertex));
        ScreenVertex corners[4];
        for (int i = 0; i < 4; ++i) corners[i] = {quad[i].x, quad[i].y, quad[i].z, quad[i].rhw};
        expected->FillFan(corners, ReferenceCanvas::Edges::Exact, [&](const float* k, int, int, D3DCOLOR dst) {
            Vec2 uv{0.0f, 0.0f};
            for (int j = 0; j < 4; ++j) {
                uv.x += quad[j].u * k[j];
                uv.y += quad[j].v * k[j];
            }
            return shade(uv, ColorFromArgb(color), dst);
        });
    }

    void SetStage(DWORD stage, DWORD colorOp, DWORD arg1, DWORD arg2, DWORD alphaOp, DWORD alphaArg1,
                  DWORD alphaArg2) {
        device->SetTextureStageState(stage, D3DTSS_COLOROP, colorOp);
        device->SetTextureStageState(stage, D3DTSS_COLORARG1, arg1);
        device->SetTextureStageState(stage, D3DTSS_COLORARG2, arg2);
        device->SetTextureStageState(stage, D3DTSS_ALPHAOP, alphaOp);
        device->SetTextureStageState(stage, D3DTSS_ALPHAARG1, alphaArg1);
        device->SetTextureStageState(stage, D3DTSS_ALPHAARG2, alphaArg2);
    }

    static StageState Stage(DWORD colorOp, DWORD arg1, DWORD arg2, DWORD alphaOp, DWORD alphaArg1, DWORD alphaArg2) {
        StageState s;
        s.colorOp = colorOp;
        s.colorArg1 = arg1;
        s.colorArg2 = arg2;
        s.alphaOp = alphaOp;
        s.alphaArg1 = alphaArg1;
        s.alphaArg2 = alphaArg2;
        return s;
    }
};

} // namespace

TEST_F(FfpTextureStageTest, UntexturedModulatePassesDiffuseThrough) {
    // The device's default stages (MODULATE of TEXTURE and CURRENT, alpha
    // SELECTARG1 of TEXTURE) with no texture: the diffuse colour, alpha
    // included, which the blend then shows as a half-transparent red.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    ReferenceCanvas expected(kSize, kSize, kClear);
    const std::vector<StageState> stages = {DefaultStage(0), DefaultStage(1)};
    DrawRhwQuadAndPaint(&expected, 4, 4, 28, 28, 0x80FF2000, 0, 0, 1, 1, [&](Vec2, Color diffuse, D3DCOLOR dst) {
        PixelInputs in;
        in.diffuse = diffuse;
        return ArgbFromColor(
            BlendColors(CombineStages(stages, in), ColorFromArgb(dst), D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA));
    });
    EXPECT_TRUE(Matches(Capture(), expected, 2));
}

TEST_F(FfpTextureStageTest, UnboundStageAndDisableEndTheCascade) {
    // Stage 0 modulates a texture; stage 1 would add TFACTOR but reads a
    // texture that is not bound, so it passes stage 0 through; stage 2 is
    // DISABLE, so stage 3's SELECTARG1 of TFACTOR never runs.
    const TextureImage texture = Solid(2, 0xFF8040C0);
    device->SetTexture(0, MakeTexture(texture));
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF00FF00);
    SetStage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    SetStage(1, D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    SetStage(2, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT);
    SetStage(3, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT);
    for (DWORD stage = 1; stage < 4; ++stage) device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, 0);

    std::vector<StageState> stages = {
        Stage(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT),
        Stage(D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT),
        Stage(D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT),
        Stage(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT)};
    stages[0].textureBound = true;
    stages[0].texel = ColorFromArgb(texture.texels[0]);
    ReferenceCanvas expected(kSize, kSize, kClear);
    DrawRhwQuadAndPaint(&expected, 4, 4, 28, 28, 0xFFFF8080, 0, 0, 1, 1, [&](Vec2, Color diffuse, D3DCOLOR) {
        PixelInputs in;
        in.diffuse = diffuse;
        in.textureFactor = 0xFF00FF00;
        return ArgbFromColor(CombineStages(stages, in));
    });
    EXPECT_TRUE(Matches(Capture(), expected, 2));
}

TEST_F(FfpTextureStageTest, ColourOperations) {
    // One 8 x 8 cell per operation, texture and diffuse in every cell the same.
    const TextureImage texture = Solid(2, 0x60C08020);
    device->SetTexture(0, MakeTexture(texture));
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xA0306090);
    const D3DCOLOR diffuse = 0xC0406080;
    const DWORD ops[16] = {D3DTOP_SELECTARG1,         D3DTOP_SELECTARG2,        D3DTOP_MODULATE,
                           D3DTOP_MODULATE2X,         D3DTOP_MODULATE4X,        D3DTOP_ADD,
                           D3DTOP_ADDSIGNED,          D3DTOP_ADDSIGNED2X,       D3DTOP_SUBTRACT,
                           D3DTOP_ADDSMOOTH,          D3DTOP_BLENDDIFFUSEALPHA, D3DTOP_BLENDTEXTUREALPHA,
                           D3DTOP_BLENDFACTORALPHA,   D3DTOP_BLENDCURRENTALPHA, D3DTOP_BLENDTEXTUREALPHAPM,
                           D3DTOP_SELECTARG1};
    // The last cell reads the complemented, alpha-replicated texture.
    const DWORD lastArg = D3DTA_TEXTURE | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE;
    ReferenceCanvas expected(kSize, kSize, kClear);
    for (int i = 0; i < 16; ++i) {
        const DWORD arg1 = i == 15 ? lastArg : D3DTA_TEXTURE;
        SetStage(0, ops[i], arg1, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
        StageState s = Stage(ops[i], arg1, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
        s.textureBound = true;
        s.texel = ColorFromArgb(texture.texels[0]);
        const float x = static_cast<float>((i % 4) * 8);
        const float y = static_cast<float>((i / 4) * 8);
        DrawRhwQuadAndPaint(&expected, x, y, x + 8, y + 8, diffuse, 0, 0, 1, 1, [&](Vec2, Color d, D3DCOLOR) {
            PixelInputs in;
            in.diffuse = d;
            in.textureFactor = 0xA0306090;
            return ArgbFromColor(CombineStages({s}, in));
        });
    }
    EXPECT_TRUE(Matches(Capture(), expected, 2));
}

TEST_F(FfpTextureStageTest, PointAndLinearFilteringWithWrapAndClamp) {
    // Four 16 x 16 quads over texture coordinates -0.4375 to 1.5625: point
    // samples fall a quarter texel inside a texel, linear ones a quarter
    // texel from a centre.
    const TextureImage texture = Distinct4x4();
    device->SetTexture(0, MakeTexture(texture));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    ReferenceCanvas expected(kSize, kSize, kClear);
    const DWORD filters[2] = {D3DTEXF_POINT, D3DTEXF_LINEAR};
    const DWORD modes[2] = {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP};
    for (int f = 0; f < 2; ++f) {
        for (int m = 0; m < 2; ++m) {
            device->SetTextureStageState(0, D3DTSS_MAGFILTER, filters[f]);
            device->SetTextureStageState(0, D3DTSS_MINFILTER, filters[f]);
            device->SetTextureStageState(0, D3DTSS_ADDRESSU, modes[m]);
            device->SetTextureStageState(0, D3DTSS_ADDRESSV, modes[m]);
            SamplerState sampler;
            sampler.filter = filters[f];
            sampler.addressU = sampler.addressV = modes[m];
            const float x = 16.0f * m;
            const float y = 16.0f * f;
            DrawRhwQuadAndPaint(&expected, x, y, x + 16, y + 16, 0xFFFFFFFF, -0.4375f, -0.4375f, 1.5625f, 1.5625f,
                                [&](Vec2 uv, Color, D3DCOLOR) { return ArgbFromColor(SampleTexture(texture, uv, sampler)); });
        }
    }
    EXPECT_TRUE(Matches(Capture(), expected, 2));
}

TEST_F(FfpTextureStageTest, MinificationFilterNoneActsAsPoint) {
    // A 64 x 64 texture shrunk onto 16 x 16 pixels with the magnification
    // filter linear, as the skybox draws it: minification filter NONE
    // samples like POINT (left), LINEAR blends (right). Samples fall three
    // quarters into a texel.
    TextureImage texture;
    texture.width = 64;
    texture.height = 64;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            texture.texels.push_back(0xFF000000u | (static_cast<uint32_t>(x * 4) << 16) |
                                     (static_cast<uint32_t>(y * 4) << 8) | (((x ^ y) & 1) ? 200u : 50u));
        }
    }
    device->SetTexture(0, MakeTexture(texture));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    ReferenceCanvas expected(kSize, kSize, kClear);
    const float u0 = 0.75f / 64.0f;
    const DWORD filters[2] = {D3DTEXF_NONE, D3DTEXF_LINEAR};
    for (int i = 0; i < 2; ++i) {
        device->SetTextureStageState(0, D3DTSS_MINFILTER, filters[i]);
        SamplerState sampler;
        sampler.filter = filters[i];
        const float x = 16.0f * i;
        DrawRhwQuadAndPaint(&expected, x, 8, x + 16, 24, 0xFFFFFFFF, u0, u0, 1.0f + u0, 1.0f + u0,
                            [&](Vec2 uv, Color, D3DCOLOR) { return ArgbFromColor(SampleTexture(texture, uv, sampler)); });
    }
    EXPECT_TRUE(Matches(Capture(), expected, 2));
}

TEST_F(FfpTextureStageTest, AddSmoothAsReflectionMapsUseIt) {
    // Stage 0 modulates the base texture with the diffuse colour, stage 1
    // adds the reflection with ADDSMOOTH: a + b - a * b.
    const TextureImage base = Solid(2, 0xFF806040);
    const TextureImage reflection = Solid(2, 0xFF4080C0);
    device->SetTexture(0, MakeTexture(base));
    device->SetTexture(1, MakeTexture(reflection));
    SetStage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    SetStage(1, D3DTOP_ADDSMOOTH, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);

    std::vector<StageState> stages = {
        Stage(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT),
        Stage(D3DTOP_ADDSMOOTH, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT)};
    stages[0].textureBound = stages[1].textureBound = true;
    stages[0].texel = ColorFromArgb(base.texels[0]);
    stages[1].texel = ColorFromArgb(reflection.texels[0]);
    ReferenceCanvas expected(kSize, kSize, kClear);
    DrawRhwQuadAndPaint(&expected, 4, 4, 28, 28, 0xFFC0C0FF, 0, 0, 1, 1, [&](Vec2, Color d, D3DCOLOR) {
        PixelInputs in;
        in.diffuse = d;
        return ArgbFromColor(CombineStages(stages, in));
    });
    EXPECT_TRUE(Matches(Capture(), expected, 2));
}

TEST_F(FfpTextureStageTest, SphereMapFromCameraSpaceNormals) {
    // Texture coordinates from camera-space normals through the sphere-map
    // matrix (u = 0.5 + 0.5 nx, v = 0.5 - 0.5 ny). The world is scaled by 2,
    // so the normals arrive halved (nothing normalises them); a view
    // rotation about z turns them. Each corner has its own normal.
    const TextureImage texture = Distinct4x4();
    device->SetTexture(0, MakeTexture(texture));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    D3DMATRIX sphere{};
    sphere._11 = 0.5f;
    sphere._22 = -0.5f;
    sphere._33 = 1.0f;
    sphere._41 = 0.5f;
    sphere._42 = 0.5f;
    sphere._44 = 1.0f;
    device->SetTransform(D3DTS_TEXTURE0, &sphere);
    const D3DMATRIX world = MatrixScaling(2.0f, 2.0f, 2.0f);
    const D3DMATRIX view = MatrixRotationZ(0.3f);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetTransform(D3DTS_VIEW, &view);

    const Vec3 normals[4] = {{-1.6f, 1.2f, -0.6f}, {1.4f, 0.9f, -1.0f}, {1.2f, -1.6f, -0.4f}, {-0.8f, -1.4f, -1.2f}};
    MeshVertex quad[4];
    const float xs[4] = {-0.25f, 0.25f, 0.25f, -0.25f};
    const float ys[4] = {0.25f, 0.25f, -0.25f, -0.25f};
    for (int i = 0; i < 4; ++i) quad[i] = {xs[i], ys[i], 0.25f, normals[i].x, normals[i].y, normals[i].z, 0xFFFFFFFF, 0, 0};
    device->SetVertexShader(kMeshFvf);
    DrawUp(D3DPT_TRIANGLEFAN, 2, quad, sizeof(MeshVertex));
    const PixelImage actual = Capture();

    ScreenVertex corners[4];
    Vec2 uv[4];
    const D3DMATRIX wvp = MatrixMultiply(world, view);
    for (int i = 0; i < 4; ++i) {
        corners[i] = ClipToScreen(Transform({xs[i], ys[i], 0.25f, 1.0f}, wvp), viewport);
        uv[i] = CameraNormalTexCoord2(CameraSpaceNormal(normals[i], world, view, false), sphere);
    }
    SamplerState sampler;
    sampler.filter = D3DTEXF_LINEAR;
    ReferenceCanvas expected(kSize, kSize, kClear);
    expected.FillFan(corners, ReferenceCanvas::Edges::Tolerant, [&](const float* k, int, int, D3DCOLOR) {
        Vec2 p{0.0f, 0.0f};
        for (int j = 0; j < 4; ++j) {
            p.x += uv[j].x * k[j];
            p.y += uv[j].y * k[j];
        }
        return ArgbFromColor(SampleTexture(texture, p, sampler));
    });
    EXPECT_TRUE(Matches(actual, expected, 2));
}

TEST_F(FfpTextureStageTest, TextureMatrixOffsetsCoordinates) {
    // COUNT2 with the offset in _31/_32 (as animated texture maps set it)
    // moves the picture by a quarter in u and a half in v; pre-transformed
    // vertices ignore the texture matrix.
    const TextureImage texture = Distinct4x4();
    device->SetTexture(0, MakeTexture(texture));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    D3DMATRIX offset = MatrixIdentity();
    offset._31 = 0.25f;
    offset._32 = 0.5f;
    device->SetTransform(D3DTS_TEXTURE0, &offset);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);

    // Left: a 16 x 16 quad of untransformed vertices; coordinates start 1/32
    // in so that no sample falls on a texel boundary.
    const float u0 = 1.0f / 32.0f, u1 = 1.0f + 1.0f / 32.0f;
    const XyzTexVertex quad[4] = {{ClipX(0), ClipY(8), 0.5f, u0, u0},
                                  {ClipX(16), ClipY(8), 0.5f, u1, u0},
                                  {ClipX(16), ClipY(24), 0.5f, u1, u1},
                                  {ClipX(0), ClipY(24), 0.5f, u0, u1}};
    device->SetVertexShader(kXyzTexFvf);
    DrawUp(D3DPT_TRIANGLEFAN, 2, quad, sizeof(XyzTexVertex));

    SamplerState sampler;
    ReferenceCanvas expected(kSize, kSize, kClear);
    ScreenVertex corners[4];
    for (int i = 0; i < 4; ++i) corners[i] = ClipToScreen({quad[i].x, quad[i].y, quad[i].z, 1.0f}, viewport);
    expected.FillFan(corners, ReferenceCanvas::Edges::Exact, [&](const float* k, int, int, D3DCOLOR) {
        Vec2 uv{0.0f, 0.0f};
        for (int j = 0; j < 4; ++j) {
            uv.x += quad[j].u * k[j];
            uv.y += quad[j].v * k[j];
        }
        return ArgbFromColor(SampleTexture(texture, TransformTexCoord2(uv, offset), sampler));
    });

    // Right: the same quad pre-transformed, drawn without the offset.
    DrawRhwQuadAndPaint(&expected, 16, 8, 32, 24, 0xFFFFFFFF, u0, u0, u1, u1,
                        [&](Vec2 uv, Color, D3DCOLOR) { return ArgbFromColor(SampleTexture(texture, uv, sampler)); });
    EXPECT_TRUE(Matches(Capture(), expected, 2));
}

TEST_F(FfpTextureStageTest, SpecularIsAddedAfterTheStages) {
    // A dark texture modulates the lit diffuse colour; the highlight is added
    // afterwards, so it is not darkened by the texture.
    const TextureImage texture = Solid(2, 0xFF404040);
    device->SetTexture(0, MakeTexture(texture));
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    D3DMATERIAL8 material{};
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Power = 1.0f;
    device->SetMaterial(&material);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Diffuse = {0.8f, 0.8f, 0.8f, 1.0f};
    light.Specular = {0.0f, 0.25f, 0.5f, 1.0f};
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRS_LOCALVIEWER, FALSE);

    MeshVertex quad[4] = {{-0.5f, 0.5f, 0.5f, 0, 0, -1, 0xFFFFFFFF, 0, 0},
                          {0.5f, 0.5f, 0.5f, 0, 0, -1, 0xFFFFFFFF, 1, 0},
                          {0.5f, -0.5f, 0.5f, 0, 0, -1, 0xFFFFFFFF, 1, 1},
                          {-0.5f, -0.5f, 0.5f, 0, 0, -1, 0xFFFFFFFF, 0, 1}};
    device->SetVertexShader(kMeshFvf);
    DrawUp(D3DPT_TRIANGLEFAN, 2, quad, sizeof(MeshVertex));

    LightingState state;
    state.material = material;
    state.localViewer = false;
    state.lights.push_back(light);
    VertexInput v;
    v.position = {0.0f, 0.0f, 0.5f};
    v.hasNormal = true;
    v.normal = {0.0f, 0.0f, -1.0f};
    v.hasDiffuse = true;
    v.diffuse = 0xFFFFFFFF;
    const VertexColors lit = LightVertex(state, MatrixIdentity(), MatrixIdentity(), v);
    StageState stage = DefaultStage(0);
    stage.textureBound = true;
    stage.texel = ColorFromArgb(texture.texels[0]);
    const D3DCOLOR color = ArgbFromColor(CombineStages({stage}, PixelInputs{lit.diffuse, lit.specular, 0, true}));
    ReferenceCanvas expected(kSize, kSize, kClear);
    expected.Fill(8, 8, 24, 24, color);
    EXPECT_TRUE(Matches(Capture(), expected, 2));
}
