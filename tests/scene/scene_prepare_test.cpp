// The scene's preparation and update that need no device: the default camera,
// skin bones bound by name, node controllers prepared, frame updates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modifiers/modifier_skin.h"
#include "scene/camera.h"
#include "scene/helper_object.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/node.h"
#include "scene/texture_map.h"
#include "tests/scene/scene_fixture.h"

namespace {

kvf::Mesh Triangle(const std::string& name)
{
    kvf::Mesh mesh;
    mesh.name = name;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.faces = {kvf::Face{0, 1, 2, 0, -1}};
    return mesh;
}

kvf::Mesh SkinnedBy(const std::vector<std::string>& bones)
{
    kvf::Mesh mesh = Triangle("skinned");
    kvf::Modifier skin;
    skin.type = kvf::kSkinCountFirst;
    for (const std::string& bone : bones) {
        skin.skin.bones.push_back(kvf::SkinBone{bone, kvf::Matrix43{}});
    }
    kvf::SkinVertex vertex;
    vertex.influences = {kvf::SkinInfluence{0, 1.0f}};
    skin.skin.vertices.assign(3, vertex);
    mesh.modifiers.entries = {skin};
    return mesh;
}

TEST_F(SceneTest, SceneWithoutCamerasGetsTheDefaultOne)
{
    ASSERT_EQ(0, Load(kvf::Scene{}));
    ASSERT_EQ(0, scene.Prepare(nullptr));
    ASSERT_EQ(1, scene.cameras.Count());
    const CCamera* camera = scene.cameras.First();
    EXPECT_EQ(-50.0f, camera->position.z);
    EXPECT_EQ(1.8f, camera->fieldOfView);
    ASSERT_NE(nullptr, camera->target);
    EXPECT_EQ(0.0f, camera->target->position.z);
    // No node moves it: its rotation stays the constructed one.
    EXPECT_EQ(1.0f, camera->rotation.w);
}

TEST_F(SceneTest, SkinBonesBindToMeshesAndHelpers)
{
    kvf::Scene description;
    description.objects = {SkinnedBy({"bone mesh", "bone helper"}), Triangle("bone mesh"), MakeHelper("bone helper")};
    ASSERT_EQ(0, Load(description));
    ASSERT_EQ(0, scene.Prepare(nullptr));
    const CModifierSkin* skin = static_cast<const CModifierSkin*>(scene.RetrieveMesh("skinned")->modifiers.First());
    EXPECT_EQ(&scene.RetrieveMesh("bone mesh")->world, skin->m_bones[0].m_world);
    EXPECT_EQ(&scene.RetrieveHelper("bone helper")->world, skin->m_bones[1].m_world);
    // A mesh that serves as a bone is not drawn.
    EXPECT_EQ(0, scene.RetrieveMesh("bone mesh")->visible);
    EXPECT_EQ(1, scene.RetrieveMesh("skinned")->visible);
}

TEST_F(SceneTest, MissingBoneFailsThePreparation)
{
    kvf::Scene description;
    description.objects = {SkinnedBy({"nowhere"})};
    ASSERT_EQ(0, Load(description));
    EXPECT_EQ(1, scene.Prepare(nullptr));
    EXPECT_EQ((std::vector<std::string>{"LibKVF : Cannot find the bone : nowhere"}), Texts());
}

TEST_F(SceneTest, UpdateMovesNodesAndAnimatedOffsets)
{
    kvf::Scene description;
    kvf::Material material;
    material.name = "m";
    kvf::TextMap map;
    map.name = "scrolling";
    map.hasFile = 1;
    map.fileName = "t.jpg";
    map.animated = 1;
    map.keys = {{0, 0.0f, 0.0f}, {1, 0.5f, 0.25f}};
    material.maps = {map};
    description.materials = {material};
    description.objects = {MakeHelper("h")};
    kvf::Node node = MakeNode(0, CNode::kHelper, "h");
    kvf::Key start;
    kvf::Key end;
    end.time = 10;
    end.value[0] = -10; // engine x from 0 to 10
    node.position.keys = {start, end};
    description.nodes = {node};
    ASSERT_EQ(0, Load(description));
    ASSERT_EQ(0, scene.Prepare(nullptr));
    EXPECT_EQ(0.0f, scene.RetrieveHelper("h")->world._41);
    scene.Update(5.0f);
    EXPECT_FLOAT_EQ(5.0f, scene.RetrieveHelper("h")->world._41);
    EXPECT_EQ(-0.5f, scene.materials[0].maps[0].uOffset);
    EXPECT_EQ(0.25f, scene.materials[0].maps[0].vOffset);
    // Time may go back: nothing depends on the previous frame.
    scene.Update(2.5f);
    EXPECT_FLOAT_EQ(2.5f, scene.RetrieveHelper("h")->world._41);
}

} // namespace
