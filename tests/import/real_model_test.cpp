// Real models from Debian's packages, each imported, loaded by the player's
// loader and compared with the library's own reading: the counts, and the
// world matrix of every node at two frames against the library's keys
// interpolated here. zolt-render then draws each at its last frame, the
// picture kept under test-output for a person to look at.
#include <set>

#include <stb/stb_image.h>

#include "modifiers/modifier_skin.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/texture_map.h"
#include "tests/support/headless_device.h"
#include "tests/import/import_fixture.h"
#include "tests/support/png_writer.h"
#include "tools/import/import_command.h"
#include "tools/render/render_command.h"

namespace {

struct RealModel {
    const char* path;
    const char* package;
    // Frames whose world matrices must match: where sampled tracks hold the
    // library's values exactly, and for key-framed 3DS tracks the frames of
    // their keys.
    std::vector<double> frames;
};

std::ostream& operator<<(std::ostream& out, const RealModel& model)
{
    return out << model.path;
}

class RealModelTest : public ImportTest, public ::testing::WithParamInterface<RealModel> {};

TEST_P(RealModelTest, ImportsLoadsAndMovesAsTheLibraryDoes)
{
    const RealModel& model = GetParam();
    REQUIRE_MODEL(model.path, model.package);
    const ImportRun run = Import({model.path});
    ASSERT_EQ(0, run.status) << run.err;
    const std::string sceneName = import::DefaultSceneName(model.path);
    EXPECT_EQ(0u, run.out.find(sceneName + ": ")) << run.out;

    const aiScene* source = ReadModel(model.path);
    ASSERT_NE(nullptr, source);
    std::unique_ptr<CScene> scene = Load(sceneName);

    // Counts: every mesh a node uses is a mesh of the scene (more when split).
    int faces = 0, bones = 0, instances = 0;
    for (const aiNode* node : ModelNodes(source)) {
        for (unsigned i = 0; i < node->mNumMeshes; ++i) {
            const aiMesh* mesh = source->mMeshes[node->mMeshes[i]];
            faces += static_cast<int>(mesh->mNumFaces);
            bones += static_cast<int>(mesh->mNumBones);
            instances += 1;
        }
    }
    int engineFaces = 0, engineBones = 0;
    for (const CMesh* mesh : scene->meshes) {
        engineFaces += mesh->faceCount;
        EXPECT_LE(mesh->vertexCount, 65535) << mesh->name;
        for (const CModifier* modifier : mesh->modifiers) {
            engineBones += static_cast<const CModifierSkin*>(modifier)->m_nbBone;
        }
    }
    EXPECT_GE(scene->meshes.Count(), instances);
    EXPECT_EQ(faces, engineFaces);
    EXPECT_EQ(source->mNumCameras == 0 ? 1 : static_cast<int>(source->mNumCameras), scene->cameras.Count());
    // A model without lights is given two.
    EXPECT_EQ(source->mNumLights == 0 ? 2 : static_cast<int>(source->mNumLights), scene->lights.Count());
    if (bones == 0) {
        EXPECT_EQ(0, engineBones);
    } else {
        EXPECT_GE(engineBones, bones); // once per part of a split mesh
    }

    // Names the model repeats are made unique; the rest keep theirs.
    std::multiset<std::string> names;
    for (const aiNode* node : ModelNodes(source)) {
        names.insert(node->mName.C_Str());
    }
    for (double frame : model.frames) {
        scene->Update(static_cast<float>(frame));
        const auto worlds = ReferenceWorlds(source, TicksAtFrame(source, frame));
        for (const aiNode* node : ModelNodes(source)) {
            if (names.count(node->mName.C_Str()) != 1) {
                continue;
            }
            const CNode* engineNode = FindNode(*scene, node->mName.C_Str());
            ASSERT_NE(nullptr, engineNode) << node->mName.C_Str();
            ExpectMatrixNear(EngineMatrix(worlds.at(node)), engineNode->world,
                             std::string(node->mName.C_Str()) + " at frame " + std::to_string(frame));
        }
    }

    // zolt-render draws the scene on black: through the model's own camera
    // or the one added, lit by its own lights or the added ones, the model
    // shows.
    const std::string picture = TestOutputPath("RealModelTest." + sceneName);
    const std::string frame = std::to_string(model.frames.back());
    const std::string pack = Pack();
    const char* const arguments[] = {"zolt-render", "--pack", pack.c_str(), "--frame", frame.c_str(),
                                     "--clear", "0x000000", "--out", picture.c_str(), sceneName.c_str()};
    ASSERT_EQ(0, RunRender(10, arguments, stdout));
    int width = 0, height = 0, channels = 0;
    unsigned char* rgb = stbi_load(picture.c_str(), &width, &height, &channels, 3);
    ASSERT_NE(nullptr, rgb) << picture;
    int drawn = 0;
    for (int i = 0; i < width * height * 3; ++i) {
        drawn += rgb[i] > 8 ? 1 : 0;
    }
    stbi_image_free(rgb);
    EXPECT_EQ(640, width);
    EXPECT_EQ(480, height);
    EXPECT_GT(drawn, 0) << picture << " shows nothing of the model";
}

INSTANTIATE_TEST_SUITE_P(
    Models, RealModelTest,
    ::testing::Values(
        RealModel{"/usr/share/assimp/models/3DS/CameraRollAnim.3ds", "assimp-testmodels", {0, 120}},
        RealModel{"/usr/share/assimp/models/3DS/TargetCameraAnim.3ds", "assimp-testmodels", {0, 30, 60, 90}},
        RealModel{"/usr/share/assimp/models/3DS/CameraRollAnimWithChildObject.3ds", "assimp-testmodels", {0, 120}},
        RealModel{"/usr/share/assimp/models/glTF2/simple_skin/simple_skin.gltf", "assimp-testmodels", {0, 37}},
        RealModel{"/usr/share/assimp/models/FBX/animation_with_skeleton.fbx", "assimp-testmodels", {0, 12}},
        RealModel{"/usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb",
                  "assimp-testmodels", {0, 1}},
        RealModel{"/usr/share/assimp/models/glTF2/cameras/Cameras.gltf", "assimp-testmodels", {0, 1}},
        RealModel{"/usr/share/games/gl-117/models/gl-14.3ds", "gl-117-data", {0, 1}},
        RealModel{"/usr/share/games/gl-117/models/tank1.3ds", "gl-117-data", {0, 1}}));

} // namespace

namespace {

using TexturedModelTest = ImportTest;

// A 3DS aircraft whose TGA textures lie in a folder beside the models', and a
// glTF box whose PNG is embedded: every texture map finds its texture in the
// pack and loads on a device.
TEST_F(TexturedModelTest, TexturesTravelIntoThePackAndLoad)
{
    const std::string aircraft = std::string(kGl117Models) + "gl-14.3ds";
    const std::string box = std::string(kAssimpModels) + "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb";
    REQUIRE_MODEL(aircraft, "gl-117-data");
    REQUIRE_MODEL(box, "assimp-testmodels");
    const ImportRun run = Import({aircraft, box});
    ASSERT_EQ(0, run.status) << run.err;

    WorkingDirectory cwd(dir.Path());
    HeadlessDevice device;
    ASSERT_TRUE(device);
    for (const char* name : {"gl-14.KVF", "BoxTextured.KVF"}) {
        BoxCapture boxes;
        CScene scene;
        ASSERT_EQ(0, scene.LoadScene(name, "data.pac"));
        ASSERT_EQ(0, scene.Prepare(device.get()));
        EXPECT_TRUE(boxes.boxes.empty()) << name << ": " << boxes.boxes[0].text;
        int textured = 0;
        for (int i = 0; i < scene.materialCount; ++i) {
            for (int m = 0; m < scene.materials[i].mapCount; ++m) {
                const CTextMap& map = scene.materials[i].maps[m];
                if (map.kind == 1) {
                    EXPECT_NE(nullptr, map.texture) << name << " " << map.fileName;
                    ++textured;
                }
            }
        }
        EXPECT_GT(textured, 0) << name;
    }
}

} // namespace
