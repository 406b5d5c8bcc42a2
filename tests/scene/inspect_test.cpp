// zolt-inspect's document, checked with Python's JSON parser so that the
// output is valid JSON and carries the documented keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scene/node.h"
#include "tests/scene/scene_fixture.h"
#include "tools/inspect/inspect_command.h"

namespace {

class InspectTest : public SceneTest {
protected:
    // Runs the command; the document lands in doc.json of the temp dir.
    int Run(std::vector<std::string> args)
    {
        std::vector<const char*> argv = {"zolt-inspect"};
        for (const std::string& a : args) {
            argv.push_back(a.c_str());
        }
        std::FILE* out = std::fopen(Document().c_str(), "wb");
        const int status = RunInspect(static_cast<int>(argv.size()), argv.data(), out);
        std::fclose(out);
        return status;
    }

    std::string Document() const { return dir.File("doc.json"); }

    // Runs Python assertions with `doc` bound to the parsed document.
    bool Check(const std::string& assertions)
    {
        const std::string script = dir.File("check.py");
        const std::string text = "import json, sys\ndoc = json.load(open(sys.argv[1]))\n" + assertions;
        if (!WriteFileBytes(script, std::vector<uint8_t>(text.begin(), text.end()))) {
            return false;
        }
        return std::system(("python3 '" + script + "' '" + Document() + "'").c_str()) == 0;
    }
};

kvf::Scene SampleScene()
{
    kvf::Scene description;
    description.ambient = {1.0f, 0.5f, 0.0f};
    kvf::Material material;
    material.name = "m\xe9tal \"one\"";
    kvf::TextMap map;
    map.name = "map";
    map.hasFile = 1;
    map.fileName = "a.jpg";
    kvf::TextMap sub;
    sub.name = "sub";
    map.subMaps = {sub};
    material.maps = {map};
    description.materials = {material};

    kvf::Mesh mesh;
    mesh.name = "tri";
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.faces = {kvf::Face{0, 1, 2, 1, 0}};
    kvf::Modifier twist;
    twist.type = kvf::kTwist;
    mesh.modifiers.entries = {twist};
    kvf::Camera camera;
    camera.name = "cam";
    kvf::Light light;
    light.name = "lamp";
    kvf::Shape shape;
    shape.name = "s";
    kvf::Spline spline;
    spline.points = {{1, 2, 3}};
    shape.splines = {spline};
    description.objects = {mesh, camera, light, shape, MakeHelper("h")};

    kvf::Node parent = MakeNode(0, CNode::kHelper, "h");
    kvf::Key start;
    start.time = 0;
    kvf::Key end;
    end.time = 10;
    end.value[0] = -10; // engine x from 0 to 10
    parent.position.keys = {start, end};
    kvf::Node child = MakeNode(1, CNode::kMesh, "tri");
    kvf::Node grandchild = MakeNode(2, CNode::kCamera, "cam");
    description.nodes = {parent, child, grandchild, MakeNode(0, CNode::kShape, "nothing")};
    return description;
}

TEST_F(InspectTest, DocumentCarriesTheSceneAtTheFrame)
{
    ASSERT_TRUE(WritePack(Archive(), {PackMember{"Scene.KVF", kvf::WriteScene(SampleScene())}}));
    ASSERT_EQ(0, Run({"--pack", Archive(), "--frame", "5", "scene.kvf"}));
    EXPECT_TRUE(Check(
        "assert set(doc) == {'file','startFrame','endFrame','frameRate','ambient','materials','meshes',"
        "'cameras','lights','shapes','helpers','nodes'}, sorted(doc)\n"
        "assert doc['file'] == 'scene.kvf' and doc['ambient'] == 0xFF7F00\n"
        "m = doc['materials'][0]\n"
        "assert m['name'] == 'm\\u00e9tal \"one\"', m['name']\n"
        "assert m['maps'][0]['file'] == 'a.jpg' and m['maps'][0]['subMaps'][0]['file'] is None\n"
        "mesh = doc['meshes'][0]\n"
        "assert mesh['faceCount'] == 1 and mesh['vertexCount'] == 3 and 'vertices' not in mesh\n"
        "assert mesh['modifiers'][0]['type'] == 32 and 'angle' in mesh['modifiers'][0]\n"
        "assert doc['lights'][0]['target'] is None and len(doc['cameras'][0]['target']) == 3\n"
        "assert doc['shapes'][0]['splines'][0]['points'] == [[-1, 3, -2]]\n"
        "root = doc['nodes'][0]\n"
        "assert root['bound'] and abs(root['position'][0] - 5) < 1e-6, root['position']\n"
        "assert root['children'][0]['children'][0]['name'] == 'cam'\n"
        "assert doc['nodes'][1]['bound'] is False and doc['nodes'][1]['children'] == []\n"
        "assert doc['helpers'][0]['world'][12] == root['world'][12]\n"
        "assert doc['cameras'][0]['world'][12] == root['world'][12]\n"));
}

TEST_F(InspectTest, VerticesOptionListsBuiltGeometry)
{
    ASSERT_TRUE(WritePack(Archive(), {PackMember{"scene.kvf", kvf::WriteScene(SampleScene())}}));
    ASSERT_EQ(0, Run({"--vertices", "--pack", Archive(), "scene.kvf"}));
    EXPECT_TRUE(Check("mesh = doc['meshes'][0]\n"
                      "assert len(mesh['vertices']) == 3 and len(mesh['vertices'][0]) == 9\n"
                      "assert mesh['faces'] == [[0, 1, 2, 0]], mesh['faces']\n"
                      "assert mesh['vertices'][0][6] == 0xFFFFFF\n"));
}

TEST_F(InspectTest, FailuresAndUsage)
{
    EXPECT_EQ(1, Run({"--pack", dir.File("absent.pac"), "scene.kvf"}));
    EXPECT_EQ(2, Run({}));
    EXPECT_EQ(2, Run({"--frame", "soon", "scene.kvf"}));
    EXPECT_EQ(2, Run({"--colour", "scene.kvf"}));
    EXPECT_EQ(2, Run({"a.kvf", "b.kvf"}));
    EXPECT_EQ(0, Run({"--help"}));
}

TEST_F(InspectTest, DeformedOptionEvaluatesTheChainsAtTheFrame)
{
    // "skin" follows the helper "arm" (moving x from 0 to 4 over ten frames)
    // and the mesh "bone" (still); "bone" itself has no modifiers.
    kvf::Mesh skinned;
    skinned.name = "skin";
    skinned.positions = {kvf::ToFileAxes(1, 0, 0), kvf::ToFileAxes(0, 1, 0), kvf::ToFileAxes(0, 0, 1)};
    skinned.faces = {kvf::Face{0, 1, 2, 1, -1}};
    kvf::Modifier skin;
    skin.type = kvf::kSkinCountFirst;
    skin.skin.bones = {{"arm", {}}, {"bone", {}}};
    kvf::SkinVertex half, whole, still;
    half.influences = {{0, 0.5f}};
    whole.influences = {{0, 1.0f}};
    still.influences = {{1, 1.0f}};
    skin.skin.vertices = {half, whole, still};
    skinned.modifiers.entries = {skin};
    kvf::Mesh bone;
    bone.name = "bone";
    bone.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    bone.faces = {kvf::Face{0, 1, 2, 1, -1}};
    kvf::Scene description;
    description.objects = {skinned, bone, MakeHelper("arm")};
    kvf::Node arm = MakeNode(0, CNode::kHelper, "arm");
    kvf::Key start;
    kvf::Key end;
    end.time = 10;
    end.value[0] = -4; // engine x 4
    arm.position.keys = {start, end};
    description.nodes = {arm};
    ASSERT_TRUE(WritePack(Archive(), {PackMember{"scene.kvf", kvf::WriteScene(description)}}));

    ASSERT_EQ(0, Run({"--deformed", "--vertices", "--frame", "10", "--pack", Archive(), "scene.kvf"}));
    EXPECT_TRUE(Check(
        "skin, bone = doc['meshes'][0], doc['meshes'][1]\n"
        "assert sorted(v[:3] for v in skin['deformed']) == [[0, 0, 1], [3, 0, 0], [4, 1, 0]], skin['deformed']\n"
        "assert [v[3:] for v in skin['deformed']] == [v[3:] for v in skin['vertices']]\n"
        "assert skin['deformedBoxMin'] == [0, 0, 0] and skin['deformedBoxMax'] == [4, 1, 1]\n"
        "assert skin['boxMax'] == skin['deformedBoxMax']\n"
        "assert not any(k.startswith('deformed') for k in bone), sorted(bone)\n"
        "assert bone['visible'] == 0 and skin['visible'] == 1\n"));
    // Without the option: no deformation, no hidden bones.
    ASSERT_EQ(0, Run({"--frame", "10", "--pack", Archive(), "scene.kvf"}));
    EXPECT_TRUE(Check("assert 'deformed' not in doc['meshes'][0] and doc['meshes'][1]['visible'] == 1\n"));

    // A bone nobody bears: the player's message, status 1, no document.
    description.objects = {skinned, MakeHelper("arm")};
    ASSERT_TRUE(WritePack(Archive(), {PackMember{"scene.kvf", kvf::WriteScene(description)}}));
    boxes.clear();
    EXPECT_EQ(1, Run({"--deformed", "--pack", Archive(), "scene.kvf"}));
    EXPECT_EQ((std::vector<std::string>{"LibKVF : Cannot find the bone : bone"}), Texts());
}

TEST_F(InspectTest, DeepTreesPrintWithoutRecursion)
{
    kvf::Scene description;
    description.objects = {MakeHelper("n")};
    for (int d = 0; d < 50000; ++d) {
        kvf::Node node = MakeNode(d, CNode::kHelper, "n");
        node.position.keys.clear();
        node.rotation.keys.clear();
        node.scale.keys.clear();
        description.nodes.push_back(node);
    }
    ASSERT_TRUE(WritePack(Archive(), {PackMember{"scene.kvf", kvf::WriteScene(description)}}));
    ASSERT_EQ(0, Run({"--pack", Archive(), "scene.kvf"}));
    EXPECT_TRUE(boxes.empty());
    // Too deep for a recursive parser: check the nesting by scanning.
    std::FILE* in = std::fopen(Document().c_str(), "rb");
    ASSERT_NE(nullptr, in);
    std::string text;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        text.append(buffer, n);
    }
    std::fclose(in);
    long level = 0;
    long deepest = 0;
    bool inString = false;
    for (size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (inString) {
            if (c == '\\') {
                ++k;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++level);
        } else if (c == ']' || c == '}') {
            --level;
        }
    }
    EXPECT_EQ(0, level);
    // Document, nodes array, then an object and a children array per node.
    EXPECT_EQ(2 + 2 * 50000, deepest);
}

} // namespace
