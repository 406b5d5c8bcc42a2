// Scenes written with the KVF writer and loaded back through the pack: every
// record kind, every controller family and type code and every modifier
// body must come back as written, with the reader ending each record where
// the writer ended it.
#include <gtest/gtest.h>

#include "modifiers/modifier_bend.h"
#include "modifiers/modifier_skin.h"
#include "modifiers/modifier_wave.h"
#include "scene/camera.h"
#include "scene/controller.h"
#include "scene/helper_object.h"
#include "scene/light.h"
#include "scene/node.h"
#include "scene/shape.h"
#include "scene/texture_map.h"
#include "tests/scene/mesh_test_helpers.h"
#include "tests/support/pack_builder.h"

namespace {

kvf::Key KeyAt(float time, float v0, float v1 = 0, float v2 = 0, float v3 = 0)
{
    kvf::Key k;
    k.time = time;
    k.value[0] = v0;
    k.value[1] = v1;
    k.value[2] = v2;
    k.value[3] = v3;
    k.params.tension = 0.5f;
    k.params.easeTo = 0.25f;
    k.skipped[0] = 99.0f; // filler the reader must step over
    return k;
}

kvf::Controller Track(int32_t type, std::vector<kvf::Key> keys)
{
    kvf::Controller c;
    c.type = type;
    c.keys = std::move(keys);
    return c;
}

kvf::Node NodeOf(int32_t depth, int32_t kind, const std::string& name)
{
    kvf::Node n;
    n.depth = depth;
    n.kind = kind;
    n.name = name;
    return n;
}

class KvfWriterRoundTrip : public ::testing::Test {
protected:
    int Load(const kvf::Scene& scene)
    {
        if (!WritePack(m_dir.File("data.pac"), {{"scene.kvf", kvf::WriteScene(scene)}})) {
            ADD_FAILURE() << "pack not written";
            return 1;
        }
        return m_scene.LoadScene("scene.kvf", m_dir.File("data.pac").c_str());
    }

    TempDirectory m_dir;
    CScene m_scene;
};

TEST_F(KvfWriterRoundTrip, EveryObjectKindInFileOrder)
{
    kvf::Scene scene;
    scene.ambient = {1.0f, 0.5f, 0.0f};
    scene.startFrame = 5;
    scene.endFrame = 250;
    scene.frameRate = 25;

    kvf::Material plain;
    plain.id = 7;
    plain.name = "Plain";
    plain.diffuse = {0.25f, 0.5f, 0.75f};
    plain.transparency = 0.11f;
    plain.blendKind = 2;
    kvf::Material textured;
    textured.name = "Textured";
    kvf::TextMap map;
    map.kind = 1;
    map.name = "Diffuse";
    map.hasFile = 1;
    map.fileName = "wood.jpg";
    map.animated = 1;
    map.keys = {{0, 0.25f, 0.5f}, {1, 0.5f, 0.75f}};
    kvf::TextMap sub;
    sub.kind = 6;
    sub.name = "Sub";
    map.subMaps = {sub};
    textured.maps = {map};
    scene.materials = {plain, textured};

    kvf::Mesh mesh = TriangleMesh("Box", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, 1}});
    kvf::Modifier wave;
    wave.type = kvf::kRipple;
    kvf::Modifier bend;
    bend.type = kvf::kBend;
    bend.axis = 0;
    bend.parameters = {kvf::AnimatedParameter(Track(0, {KeyAt(0, 0), KeyAt(10, 90)})),
                       kvf::AnimatedParameter(Track(1, {KeyAt(0, 45)}))};
    mesh.modifiers.entries = {wave, bend};
    kvf::Camera camera;
    camera.name = "Camera01";
    camera.position = {1, 2, 3};
    camera.fieldOfView = 1.8f;
    kvf::Light spot;
    spot.name = "Spot";
    spot.type = 2;
    spot.target = {4, 5, 6};
    spot.hotspot = 30;
    spot.falloff = 45;
    spot.rangeFlag = 1;
    spot.range = 100;
    spot.markerFlag = 1;
    kvf::Light noRange;
    noRange.name = "NoRange";
    noRange.type = 4;
    noRange.rangeFlag = 1; // type 4 never has range values
    noRange.range = 55;
    kvf::Shape shape;
    shape.name = "Line";
    kvf::Spline closed;
    closed.closed = 1;
    closed.points = {{0, 0, 0}, {1, 2, 3}};
    shape.splines = {closed, kvf::Spline{}};
    kvf::Helper helper;
    helper.name = "Dummy";
    helper.subtype = 3;
    helper.pivot = {1, 2, 3};
    helper.vector1 = {1, 2, 3};
    kvf::Mesh second = TriangleMesh("Second", {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
    second.faceMapFlag = 1; // ends early; the stream must go on after its face map
    scene.objects = {mesh, camera, kvf::RawCode{7}, spot, noRange, kvf::RawCode{-1}, shape, helper, second};

    BoxCapture boxes;
    ASSERT_EQ(0, Load(scene));
    EXPECT_EQ(0x00FF7F00u, m_scene.ambientColour);
    EXPECT_EQ(5, m_scene.startFrame);
    EXPECT_EQ(250, m_scene.endFrame);
    EXPECT_EQ(25, m_scene.frameRate);

    ASSERT_EQ(2, m_scene.materialCount);
    EXPECT_EQ(7, m_scene.materials[0].id);
    EXPECT_STREQ("Plain", m_scene.materials[0].name);
    EXPECT_EQ(0.75f, m_scene.materials[0].diffuse.b);
    EXPECT_EQ(2, m_scene.materials[0].blendKind);
    ASSERT_EQ(1, m_scene.materials[1].mapCount);
    const CTextMap& readMap = m_scene.materials[1].maps[0];
    EXPECT_STREQ("wood.jpg", readMap.fileName);
    EXPECT_EQ(1, readMap.animated);
    ASSERT_EQ(1, readMap.subMapCount);
    EXPECT_STREQ("Sub", readMap.subMaps[0].name);

    ASSERT_EQ(2, m_scene.meshes.Count());
    CMesh* box = m_scene.meshes.At(0);
    EXPECT_STREQ("Box", box->name);
    EXPECT_EQ(&m_scene.materials[1], box->faces[0].material);
    ASSERT_EQ(2, box->modifiers.Count());
    EXPECT_EQ(16, box->modifiers.At(0)->m_type);
    auto* readBend = static_cast<CModifierBend*>(box->modifiers.At(1));
    EXPECT_EQ(0, readBend->m_axis);
    auto* angle = dynamic_cast<CControllerFloatTCB*>(readBend->m_angleController);
    ASSERT_NE(nullptr, angle);
    ASSERT_EQ(2, angle->keyCount);
    EXPECT_EQ(10, angle->keys[1].time);
    EXPECT_EQ(90.0f, angle->keys[1].value);
    EXPECT_EQ(0.5f, angle->keys[1].tension);
    auto* direction = dynamic_cast<CControllerFloatTCB*>(readBend->m_directionController);
    ASSERT_NE(nullptr, direction);
    EXPECT_EQ(45.0f, direction->keys[0].value);
    EXPECT_EQ(0.0f, direction->keys[0].tension);
    CMesh* mapped = m_scene.meshes.At(1);
    EXPECT_STREQ("Second", mapped->name);
    EXPECT_EQ(0, mapped->vertexCount);

    ASSERT_EQ(1, m_scene.cameras.Count());
    CCamera* readCamera = m_scene.cameras.First();
    EXPECT_EQ(-1.0f, readCamera->position.x);
    EXPECT_EQ(3.0f, readCamera->position.y);
    EXPECT_EQ(1.8f, readCamera->fieldOfView);

    ASSERT_EQ(2, m_scene.lights.Count());
    CLight* readSpot = m_scene.lights.At(0);
    EXPECT_EQ(2, readSpot->type);
    ASSERT_NE(nullptr, readSpot->target);
    EXPECT_EQ(6.0f, readSpot->target->position.y);
    EXPECT_EQ(100.0f, readSpot->range);
    EXPECT_EQ(1, readSpot->markerFlag);
    EXPECT_EQ(0.0f, m_scene.lights.At(1)->range);

    ASSERT_EQ(1, m_scene.shapes.Count());
    CShape* readShape = m_scene.shapes.First();
    ASSERT_EQ(2, readShape->splineCount);
    EXPECT_EQ(1, readShape->splines[0].closed);
    ASSERT_EQ(2, readShape->splines[0].pointCount);
    EXPECT_EQ(-2.0f, readShape->splines[0].points[1].z);
    EXPECT_EQ(0, readShape->splines[1].pointCount);

    ASSERT_EQ(1, m_scene.helpers.Count());
    CHelper* readHelper = m_scene.helpers.First();
    EXPECT_EQ(3, readHelper->subtype);
    EXPECT_EQ(-1.0f, readHelper->pivot.x);
    EXPECT_EQ(2.0f, readHelper->vector1.y);

    // Only the face-map box: nothing else complained.
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("FaceMap : dont use that plz", boxes.boxes[0].title);
}

TEST_F(KvfWriterRoundTrip, NodeControllersOfEveryFamilyAndType)
{
    kvf::Scene scene;
    scene.objects = {TriangleMesh("Mesh", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}})};
    struct Variant {
        int32_t positionType;
        uint8_t selector;
        int32_t rotationType;
        int32_t scaleType;
    };
    const Variant variants[] = {
        {0, 1, 0, 0}, {1, 1, 1, 1}, {2, 1, 2, 2}, {0, 0, 0, 1}, {1, 0, 1, 2}, {7, 0, 5, 0},
    };
    scene.nodes.push_back(NodeOf(0, 0, "Mesh"));
    for (size_t i = 0; i < sizeof variants / sizeof variants[0]; ++i) {
        const Variant& v = variants[i];
        kvf::Node n = NodeOf(1, 4, "Helper" + std::to_string(i));
        n.position = Track(v.positionType, {KeyAt(0, 1, 2, 3), KeyAt(2, 4, 5, 6)});
        n.rotationSelector = v.selector;
        n.rotation = Track(v.rotationType, {KeyAt(0, 0, 0, 1, 0.5f), KeyAt(2, 0, 0, 1, 1.0f)});
        n.scale = Track(v.scaleType, {KeyAt(0, 1, 2, 3)});
        scene.nodes.push_back(n);
        kvf::Helper h;
        h.name = n.name;
        scene.objects.push_back(h);
    }

    BoxCapture boxes;
    ASSERT_EQ(0, Load(scene));
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().title << ": " << boxes.boxes.front().text;
    ASSERT_EQ(1, m_scene.roots.Count());
    CNode* root = m_scene.roots.First();
    ASSERT_EQ(6, root->children.Count());
    for (int i = 0; i < 6; ++i) {
        const CNode* node = root->children.At(i);
        const Variant& v = variants[i];
        EXPECT_EQ("Helper" + std::to_string(i), std::string(node->name));
        EXPECT_NE(nullptr, node->object);
        if (v.positionType <= 1) {
            auto* tcb = dynamic_cast<CControllerVectorTCB*>(node->positionController);
            ASSERT_NE(nullptr, tcb) << i;
            ASSERT_EQ(2, tcb->keyCount);
            EXPECT_EQ(-4.0f, tcb->keys[1].value.x);
            EXPECT_EQ(v.positionType == 0 ? 0.5f : 0.0f, tcb->keys[0].tension);
        } else {
            auto* sampled = dynamic_cast<CControllerVectorSampled*>(node->positionController);
            ASSERT_NE(nullptr, sampled) << i;
            EXPECT_EQ(2.0f, sampled->keys[1].time);
            EXPECT_EQ(6.0f, sampled->keys[1].value.y);
        }
        if (v.selector == 1) {
            if (v.rotationType <= 1) {
                auto* tcb = dynamic_cast<CControllerRotationTCB*>(node->rotationController);
                ASSERT_NE(nullptr, tcb) << i;
                EXPECT_EQ(1.0f, tcb->keys[1].angle);
            } else {
                EXPECT_NE(nullptr, dynamic_cast<CControllerRotationSampled*>(node->rotationController)) << i;
            }
        } else if (v.rotationType == 0) {
            auto* angle = dynamic_cast<CControllerRotationAngle*>(node->rotationController);
            ASSERT_NE(nullptr, angle) << i;
            EXPECT_EQ(0.0f, angle->value->keys[0].value); // value[0] of the key
        } else if (v.rotationType == 1) {
            EXPECT_NE(nullptr, dynamic_cast<CControllerRotationTCB*>(node->rotationController)) << i;
        } else {
            EXPECT_EQ(nullptr, node->rotationController) << i;
        }
        if (v.scaleType <= 1) {
            auto* tcb = dynamic_cast<CControllerVectorTCB*>(node->scaleController);
            ASSERT_NE(nullptr, tcb) << i;
            EXPECT_EQ(3.0f, tcb->keys[0].value.y); // scale (x, y, z) -> (x, z, y)
        } else {
            EXPECT_NE(nullptr, dynamic_cast<CControllerVectorSampled*>(node->scaleController)) << i;
        }
    }
}

TEST_F(KvfWriterRoundTrip, SkinnedMeshBoundToItsBonesByName)
{
    kvf::Scene scene;
    kvf::Mesh body = TriangleMesh("Body", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
    kvf::Modifier skin;
    skin.type = kvf::kSkinMatrixFirst;
    skin.skin.bones = {{"Arm", {}}};
    for (int j = 0; j < 3; ++j) {
        kvf::SkinVertex v;
        v.influences = {{0, 1.0f}};
        skin.skin.vertices.push_back(v);
    }
    body.modifiers.entries = {skin};
    kvf::Helper arm;
    arm.name = "Arm";
    scene.objects = {body, arm};
    kvf::Node bodyNode = NodeOf(0, 0, "Body");
    bodyNode.pivot = {1, 0, 0};
    scene.nodes = {bodyNode, NodeOf(1, 4, "Arm")};

    ASSERT_EQ(0, Load(scene));
    CMesh* mesh = m_scene.RetrieveMesh("Body");
    ASSERT_NE(nullptr, mesh);
    auto* readSkin = static_cast<CModifierSkin*>(mesh->modifiers.First());
    ASSERT_EQ(1, readSkin->m_nbBone);
    EXPECT_STREQ("Arm", readSkin->getBoneName(0));
    // Matched before the node moved the vertices by its pivot.
    for (const SkinVertex& v : readSkin->m_vertices) {
        EXPECT_EQ(1, v.m_nbBone);
    }
    EXPECT_EQ(-1.0f, mesh->pivot.x);
    EXPECT_EQ(1.0f, mesh->baseVertices[2].x); // file x 0 -> engine -0, moved by +1
}

TEST_F(KvfWriterRoundTrip, ACorruptedMeshFailsTheLoad)
{
    kvf::Scene scene;
    kvf::Mesh good = TriangleMesh("Good", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
    kvf::Mesh bad = good;
    bad.name = "Bad";
    bad.faces[0].c = 9;
    kvf::Camera camera;
    camera.name = "After";
    scene.objects = {good, bad, camera};
    BoxCapture boxes;
    EXPECT_EQ(1, Load(scene));
    EXPECT_EQ((std::vector<std::string>{"LibKVF : Corrupted mesh record : Bad (face corner out of range)"}),
              boxes.Texts());
}

TEST(KvfWriter, ControllerRecordsHaveTheirKeySizes)
{
    struct Case {
        kvf::ControllerFamily family;
        int32_t type;
        int keyBytes;
    };
    const Case cases[] = {
        {kvf::ControllerFamily::Vector, 0, 36},           {kvf::ControllerFamily::Vector, 1, 40},
        {kvf::ControllerFamily::Vector, 2, 16},           {kvf::ControllerFamily::RotationAxisAngle, 0, 40},
        {kvf::ControllerFamily::RotationAxisAngle, 1, 20}, {kvf::ControllerFamily::RotationAxisAngle, 3, 20},
        {kvf::ControllerFamily::RotationAngle, 0, 28},    {kvf::ControllerFamily::RotationAngle, 1, 16},
        {kvf::ControllerFamily::RotationAngle, 2, 0},     {kvf::ControllerFamily::Float, 0, 28},
        {kvf::ControllerFamily::Float, 1, 16},            {kvf::ControllerFamily::Float, 9, 0},
    };
    for (const Case& c : cases) {
        kvf::ByteWriter out;
        kvf::WriteController(out, c.family, Track(c.type, {KeyAt(0, 1), KeyAt(1, 2)}));
        // The type alone, or type, count and two keys.
        EXPECT_EQ(c.keyBytes == 0 ? 4u : 8u + 2u * c.keyBytes, out.Size()) << c.type;
    }
}

} // namespace
