// Damaged scene files: every truncation and many random byte changes of a
// scene that uses every record kind must load or fail cleanly, never read or
// write out of bounds (this test earns its keep under the sanitizers).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/report/report.h"
#include "scene/node.h"
#include "scene/scene.h"
#include "tests/scene/memory_stream.h"
#include "tests/scene/scene_fixture.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace {

std::vector<uint8_t> RichScene()
{
    kvf::Scene d;
    kvf::Material material;
    material.name = "m";
    kvf::TextMap map;
    map.name = "t";
    map.hasFile = 1;
    map.fileName = "t.jpg";
    map.animated = 1;
    map.keys = {{0, 0.1f, 0.2f}, {1, 0.3f, 0.4f}};
    kvf::TextMap sub;
    sub.name = "s";
    map.subMaps = {sub};
    material.maps = {map};
    d.materials = {material, material};

    kvf::Mesh mesh;
    mesh.name = "mesh";
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    mesh.faces = {kvf::Face{0, 1, 2, 1, 0}, kvf::Face{1, 3, 2, 1, 1}};
    mesh.uvs = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    mesh.uvFaces = {{0, 1, 2}, {1, 3, 2}};
    kvf::Modifier bend;
    bend.type = kvf::kBend;
    mesh.modifiers.entries = {bend, SkinOnOneBone("h", kvf::kSkinMatrixFirst, 4)};

    kvf::Camera camera;
    camera.name = "cam";
    kvf::Light spot;
    spot.name = "spot";
    spot.type = 2;
    spot.rangeFlag = 1;
    kvf::Light other;
    other.name = "other";
    other.type = 3;
    kvf::Shape shape;
    shape.name = "shape";
    kvf::Spline spline;
    spline.closed = 1;
    spline.points = {{0, 0, 0}, {1, 2, 3}};
    shape.splines = {spline};
    kvf::Helper helper;
    helper.name = "h";
    d.objects = {mesh, camera, spot, other, shape, helper};

    kvf::Node n0;
    n0.kind = CNode::kHelper;
    n0.name = "h";
    kvf::Key k1;
    kvf::Key k2;
    k2.time = 10;
    k2.value[0] = 3;
    n0.position.keys = {k1, k2};
    kvf::Node n1 = n0;
    n1.depth = 1;
    n1.kind = CNode::kMesh;
    n1.name = "mesh";
    n1.rotationSelector = 0;
    n1.rotation.keys = {k1, k2};
    kvf::Node n2 = n0;
    n2.depth = 1;
    n2.kind = CNode::kCameraTarget;
    n2.ownerName = "cam";
    n2.scale.type = 2;
    kvf::Node n3 = n0;
    n3.kind = CNode::kLightTarget;
    n3.ownerName = "other";
    d.nodes = {n0, n1, n2, n3};
    return kvf::WriteScene(d);
}

// Loads the bytes and, when they load, runs the frame work that needs no device.
void LoadAndUse(const std::vector<uint8_t>& bytes)
{
    MemoryStream stream(bytes);
    CScene scene;
    if (scene.ReadScene(&stream, "fuzz.kvf") == 0) {
        for (CNode* root : scene.roots) {
            PrepareNode(root);
            UpdateNode(root, 3.5f);
        }
        scene.Update(7.25f);
    }
}

class SceneFuzzTest : public ::testing::Test {
protected:
    SceneFuzzTest() { SetReportSink([](ReportSeverity, const char*, const char*) {}); }
    ~SceneFuzzTest() override { SetReportSink(nullptr); }
};

TEST_F(SceneFuzzTest, IntactSceneLoads)
{
    const std::vector<uint8_t> bytes = RichScene();
    MemoryStream stream(bytes);
    CScene scene;
    ASSERT_EQ(0, scene.ReadScene(&stream, "rich.kvf"));
    EXPECT_EQ(1, scene.meshes.Count());
    EXPECT_EQ(2, scene.roots.Count());
}

TEST_F(SceneFuzzTest, EveryTruncationLoadsOrFailsCleanly)
{
    const std::vector<uint8_t> bytes = RichScene();
    for (size_t size = 0; size < bytes.size(); ++size) {
        LoadAndUse(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size)));
    }
}

TEST_F(SceneFuzzTest, RandomDamageLoadsOrFailsCleanly)
{
    const std::vector<uint8_t> bytes = RichScene();
    std::mt19937 random(1234);
    std::uniform_int_distribution<size_t> position(0, bytes.size() - 1);
    std::uniform_int_distribution<int> value(0, 255);
    std::uniform_int_distribution<int> changes(1, 8);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> damaged = bytes;
        for (int c = changes(random); c > 0; --c) {
            // Large values make counts lie; small ones change kinds and flags.
            damaged[position(random)] = static_cast<uint8_t>(round % 3 == 0 ? 0xFF : value(random));
        }
        LoadAndUse(damaged);
    }
}

} // namespace
