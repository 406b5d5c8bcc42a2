// Vertex-format decoding and the fixed-function state key: what decides
// which generated program draws.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/d3d8/d3d8_vertex_format.h"
#include "platform/d3d8/ffp_shader_gen.h"
#include "platform/d3d8/ffp_shader_key.h"

using namespace zolt_d3d;

TEST(D3dVertexFormat, EngineFormatsDecodeToTheirLayouts)
{
    VertexLayout mesh;
    ASSERT_TRUE(DecodeFvf(0x152, &mesh));
    EXPECT_EQ(mesh.size, 36u);
    EXPECT_FALSE(mesh.pretransformed);
    EXPECT_EQ(mesh.normalOffset, 12u);
    EXPECT_EQ(mesh.diffuseOffset, 24u);
    ASSERT_EQ(mesh.texCount, 1u);
    EXPECT_EQ(mesh.texOffset[0], 28u);
    EXPECT_EQ(mesh.texComponents[0], 2);

    VertexLayout screen;
    ASSERT_TRUE(DecodeFvf(0x144, &screen));
    EXPECT_EQ(screen.size, 28u);
    EXPECT_TRUE(screen.pretransformed);
    EXPECT_EQ(screen.positionComponents, 4);
    EXPECT_EQ(screen.diffuseOffset, 16u);
    EXPECT_EQ(screen.texOffset[0], 20u);

    VertexLayout sky;
    ASSERT_TRUE(DecodeFvf(0x102, &sky));
    EXPECT_EQ(sky.size, 20u);
    EXPECT_EQ(sky.diffuseOffset, kNoAttribute);
    EXPECT_EQ(sky.texOffset[0], 12u);

    VertexLayout shape;
    ASSERT_TRUE(DecodeFvf(0x42, &shape));
    EXPECT_EQ(shape.size, 16u);
    EXPECT_EQ(shape.texCount, 0u);
}

TEST(D3dVertexFormat, OtherCombinationsAndRejections)
{
    VertexLayout layout;
    // Specular follows diffuse; a 3D coordinate set takes 12 bytes.
    ASSERT_TRUE(DecodeFvf(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(0),
                          &layout));
    EXPECT_EQ(layout.specularOffset, 16u);
    EXPECT_EQ(layout.texOffset[0], 20u);
    EXPECT_EQ(layout.texComponents[0], 3);
    EXPECT_EQ(layout.texOffset[1], 32u);
    EXPECT_EQ(layout.size, 40u);

    EXPECT_FALSE(DecodeFvf(D3DFVF_DIFFUSE, &layout));          // no position
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZ | (9u << 8), &layout));  // nine coordinate sets
}

TEST(D3dVertexFormat, VertexCountsPerPrimitiveType)
{
    EXPECT_EQ(VertexCountForPrimitives(D3DPT_POINTLIST, 5), 5u);
    EXPECT_EQ(VertexCountForPrimitives(D3DPT_LINELIST, 5), 10u);
    EXPECT_EQ(VertexCountForPrimitives(D3DPT_LINESTRIP, 5), 6u);
    EXPECT_EQ(VertexCountForPrimitives(D3DPT_TRIANGLELIST, 5), 15u);
    EXPECT_EQ(VertexCountForPrimitives(D3DPT_TRIANGLESTRIP, 5), 7u);
    EXPECT_EQ(VertexCountForPrimitives(D3DPT_TRIANGLEFAN, 5), 7u);
    EXPECT_EQ(VertexCountForPrimitives(D3DPT_TRIANGLELIST, 0), 0u);
    EXPECT_EQ(VertexCountForPrimitives(99, 1), 0u);
    EXPECT_EQ(VertexCountForPrimitives(D3DPT_TRIANGLELIST, 0xFFFFFFFFu), 0u); // would overflow
}

namespace {

// Direct3D's default states, enough for building keys.
class ShaderKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(rs, 0, sizeof(rs));
        std::memset(ts, 0, sizeof(ts));
        rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
        rs[D3DRS_LIGHTING] = TRUE;
        rs[D3DRS_COLORVERTEX] = TRUE;
        rs[D3DRS_LOCALVIEWER] = TRUE;
        rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
        rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
        rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
        for (int s = 0; s < kMaxStages; ++s) {
            ts[s][D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
            ts[s][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
            ts[s][D3DTSS_COLORARG2] = D3DTA_CURRENT;
            ts[s][D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
            ts[s][D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
            ts[s][D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
            ts[s][D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(s);
            ts[s][D3DTSS_RESULTARG] = D3DTA_CURRENT;
        }
        ASSERT_TRUE(DecodeFvf(0x152, &layout));
    }

    FfpKey Build()
    {
        FfpInputs inputs;
        inputs.renderStates = rs;
        inputs.stageStates = ts;
        for (int s = 0; s < kMaxStages; ++s) {
            inputs.textureBound[s] = bound[s];
        }
        inputs.layout = &layout;
        inputs.lightCount = lightCount;
        for (int i = 0; i < lightCount; ++i) {
            inputs.lightTypes[i] = lightTypes[i];
        }
        FfpKey key;
        BuildFfpKey(inputs, &key);
        return key;
    }

    DWORD rs[kRenderStateCount];
    DWORD ts[kMaxStages][kStageStateCount];
    bool bound[kMaxStages] = {};
    VertexLayout layout;
    int lightCount = 0;
    D3DLIGHTTYPE lightTypes[kMaxActiveLights] = {};
};

} // namespace

TEST_F(ShaderKeyTest, UnboundTextureArgumentPassesThePreviousResult)
{
    FfpKey key = Build();
    ASSERT_EQ(key.stageCount, 1);
    EXPECT_EQ(key.stages[0].colorPass, 1);
    EXPECT_EQ(key.stages[0].alphaPass, 1);
    EXPECT_EQ(key.stages[0].sample, 0);

    bound[0] = true;
    key = Build();
    EXPECT_EQ(key.stages[0].colorPass, 0);
    EXPECT_EQ(key.stages[0].alphaPass, 0);
    EXPECT_EQ(key.stages[0].sample, 1);
    EXPECT_EQ(key.stages[0].colorOp, D3DTOP_MODULATE);

    // An operation that does not read its texture argument is not affected.
    bound[0] = false;
    ts[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG2;
    key = Build();
    EXPECT_EQ(key.stages[0].colorPass, 0);
    EXPECT_EQ(key.stages[0].colorArg1, 0) << "unread arguments are left out of the key";
    EXPECT_EQ(key.stages[0].colorArg2, D3DTA_CURRENT);
    // BLENDTEXTUREALPHA reads the texture without naming it.
    ts[0][D3DTSS_COLOROP] = D3DTOP_BLENDTEXTUREALPHA;
    ts[0][D3DTSS_COLORARG1] = D3DTA_DIFFUSE;
    EXPECT_EQ(Build().stages[0].colorPass, 1);
}

TEST_F(ShaderKeyTest, DisabledColourStageEndsTheCascade)
{
    bound[0] = bound[1] = bound[2] = true;
    ts[1][D3DTSS_COLOROP] = D3DTOP_ADDSMOOTH;
    ts[2][D3DTSS_COLOROP] = D3DTOP_MODULATE;
    EXPECT_EQ(Build().stageCount, 3);
    ts[1][D3DTSS_COLOROP] = D3DTOP_DISABLE;
    const FfpKey key = Build();
    EXPECT_EQ(key.stageCount, 1);
    EXPECT_EQ(key.stages[1].sample, 0);
    EXPECT_EQ(key.stages[2].colorOp, 0);
}

TEST_F(ShaderKeyTest, EqualStatesGiveEqualKeysAndIrrelevantStatesDoNot)
{
    const FfpKey first = Build();
    // Filters and addressing are sampler state, not program state.
    ts[0][D3DTSS_MINFILTER] = D3DTEXF_LINEAR;
    ts[0][D3DTSS_ADDRESSU] = D3DTADDRESS_CLAMP;
    // Arguments of a stage beyond the cascade do not matter.
    ts[3][D3DTSS_COLORARG1] = D3DTA_TFACTOR;
    const FfpKey second = Build();
    EXPECT_TRUE(first == second);
    EXPECT_EQ(FfpKeyHash()(first), FfpKeyHash()(second));

    rs[D3DRS_SPECULARENABLE] = TRUE;
    EXPECT_TRUE(Build() != first);
}

TEST_F(ShaderKeyTest, LightingResolvesMaterialSourcesAgainstTheVertex)
{
    lightCount = 2;
    lightTypes[0] = D3DLIGHT_POINT;
    lightTypes[1] = D3DLIGHT_SPOT;
    FfpKey key = Build();
    EXPECT_EQ(key.lighting, 1);
    EXPECT_EQ(key.lightCount, 2);
    EXPECT_EQ(key.lightType[1], D3DLIGHT_SPOT);
    EXPECT_EQ(key.diffuseSource, kSourceVertexDiffuse);
    // The vertex has no specular colour: the material's is used.
    rs[D3DRS_SPECULARENABLE] = TRUE;
    key = Build();
    EXPECT_EQ(key.needSpecular, 1);
    EXPECT_EQ(key.specularSource, kSourceMaterial);
    // Without COLORVERTEX every source is the material.
    rs[D3DRS_COLORVERTEX] = FALSE;
    EXPECT_EQ(Build().diffuseSource, kSourceMaterial);
    // Pre-transformed vertices are never lit.
    ASSERT_TRUE(DecodeFvf(0x144, &layout));
    key = Build();
    EXPECT_EQ(key.lighting, 0);
    EXPECT_EQ(key.lightCount, 0);
}

TEST_F(ShaderKeyTest, TextureCoordinateSourcesAndTransforms)
{
    bound[0] = true;
    ts[0][D3DTSS_TEXCOORDINDEX] = D3DTSS_TCI_CAMERASPACENORMAL;
    ts[0][D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_COUNT2;
    FfpKey key = Build();
    EXPECT_EQ(key.stages[0].texSource, 1);
    EXPECT_EQ(key.stages[0].texTransformCount, 2);
    // A missing coordinate set is marked as such.
    ts[0][D3DTSS_TEXCOORDINDEX] = 3;
    EXPECT_EQ(Build().stages[0].texIndex, kMaxTexCoordSets);
    // No texture matrix for pre-transformed vertices.
    ts[0][D3DTSS_TEXCOORDINDEX] = 0;
    ASSERT_TRUE(DecodeFvf(0x144, &layout));
    EXPECT_EQ(Build().stages[0].texTransformCount, 0);
}

TEST_F(ShaderKeyTest, GeneratedShadersFollowTheKey)
{
    lightCount = 1;
    lightTypes[0] = D3DLIGHT_SPOT;
    bound[0] = true;
    rs[D3DRS_ALPHATESTENABLE] = TRUE;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_GREATER;
    const FfpKey key = Build();
    const std::string vs = GenerateFfpVertexShader(key, true);
    const std::string fs = GenerateFfpFragmentShader(key);
    EXPECT_NE(vs.find("cosPhi"), std::string::npos) << "the spot cone is computed";
    EXPECT_EQ(vs.find("2.0 * clip.z"), std::string::npos) << "no depth remap with clip control";
    EXPECT_NE(GenerateFfpVertexShader(key, false).find("2.0 * clip.z - clip.w"), std::string::npos);
    EXPECT_NE(fs.find("texture(uTex0"), std::string::npos);
    EXPECT_NE(fs.find("> uAlphaRef"), std::string::npos);
    // Nothing branches on state at run time in the pixel shader.
    EXPECT_EQ(fs.find("uniform int"), std::string::npos);
}
