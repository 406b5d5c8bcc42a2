// The sample show as the build makes it: the generator runs into a fresh
// folder, then the script is read back, every scene is loaded, prepared and
// played through the engine's own readers on a headless device, and every
// picture and the music are opened the way the player opens them. Nothing
// may show a message box on the way.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "content/scene_kit.h"
#include "content/show.h"
#include "demo/script_reader.h"
#include "math/d3dx_math.h"
#include "math/engine_math.h"
#include "modifiers/modifier.h"
#include "modifiers/modifier_skin.h"
#include "pack/pack_file.h"
#include "platform/d3dx/image_decoder.h"
#include "scene/camera.h"
#include "scene/helper_object.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/scene.h"
#include "scene/shape.h"
#include "scene/texture_map.h"
#include "sound/music_stream.h"
#include "tests/support/box_capture.h"
#include "tests/support/pack_builder.h"
#include "tests/support/show_device.h"

namespace {

std::string BaseName(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

struct ScriptEffect {
    int32_t kind = -1;
    std::string name;
    float start = 0.0f, end = 0.0f;
    std::string scene;
};

class ShowContentTest : public ShowDeviceTest, protected BoxCapture {
protected:
    static void SetUpTestSuite()
    {
        ShowDeviceTest::SetUpTestSuite();
        s_folder = new TempDirectory();
        s_made = content::MakeShow(s_folder->Path(), ZOLT_CAPTION_FONT, ZOLT_MUSIC_SOURCE);
    }
    static void TearDownTestSuite()
    {
        delete s_folder;
        ShowDeviceTest::TearDownTestSuite();
    }
    void SetUp() override
    {
        ShowDeviceTest::SetUp();
        ASSERT_TRUE(s_made);
        m_cwd = std::make_unique<WorkingDirectory>(s_folder->Path());
    }
    void TearDown() override { m_cwd.reset(); }

    static std::vector<uint8_t> Member(const std::string& name)
    {
        CPackFile file;
        if (file.Open(name.c_str(), "data.pac") != 0)
            return {};
        std::vector<uint8_t> bytes(static_cast<size_t>(file.Remaining()));
        file.Read(bytes.data(), 1, static_cast<int>(bytes.size()), &file);
        file.Close();
        return bytes;
    }

    // Loads, prepares on the show's device and returns the scene.
    std::unique_ptr<CScene> Play(const std::string& name)
    {
        auto scene = std::make_unique<CScene>();
        EXPECT_EQ(0, scene->LoadScene(name.c_str())) << name;
        EXPECT_EQ(0, scene->Prepare(s_device->Device())) << name;
        return scene;
    }

    inline static TempDirectory* s_folder = nullptr;
    inline static bool s_made = false;
    std::unique_ptr<WorkingDirectory> m_cwd;
};

bool Finite(const D3DMATRIX& m)
{
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            if (!std::isfinite(m.m[row][column]))
                return false;
    return true;
}

// Where the skin puts each vertex with the bones where the node tree left
// them: the sum over its influences of weight x the vertex moved from its
// bone's bind pose to the bone's world (mesh x bind^-1 x world x mesh^-1).
std::vector<D3DVECTOR> SkinnedPositions(const CMesh& mesh, const CModifierSkin& skin)
{
    D3DXMATRIX meshMatrix(skin.m_meshMatrix), inverseMesh;
    D3DXMatrixInverse(&inverseMesh, nullptr, &meshMatrix);
    std::vector<D3DXMATRIX> moves;
    for (const SkinBone& bone : skin.m_bones) {
        D3DXMATRIX bind(bone.m_bindMatrix), inverseBind, world(*bone.m_world), toBone, toWorld, move;
        D3DXMatrixInverse(&inverseBind, nullptr, &bind);
        D3DXMatrixMultiply(&toBone, &meshMatrix, &inverseBind);
        D3DXMatrixMultiply(&toWorld, &toBone, &world);
        D3DXMatrixMultiply(&move, &toWorld, &inverseMesh);
        moves.push_back(move);
    }
    std::vector<D3DVECTOR> positions;
    for (size_t i = 0; i < mesh.baseVertices.size(); ++i) {
        const MeshVertex& v = mesh.baseVertices[i];
        const SkinVertex& influences = skin.m_vertices[i];
        D3DVECTOR sum = {0, 0, 0};
        for (int k = 0; k < influences.m_nbBone; ++k) {
            const D3DVECTOR moved = transformPoint(moves[influences.m_boneIndices[k]], D3DVECTOR{v.x, v.y, v.z});
            sum.x += influences.m_weights[k] * moved.x;
            sum.y += influences.m_weights[k] * moved.y;
            sum.z += influences.m_weights[k] * moved.z;
        }
        positions.push_back(sum);
    }
    return positions;
}

TEST_F(ShowContentTest, ScriptTimesTheShowOverItsMusicAndEveryPictureDecodes)
{
    std::FILE* file = std::fopen("Marble.Spt", "rb");
    ASSERT_NE(nullptr, file);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    ScriptReader reader(file);
    std::string music;
    uint8_t curves = 1;
    int32_t count = 0;
    ASSERT_TRUE(reader.ReadString(&music) && reader.ReadByte(&curves) && reader.ReadInt32(&count));
    EXPECT_EQ(BaseName(ZOLT_MUSIC_SOURCE), music);
    EXPECT_EQ(0, curves);
    std::vector<ScriptEffect> effects(static_cast<size_t>(count));
    for (ScriptEffect& effect : effects) {
        ASSERT_TRUE(reader.ReadInt32(&effect.kind) && reader.ReadString(&effect.name) && reader.ReadFloat(&effect.start)
                    && reader.ReadFloat(&effect.end));
        if (effect.kind == 1) {
            ASSERT_TRUE(reader.ReadString(&effect.scene));
        }
    }
    EXPECT_EQ(0u, reader.Remaining());

    ASSERT_GE(effects.size(), 4u);
    EXPECT_EQ(2, effects[0].kind);
    EXPECT_EQ(0.0f, effects[0].start);
    EXPECT_GE(effects[0].end, 56000.0f);
    std::multiset<int32_t> kinds;
    int overlaps = 0, gaps = 0;
    for (size_t i = 0; i < effects.size(); ++i) {
        kinds.insert(effects[i].kind);
        EXPECT_LT(effects[i].start, effects[i].end) << effects[i].name;
        if (effects[i].kind == 1) {
            EXPECT_FALSE(Member(effects[i].scene).empty()) << effects[i].scene;
        }
        if (i + 1 < effects.size()) {
            overlaps += effects[i + 1].start < effects[i].end;
            gaps += effects[i + 1].start > effects[i].end;
            EXPECT_GT(effects[i + 1].start, effects[i].start);
        }
    }
    EXPECT_GE(kinds.count(1), 2u);
    EXPECT_EQ(1u, kinds.count(0));
    EXPECT_GE(overlaps, 3);
    EXPECT_EQ(1, gaps);
    const float showEnd = effects.back().end;
    EXPECT_GE(showEnd, 90000.0f);

    // The music the build puts beside the script plays at least as long.
    MusicStream stream(ZOLT_MUSIC_SOURCE);
    EXPECT_GE(static_cast<float>(stream.GetLength()), showEnd);
    stream.Close();

    // The overlay pictures and the sky faces decode at their sizes.
    struct Expected {
        std::string name;
        UINT width, height;
        bool alpha;
    };
    std::vector<Expected> pictures = {{"Kestrel.TGA", 256, 64, true}};
    for (int i = 1; i <= 10; ++i)
        pictures.push_back({"Marble" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".TGA", 512, 64, true});
    for (const char* face : {"FR", "BK", "DN", "UP", "LF", "RT"})
        pictures.push_back({std::string("Otter_") + face + ".JPG", 512, 512, false});
    for (const Expected& expected : pictures) {
        const std::vector<uint8_t> bytes = Member(expected.name);
        DecodedImage image;
        ASSERT_EQ(DecodeResult::Ok, DecodeImage(bytes.data(), bytes.size(), &image)) << expected.name;
        EXPECT_EQ(expected.width, image.width) << expected.name;
        EXPECT_EQ(expected.height, image.height) << expected.name;
        EXPECT_EQ(expected.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, image.format) << expected.name;
        if (expected.alpha) {
            // Text over a clear ground: both clear and solid texels.
            int clear = 0, solid = 0;
            for (UINT i = 0; i < image.width * image.height; ++i) {
                clear += (image.texels[i] >> 24) == 0;
                solid += (image.texels[i] >> 24) == 0xFF;
            }
            EXPECT_GT(clear, static_cast<int>(image.width * image.height / 3)) << expected.name;
            EXPECT_GT(solid, 200) << expected.name;
        }
    }
    EXPECT_TRUE(boxes.empty()) << boxes[0].text;
}

TEST_F(ShowContentTest, EverySceneLoadsAndPlaysWithoutAMessageAndTheyShowEveryFeature)
{
    std::set<int32_t> lightTypes, modifierTypes, mapKinds;
    int wireframe = 0, twoSided = 0, transparent = 0, animatedMaps = 0, splines = 0, rolling = 0, helpers = 0;
    for (const content::NamedScene& named : content::ShowScenes()) {
        std::unique_ptr<CScene> scene = Play(named.fileName);
        EXPECT_TRUE(boxes.empty()) << named.fileName << ": " << (boxes.empty() ? "" : boxes[0].text);
        boxes.clear();
        ASSERT_GT(scene->frameRate, 0);
        for (float frame : {0.0f, scene->endFrame * 0.37f, scene->endFrame - 0.5f}) {
            scene->Update(frame);
            for (CMesh* mesh : scene->meshes)
                EXPECT_TRUE(Finite(mesh->world)) << named.fileName << " " << mesh->name << " at " << frame;
            for (CCamera* camera : scene->cameras)
                rolling += camera->rotation.w != 0.0f;
        }
        for (CLight* light : scene->lights)
            lightTypes.insert(light->type);
        for (CMesh* mesh : scene->meshes)
            for (CModifier* modifier : mesh->modifiers)
                modifierTypes.insert(modifier->m_type);
        for (int i = 0; i < scene->materialCount; ++i) {
            const CMaterial& material = scene->materials[i];
            wireframe += material.wireframe;
            twoSided += material.twoSided;
            transparent += material.transparency > 0.1f;
            for (int m = 0; m < material.mapCount; ++m) {
                mapKinds.insert(material.maps[m].kind);
                animatedMaps += material.maps[m].animated;
            }
        }
        for (CShape* shape : scene->shapes)
            splines += shape->splineCount;
        helpers += scene->helpers.Count();
        // Each scene views through its own camera, but the otter, which is
        // drawn through the hall's.
        if (named.fileName != "Plan1_partotter.KVF") {
            EXPECT_NE(nullptr, scene->cameras.First()->name) << named.fileName;
            EXPECT_EQ(content::kLightsPerScene, scene->lights.Count()) << named.fileName;
        }
    }
    EXPECT_EQ((std::set<int32_t>{1, 2, 3}), lightTypes);
    EXPECT_EQ((std::set<int32_t>{0, 1, 2, 8, 16, 32}), modifierTypes);
    EXPECT_EQ((std::set<int32_t>{1, 6, 9}), mapKinds);
    EXPECT_GT(wireframe, 0);
    EXPECT_GT(twoSided, 0);
    EXPECT_GT(transparent, 0);
    EXPECT_GT(animatedMaps, 0);
    EXPECT_GT(splines, 0);
    EXPECT_GT(rolling, 0);
    EXPECT_GT(helpers, 0);

    // Marble1's main scene runs past frame 1490, where the second one joins.
    std::unique_ptr<CScene> hall = Play("Plan1_part1.KVF");
    EXPECT_GE(hall->endFrame, 1500);
    EXPECT_GE(hall->endFrame * 1000.0f / hall->frameRate, 56000.0f);
    // The logo and captions are drawn after the hall with the blend factors
    // its drawing left: an opacity-mapped material sets source alpha over
    // inverse source alpha, so they blend instead of covering a rectangle.
    bool blendsByAlpha = false;
    for (int i = 0; i < hall->materialCount; ++i)
        blendsByAlpha = blendsByAlpha || (hall->materials[i].mapFlags & 6) != 0;
    EXPECT_TRUE(blendsByAlpha);

    // The walker's bones carry it round its circle: its front (the file's -Y,
    // the player's +z) points where it goes, and its skinned mesh stands on the
    // floor under its hips, head up, at every frame looked at.
    std::unique_ptr<CScene> dancer = Play("Dancer.KVF");
    CHelper* hips = dancer->RetrieveHelper("Bone hips");
    CMesh* walker = dancer->RetrieveMesh("Walker");
    ASSERT_NE(nullptr, hips);
    ASSERT_NE(nullptr, walker);
    ASSERT_EQ(1, walker->modifiers.Count());
    const auto* skin = dynamic_cast<const CModifierSkin*>(walker->modifiers.First());
    ASSERT_NE(nullptr, skin);
    for (const SkinVertex& influences : skin->m_vertices)
        ASSERT_GT(influences.m_nbBone, 0) << "a vertex no bone moves";
    for (float frame : {40.0f, 255.0f, 610.0f, 1001.0f}) {
        dancer->Update(frame + 2.0f);
        const D3DVECTOR ahead = hips->position;
        dancer->Update(frame - 2.0f);
        const D3DVECTOR behind = hips->position;
        dancer->Update(frame);
        const float dx = ahead.x - behind.x, dz = ahead.z - behind.z;
        const float fx = hips->world._31, fz = hips->world._33;
        const float facing = (dx * fx + dz * fz) / std::sqrt((dx * dx + dz * dz) * (fx * fx + fz * fz));
        EXPECT_GT(facing, 0.95f) << "at frame " << frame;

        const std::vector<D3DVECTOR> skinned = SkinnedPositions(*walker, *skin);
        float low = 1e9f, high = -1e9f, meanX = 0.0f, meanZ = 0.0f;
        for (const D3DVECTOR& v : skinned) {
            low = std::fmin(low, v.y);
            high = std::fmax(high, v.y);
            meanX += v.x / skinned.size();
            meanZ += v.z / skinned.size();
        }
        EXPECT_NEAR(0.0f, low, 1.2f) << "feet at frame " << frame;
        EXPECT_NEAR(19.0f, high, 1.5f) << "head at frame " << frame;
        EXPECT_NEAR(hips->position.x, meanX, 2.0f);
        EXPECT_NEAR(hips->position.z, meanZ, 2.0f);
    }
    EXPECT_TRUE(boxes.empty());
}

} // namespace
