#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/camera.h"
#include "scene/helper_object.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/node.h"
#include "scene/shape.h"
#include "scene/texture_map.h"
#include "tests/scene/scene_fixture.h"

namespace {

std::vector<std::string> Names(const CObjectList<CHelper>& list)
{
    std::vector<std::string> names;
    for (CHelper* helper : list) {
        names.push_back(helper->name);
    }
    return names;
}

TEST_F(SceneTest, MinimalFileLoadsEmpty)
{
    kvf::Scene description;
    description.startFrame = 5;
    description.endFrame = 250;
    description.frameRate = 25;
    ASSERT_EQ(0, Load(description));
    EXPECT_EQ(0, scene.materialCount);
    EXPECT_TRUE(scene.meshes.Empty() && scene.cameras.Empty() && scene.lights.Empty() && scene.shapes.Empty() &&
                scene.helpers.Empty() && scene.roots.Empty());
    EXPECT_EQ(5, scene.startFrame);
    EXPECT_EQ(250, scene.endFrame);
    EXPECT_EQ(25, scene.frameRate);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SceneTest, HeaderFailuresShowPlainBoxes)
{
    kvf::Scene badMagic;
    badMagic.magic = "KVG";
    EXPECT_EQ(1, Load(badMagic));
    kvf::Scene badVersion;
    badVersion.version = 2;
    EXPECT_EQ(1, Load(badVersion));
    EXPECT_EQ(1, scene.LoadScene("absent.kvf", Archive().c_str()));
    ASSERT_EQ(4u, boxes.size());
    EXPECT_EQ("Bad file : not a KVF", boxes[0].text);
    EXPECT_EQ("Error", boxes[0].title);
    EXPECT_EQ("Bad file : not the good version", boxes[1].text);
    EXPECT_EQ("Error", boxes[1].title);
    EXPECT_EQ(0u, boxes[2].text.find("LibUtils : file absent.kvf not found"));
    EXPECT_EQ("Error while loading: absent.kvf", boxes[3].text);
    EXPECT_EQ("error", boxes[3].title);
    EXPECT_EQ(MB_OK, boxes[3].type);
}

TEST_F(SceneTest, AmbientColourIsPackedByTruncation)
{
    kvf::Scene description;
    description.ambient = kvf::Vec3{1.0f, 0.5f, 0.0f};
    ASSERT_EQ(0, Load(description));
    EXPECT_EQ(0x00FF7F00u, scene.ambientColour);

    CScene other;
    description.ambient = kvf::Vec3{1.2f, 0.999f, 0.0f};
    ASSERT_TRUE(WritePack(Archive(), {PackMember{"scene.kvf", kvf::WriteScene(description)}}));
    ASSERT_EQ(0, other.LoadScene("scene.kvf", Archive().c_str()));
    EXPECT_EQ(0x0032FE00u, other.ambientColour); // 306 keeps its low byte 0x32
}

TEST_F(SceneTest, UnknownKindCodesAreSkippedAndListsKeepFileOrder)
{
    kvf::Scene description;
    kvf::Camera camera;
    camera.name = "cam";
    description.objects = {MakeHelper("h1"), kvf::RawCode{7}, MakeHelper("h2"), camera, kvf::RawCode{-1},
                           MakeHelper("h3")};
    ASSERT_EQ(0, Load(description));
    EXPECT_EQ((std::vector<std::string>{"h1", "h2", "h3"}), Names(scene.helpers));
    ASSERT_EQ(1, scene.cameras.Count());
    EXPECT_STREQ("cam", scene.cameras.First()->name);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SceneTest, StreamWithoutEndCodeHasNoFrames)
{
    kvf::Scene description;
    description.objects = {MakeHelper("h")};
    description.endObjects = false;
    // The frame values are never written either: the file ends.
    std::vector<uint8_t> bytes = kvf::WriteScene(description);
    bytes.resize(bytes.size() - 12);
    ASSERT_EQ(0, LoadBytes(bytes));
    EXPECT_EQ(1, scene.helpers.Count());
    EXPECT_EQ(0, scene.startFrame);
    EXPECT_EQ(0, scene.endFrame);
    EXPECT_EQ(0, scene.frameRate);
}

TEST_F(SceneTest, LookupsReturnTheFirstExactMatch)
{
    kvf::Scene description;
    kvf::Helper first = MakeHelper("twin");
    first.subtype = 1;
    kvf::Helper second = MakeHelper("twin");
    second.subtype = 2;
    description.objects = {first, second};
    description.nodes = {MakeNode(0, CNode::kHelper, "twin"), MakeNode(0, CNode::kHelper, "Twin")};
    ASSERT_EQ(0, Load(description));
    // Nodes bind to the same object the lookup finds; case matters.
    EXPECT_EQ(scene.RetrieveHelper("twin"), scene.roots.First()->object);
    EXPECT_EQ(nullptr, scene.roots.Last()->object);
    ASSERT_NE(nullptr, scene.RetrieveHelper("twin"));
    EXPECT_EQ(1, scene.RetrieveHelper("twin")->subtype);
    EXPECT_EQ(nullptr, scene.RetrieveHelper("Twin"));
    EXPECT_EQ(nullptr, scene.RetrieveCamera("twin"));
    EXPECT_EQ(nullptr, scene.RetrieveMesh(nullptr));
}

TEST_F(SceneTest, MaterialsWithNestedMaps)
{
    kvf::Material material;
    material.id = 17;
    material.name = "stone";
    material.ambient = {0.1f, 0.2f, 0.3f};
    material.diffuse = {0.4f, 0.5f, 0.6f};
    material.specular = {0.7f, 0.8f, 0.9f};
    material.power = 12.0f;
    material.transparency = 0.25f;
    material.twoSided = 1;
    material.blendKind = 2;
    kvf::TextMap texture;
    texture.kind = 1;
    texture.name = "diffuse map";
    texture.hasFile = 1;
    texture.fileName = "stone.jpg";
    texture.u = 0.25f;
    texture.v = 0.5f;
    kvf::TextMap nested;
    nested.kind = 6;
    nested.name = "inner";
    texture.subMaps = {nested, nested};
    kvf::TextMap animated;
    animated.kind = 9;
    animated.name = "moving";
    animated.hasFile = 1;
    animated.fileName = "env.tga";
    animated.animated = 1;
    animated.keys = {{0, 0.1f, 0.2f}, {1, 0.3f, 0.4f}, {2, 0.5f, 0.6f}};
    material.maps = {texture, animated};
    kvf::Material plain;
    plain.name = "plain";
    kvf::Scene description;
    description.materials = {material, plain};
    ASSERT_EQ(0, Load(description));

    ASSERT_EQ(2, scene.materialCount);
    const CMaterial& m = scene.materials[0];
    EXPECT_EQ(17, m.id);
    EXPECT_STREQ("stone", m.name);
    EXPECT_EQ(0.2f, m.ambient.g);
    EXPECT_EQ(0.6f, m.diffuse.b);
    EXPECT_EQ(0.7f, m.specular.r);
    EXPECT_EQ(0.0f, m.specular.a);
    EXPECT_EQ(12.0f, m.power);
    EXPECT_EQ(0.25f, m.transparency);
    EXPECT_EQ(1, m.twoSided);
    EXPECT_EQ(0, m.wireframe);
    EXPECT_EQ(2, m.blendKind);
    ASSERT_EQ(2, m.mapCount);

    const CTextMap& t = m.maps[0];
    EXPECT_STREQ("diffuse map", t.name);
    EXPECT_STREQ("stone.jpg", t.fileName);
    EXPECT_EQ(-0.25f, t.uOffset);
    EXPECT_EQ(0.5f, t.vOffset);
    ASSERT_EQ(2, t.subMapCount);
    EXPECT_STREQ("inner", t.subMaps[1].name);
    EXPECT_EQ(nullptr, t.subMaps[1].fileName);

    CTextMap& a = m.maps[1];
    EXPECT_EQ(1, a.animated);
    ASSERT_NE(nullptr, a.uTrack);
    scene.materials[0].Update(1.5f);
    EXPECT_EQ(-0.3f, a.uOffset);
    EXPECT_EQ(0.4f, a.vOffset);
    scene.materials[0].Update(2.0f);
    EXPECT_EQ(0.6f, a.vOffset);

    EXPECT_STREQ("plain", scene.materials[1].name);
    EXPECT_EQ(0, scene.materials[1].mapCount);
}

TEST_F(SceneTest, MaterialPreparationPicksTheDeviceColours)
{
    kvf::Material coloured;
    coloured.name = "coloured";
    coloured.ambient = {0.1f, 0.2f, 0.3f};
    coloured.diffuse = {0.4f, 0.5f, 0.6f};
    coloured.power = 3.0f;
    kvf::Material textured = coloured;
    kvf::TextMap map;
    map.kind = 1;
    map.name = "t";
    map.hasFile = 1;
    map.fileName = "t.jpg";
    map.u = 0.25f;
    map.v = 0.5f;
    textured.maps = {map};
    kvf::Material opacity = coloured;
    map.kind = 6;
    opacity.maps = {map};
    kvf::Scene description;
    description.materials = {coloured, textured, opacity};
    ASSERT_EQ(0, Load(description));
    for (int i = 0; i < 3; ++i) {
        scene.materials[i].Prepare(nullptr);
    }
    EXPECT_EQ(0.4f, scene.materials[0].deviceMaterial.Diffuse.r);
    EXPECT_EQ(0.3f, scene.materials[0].deviceMaterial.Ambient.b);
    EXPECT_EQ(3.0f, scene.materials[0].deviceMaterial.Power);
    EXPECT_FALSE(scene.materials[0].IsTransparent());
    // A texture map whitens the colours; its static offset moves the texture.
    EXPECT_EQ(1.0f, scene.materials[1].deviceMaterial.Diffuse.g);
    EXPECT_EQ(1.0f, scene.materials[1].deviceMaterial.Ambient.r);
    EXPECT_EQ(1, scene.materials[1].maps[0].usesTransform);
    EXPECT_EQ(-0.25f, scene.materials[1].maps[0].textureMatrix._31);
    EXPECT_EQ(0.5f, scene.materials[1].maps[0].textureMatrix._32);
    // An opacity map alone makes the material blended.
    EXPECT_EQ(6, scene.materials[2].mapFlags);
    EXPECT_TRUE(scene.materials[2].IsTransparent());
}

TEST_F(SceneTest, CorruptedCountsFailTheLoadCleanly)
{
    kvf::Scene tooManyMaterials;
    tooManyMaterials.materialCount = 1000000;
    EXPECT_EQ(1, Load(tooManyMaterials));

    kvf::Scene negativeSplines;
    kvf::Shape shape;
    shape.name = "s";
    shape.splineCount = -2;
    negativeSplines.objects = {MakeHelper("before"), shape};
    CScene second;
    ASSERT_TRUE(WritePack(Archive(), {PackMember{"scene.kvf", kvf::WriteScene(negativeSplines)}}));
    EXPECT_EQ(1, second.LoadScene("scene.kvf", Archive().c_str()));

    kvf::Scene manyKeys;
    kvf::Material material;
    material.name = "m";
    kvf::TextMap map;
    map.name = "map";
    map.hasFile = 1;
    map.fileName = "f";
    map.animated = 1;
    map.keyCount = 0x10000000;
    material.maps = {map};
    manyKeys.materials = {material};
    CScene third;
    ASSERT_TRUE(WritePack(Archive(), {PackMember{"scene.kvf", kvf::WriteScene(manyKeys)}}));
    EXPECT_EQ(1, third.LoadScene("scene.kvf", Archive().c_str()));

    const std::vector<std::string> expected = {
        "LibKVF : Corrupted scene file : scene.kvf (1000000 materials)",
        "LibKVF : Corrupted shape record : s",
        "LibKVF : Corrupted texture map record : map",
    };
    EXPECT_EQ(expected, Texts());
}

TEST_F(SceneTest, TextMapNestingIsBounded)
{
    kvf::TextMap map;
    map.name = "leaf";
    for (int i = 0; i < 40; ++i) {
        kvf::TextMap outer;
        outer.name = "level";
        outer.subMaps = {map};
        map = outer;
    }
    kvf::Material material;
    material.name = "deep";
    material.maps = {map};
    kvf::Scene description;
    description.materials = {material};
    EXPECT_EQ(1, Load(description));
    EXPECT_EQ((std::vector<std::string>{"LibKVF : Corrupted texture map record : level"}), Texts());
}

TEST_F(SceneTest, CorruptedNodeControllerFailsTheLoad)
{
    kvf::Scene description;
    description.objects = {MakeHelper("h")};
    kvf::Node node = MakeNode(0, CNode::kHelper, "h");
    node.scale.keyCount = -5;
    description.nodes = {MakeNode(0, CNode::kHelper, "h"), node};
    EXPECT_EQ(1, Load(description));
    EXPECT_EQ((std::vector<std::string>{"LibKVF : Corrupted scale controller record : -5 keys"}), Texts());
}

} // namespace
