#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "scene/camera.h"
#include "scene/controller.h"
#include "scene/helper_object.h"
#include "scene/light.h"
#include "scene/mesh.h"
#include "scene/node.h"
#include "scene/shape.h"
#include "tests/scene/scene_fixture.h"

namespace {

// A scene of helpers "n0", "n1", ... with nodes at the given depths.
kvf::Scene HelpersAtDepths(const std::vector<int32_t>& depths)
{
    kvf::Scene description;
    for (size_t i = 0; i < depths.size(); ++i) {
        const std::string name = "n" + std::to_string(i);
        description.objects.push_back(MakeHelper(name));
        description.nodes.push_back(MakeNode(depths[i], CNode::kHelper, name));
    }
    return description;
}

// The tree as text: name(children...) for each root.
std::string Shape(const CObjectList<CNode>& nodes)
{
    std::string text;
    for (CNode* node : nodes) {
        if (!text.empty()) {
            text += " ";
        }
        text += node->name;
        if (!node->children.Empty()) {
            text += "(" + Shape(node->children) + ")";
        }
    }
    return text;
}

const char* kUnknownObject = "LibKVF : Unknown Object, trying to continue";

TEST_F(SceneTest, DepthsBuildTheTree)
{
    ASSERT_EQ(0, Load(HelpersAtDepths({0, 1, 2, 1, 2, 0})));
    EXPECT_EQ("n0(n1(n2) n3(n4)) n5", Shape(scene.roots));
    EXPECT_TRUE(boxes.empty());
    CNode* n3 = scene.roots.First()->children.At(1);
    EXPECT_EQ(scene.roots.First(), n3->parent);
    EXPECT_EQ(nullptr, scene.roots.First()->parent);
}

TEST_F(SceneTest, SkippedLevelIsLeftOutAndShallowerNodeBecomesRoot)
{
    ASSERT_EQ(0, Load(HelpersAtDepths({0, 1, 3, 2})));
    EXPECT_EQ("n0(n1) n3", Shape(scene.roots));
    EXPECT_EQ((std::vector<std::string>{kUnknownObject}), Texts());
    EXPECT_EQ("Zolt Engine Warning", boxes[0].title);
    // The left-out node is released with the scene (checked under ASan).
    EXPECT_EQ(1, scene.leftOutNodes.Count());
}

TEST_F(SceneTest, DepthTwoAfterARootWarns)
{
    ASSERT_EQ(0, Load(HelpersAtDepths({0, 2})));
    EXPECT_EQ("n0", Shape(scene.roots));
    EXPECT_EQ((std::vector<std::string>{kUnknownObject}), Texts());
}

TEST_F(SceneTest, NodesWithoutAParentToJoinBecomeRoots)
{
    // A first node at depth 1 has no previous node; the sibling rule after a
    // fallback root has no remembered parent.
    ASSERT_EQ(0, Load(HelpersAtDepths({1, 1, 2, 0, 3})));
    EXPECT_EQ("n0 n1(n2) n3", Shape(scene.roots));
    EXPECT_EQ(1, scene.leftOutNodes.Count());
}

TEST_F(SceneTest, NamesMatchingNothingShowTheirName)
{
    kvf::Scene description;
    kvf::Node missingCamera = MakeNode(0, CNode::kCameraTarget, "target of nobody");
    missingCamera.ownerName = "nobody";
    kvf::Node unknownKind = MakeNode(0, 9, "strange");
    description.nodes = {MakeNode(0, CNode::kMesh, "ghost"), missingCamera, unknownKind};
    ASSERT_EQ(0, Load(description));
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ("ghost", boxes[0].text);
    EXPECT_EQ("NULL Pointer", boxes[0].title);
    EXPECT_EQ("target of nobody", boxes[1].text);
    EXPECT_EQ("strange", boxes[2].text);
    EXPECT_EQ(3, scene.roots.Count());
}

TEST_F(SceneTest, TargetNodesBindToTheTargetsOfTheirOwners)
{
    kvf::Scene description;
    kvf::Camera camera;
    camera.name = "cam";
    kvf::Light spot;
    spot.name = "spot";
    spot.type = 3; // target from the node tree
    description.objects = {camera, spot};
    kvf::Node cameraTarget = MakeNode(0, CNode::kCameraTarget, "cam.target");
    cameraTarget.ownerName = "cam";
    cameraTarget.position = kvf::ConstantVector(-4, -6, 5); // engine (4, 5, 6)
    kvf::Node lightTarget = MakeNode(0, CNode::kLightTarget, "spot.target");
    lightTarget.ownerName = "spot";
    description.nodes = {cameraTarget, lightTarget};
    ASSERT_EQ(0, Load(description));
    EXPECT_TRUE(boxes.empty());

    CCamera* cam = scene.RetrieveCamera("cam");
    CLight* light = scene.RetrieveLight("spot");
    ASSERT_NE(nullptr, light->target);
    EXPECT_EQ(cam->target, scene.roots.First()->object);
    EXPECT_EQ(light->target, scene.roots.Last()->object);

    for (CNode* root : scene.roots) {
        PrepareNode(root);
        UpdateNode(root, 0.0f);
    }
    EXPECT_EQ(4.0f, cam->target->position.x);
    EXPECT_EQ(5.0f, cam->target->position.y);
    EXPECT_EQ(6.0f, cam->target->position.z);
}

TEST_F(SceneTest, ConstantControllersGiveAConstantLocalMatrix)
{
    kvf::Scene description = HelpersAtDepths({0});
    description.nodes[0].position = kvf::ConstantVector(-1, -3, 2); // engine (1, 2, 3)
    ASSERT_EQ(0, Load(description));
    CNode* node = scene.roots.First();
    PrepareNode(node);
    for (float t : {0.0f, 17.5f, -3.0f}) {
        UpdateNode(node, t);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) {
                EXPECT_EQ(r == c ? 1.0f : 0.0f, node->world.m[r][c]);
            }
        }
        EXPECT_EQ(1.0f, node->world._41);
        EXPECT_EQ(2.0f, node->world._42);
        EXPECT_EQ(3.0f, node->world._43);
        EXPECT_EQ(1.0f, node->world._44);
    }
    CHelper* helper = scene.RetrieveHelper("n0");
    EXPECT_EQ(2.0f, helper->world._42);
    EXPECT_EQ(2.0f, helper->position.y);
    EXPECT_EQ(1.0f, helper->scale.x);
    EXPECT_EQ(1.0f, helper->rotation.w);
}

TEST_F(SceneTest, ChildWorldIsLocalTimesParentWorld)
{
    kvf::Scene description = HelpersAtDepths({0, 1});
    description.nodes[0].scale = kvf::ConstantVector(2, 2, 2);
    description.nodes[0].position = kvf::ConstantVector(-10, 0, 0); // engine (10, 0, 0)
    // A quarter turn about the engine's y axis (file z).
    description.nodes[0].rotation = kvf::ConstantRotation(0, 0, 1, kPi / 2);
    description.nodes[1].position = kvf::ConstantVector(-1, 0, 0); // engine (1, 0, 0)
    ASSERT_EQ(0, Load(description));
    CNode* root = scene.roots.First();
    PrepareNode(root);
    UpdateNode(root, 0.0f);
    CNode* child = root->children.First();
    // The child's origin (1, 0, 0) is scaled by 2, turned about y to
    // (0, 0, -2) (row vectors, left-handed), then moved by (10, 0, 0).
    EXPECT_NEAR(10.0f, child->world._41, 1e-5f);
    EXPECT_NEAR(0.0f, child->world._42, 1e-5f);
    EXPECT_NEAR(-2.0f, child->world._43, 1e-5f);
    D3DMATRIX expected;
    D3DMATRIX local;
    ComposeLocalMatrix(child->position, child->rotation, child->scale, &local);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += local.m[r][k] * root->world.m[k][c];
            }
            expected.m[r][c] = sum;
            EXPECT_NEAR(expected.m[r][c], child->world.m[r][c], 1e-5f);
        }
    }
}

TEST_F(SceneTest, MissingRotationControllerIsTheIdentity)
{
    kvf::Scene description = HelpersAtDepths({0});
    description.nodes[0].rotationSelector = 0;
    description.nodes[0].rotation = kvf::Controller{};
    description.nodes[0].rotation.type = 7; // angle family: no controller
    ASSERT_EQ(0, Load(description));
    CNode* node = scene.roots.First();
    EXPECT_EQ(nullptr, node->rotationController);
    UpdateNode(node, 0.0f);
    EXPECT_EQ(1.0f, node->rotation.w);
    EXPECT_EQ(1.0f, node->world._11);
}

TEST_F(SceneTest, MeshPivotMovesTheGeometryOnce)
{
    kvf::Mesh mesh;
    mesh.name = "box";
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.faces = {kvf::Face{0, 1, 2, 0, -1}};
    kvf::Scene description;
    description.objects = {mesh};
    kvf::Node node = MakeNode(0, CNode::kMesh, "box");
    node.pivot = kvf::Vec3{1, 2, 3}; // engine (-1, 3, -2)
    description.nodes = {node};
    ASSERT_EQ(0, Load(description));
    CMesh* loaded = scene.RetrieveMesh("box");
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ(-1.0f, loaded->pivot.x);
    EXPECT_EQ(3.0f, loaded->pivot.y);
    EXPECT_EQ(-2.0f, loaded->pivot.z);
    EXPECT_EQ(-1.0f, scene.roots.First()->pivot.x);
    // File position (0, 0, 0) is engine (0, 0, 0): moved by minus the pivot.
    bool found = false;
    for (const MeshVertex& v : loaded->baseVertices) {
        if (v.x == 1.0f && v.y == -3.0f && v.z == 2.0f) {
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(SceneTest, HelperAndShapePivotsComeFromTheirNodes)
{
    kvf::Scene description;
    kvf::Shape shape;
    shape.name = "line";
    description.objects = {MakeHelper("h"), shape};
    kvf::Node helperNode = MakeNode(0, CNode::kHelper, "h");
    helperNode.pivot = kvf::Vec3{1, 2, 3};
    kvf::Node shapeNode = MakeNode(0, CNode::kShape, "line");
    shapeNode.pivot = kvf::Vec3{4, 5, 6};
    // A pivot is read for an unmatched mesh node too, keeping the stream in step.
    kvf::Node ghost = MakeNode(0, CNode::kMesh, "ghost");
    ghost.pivot = kvf::Vec3{7, 8, 9};
    description.nodes = {helperNode, ghost, shapeNode};
    ASSERT_EQ(0, Load(description));
    EXPECT_EQ(3.0f, scene.RetrieveHelper("h")->pivot.y);
    EXPECT_EQ(-4.0f, scene.RetrieveShape("line")->pivot.x);
    EXPECT_EQ(-5.0f, scene.RetrieveShape("line")->pivot.z);
    EXPECT_EQ(3, scene.roots.Count());
}

TEST_F(SceneTest, VeryDeepTreesLoadUpdateAndFreeWithoutRecursion)
{
    constexpr int kDepth = 200000;
    kvf::Scene description;
    description.objects = {MakeHelper("leaf")};
    kvf::Node node = MakeNode(0, CNode::kHelper, "x");
    // Empty controllers keep the records small; a missing scale is zero.
    node.position = kvf::Controller{};
    node.rotation = kvf::Controller{};
    node.scale = kvf::ConstantVector(1, 1, 1);
    node.position.keys.clear();
    node.rotation.keys.clear();
    for (int d = 0; d < kDepth; ++d) {
        node.depth = d;
        node.name = "leaf";
        description.nodes.push_back(node);
    }
    ASSERT_EQ(0, Load(description));
    EXPECT_TRUE(boxes.empty());
    CNode* root = scene.roots.First();
    PrepareNode(root);
    UpdateNode(root, 0.0f);
    EXPECT_EQ(1.0f, scene.RetrieveHelper("leaf")->world._44);
}

} // namespace
