// Scene seeds from the KVF writer. Each is small so that the fuzzer mutates
// quickly, and together they hold every object kind, node kind, controller
// family and type, texture-map shape and modifier body.
#include <string>

#include "fuzz/seeds/seed_files.h"
#include "scene/node.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace {

kvf::Controller Animated(int32_t type, int parts)
{
    kvf::Controller c;
    c.type = type;
    for (int k = 0; k < 3; ++k) {
        kvf::Key key;
        key.time = 10.0f * static_cast<float>(k);
        key.params.tension = 0.25f * static_cast<float>(k);
        key.params.continuity = -0.5f;
        key.params.bias = 0.5f;
        key.params.easeFrom = k == 1 ? 1.0f : 0.0f;
        key.params.easeTo = 0.5f;
        for (int p = 0; p < parts; ++p) {
            key.value[p] = static_cast<float>(k + p) * 0.5f;
        }
        if (parts == 4) {
            key.value[0] = 0.0f;
            key.value[1] = 0.0f;
            key.value[2] = 1.0f; // a unit axis; the angle varies
        }
        c.keys.push_back(key);
    }
    return c;
}

kvf::Mesh Quad(const std::string& name)
{
    kvf::Mesh mesh;
    mesh.name = name;
    mesh.positions = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {4, 4, 2}, {2, 2, 8}};
    mesh.faces = {kvf::Face{0, 1, 2, 1, 0}, kvf::Face{1, 3, 2, 1, 1}, kvf::Face{2, 3, 4, 2, -1}};
    mesh.uvs = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0.5f, 0.5f}};
    mesh.uvFaces = {{0, 1, 2}, {1, 3, 2}, {2, 3, 4}};
    return mesh;
}

kvf::Node NodeOf(int32_t depth, int32_t kind, const std::string& name)
{
    kvf::Node node;
    node.depth = depth;
    node.kind = kind;
    node.name = name;
    return node;
}

kvf::Material TexturedMaterial(int32_t id)
{
    kvf::Material material;
    material.id = id;
    material.name = "mat" + std::to_string(id);
    material.diffuse = {0.5f, 0.25f, 1.0f};
    material.transparency = id == 1 ? 0.5f : 0.0f;
    material.twoSided = static_cast<uint8_t>(id & 1);
    material.blendKind = id;
    kvf::TextMap still;
    still.kind = 1;
    still.name = "diffuse";
    still.hasFile = 1;
    still.fileName = "wall.jpg";
    still.u = 0.5f;
    kvf::TextMap moving = still;
    moving.kind = 4;
    moving.name = "reflect";
    moving.animated = 1;
    moving.keys = {{0, 0, 0}, {20, 1, 0.5f}};
    kvf::TextMap opacity;
    opacity.kind = 2;
    opacity.name = "opacity";
    opacity.subMaps = {still};
    material.maps = {still, moving, opacity};
    return material;
}

// Three gizmo modifiers of one kind, their tracks and parameters of
// controller type `type`.
kvf::Mesh GizmoMesh(int32_t modifierType, int32_t type)
{
    kvf::Mesh mesh = Quad("deformed");
    for (int32_t axis = 0; axis < 3; ++axis) {
        kvf::Modifier m;
        m.type = modifierType;
        m.axis = axis;
        m.gizmo.position = Animated(type, 3);
        m.gizmo.offset = Animated(type, 3);
        m.gizmo.hasScale = axis == 1 ? 0 : 1;
        m.gizmo.rotation = Animated(type, 4);
        m.gizmo.hasRotation = axis == 2 ? 0 : 1;
        for (int p = 0; p < 5; ++p) {
            m.parameters.push_back(p == axis ? kvf::ConstantParameter(0.75f)
                                             : kvf::AnimatedParameter(Animated(type, 1)));
        }
        mesh.modifiers.entries.push_back(m);
    }
    return mesh;
}

kvf::Mesh SkinnedMesh(bool matrixFirst)
{
    kvf::Mesh mesh = Quad("skinned");
    kvf::Modifier skin;
    skin.type = matrixFirst ? kvf::kSkinMatrixFirst : kvf::kSkinCountFirst;
    kvf::Matrix43 moved;
    moved.m[9] = 1.0f;
    skin.skin.bones = {kvf::SkinBone{"bone", kvf::Matrix43{}}, kvf::SkinBone{"boneMesh", moved},
                       kvf::SkinBone{"nobody", kvf::Matrix43{}}};
    for (size_t v = 0; v < mesh.positions.size(); ++v) {
        kvf::SkinVertex vertex;
        vertex.influences = {kvf::SkinInfluence{static_cast<int32_t>(v % 3), 0.75f},
                             kvf::SkinInfluence{static_cast<int32_t>((v + 1) % 3), 0.25f}};
        skin.skin.vertices.push_back(vertex);
    }
    kvf::Modifier empty;
    empty.type = kvf::kEmptyEntry;
    kvf::Modifier bend;
    bend.type = kvf::kBend;
    mesh.modifiers.entries = {skin, empty, bend};
    return mesh;
}

kvf::Scene SceneWith(const std::vector<kvf::Object>& objects, const std::vector<kvf::Node>& nodes)
{
    kvf::Scene scene;
    scene.ambient = {0.2f, 0.3f, 0.4f};
    scene.objects = objects;
    scene.nodes = nodes;
    return scene;
}

} // namespace

std::vector<uint8_t> SmallSceneSeed()
{
    kvf::Mesh mesh = Quad("mesh");
    mesh.colours = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    mesh.colourFaces = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}};
    kvf::Camera camera;
    camera.name = "cam";
    camera.position = {0, -50, 0};
    kvf::Helper helper;
    helper.name = "helper";
    kvf::Scene scene = SceneWith({mesh, camera, helper},
                                 {NodeOf(0, CNode::kHelper, "helper"), NodeOf(1, CNode::kMesh, "mesh"),
                                  NodeOf(0, CNode::kCamera, "cam")});
    scene.materials = {TexturedMaterial(0)};
    return kvf::WriteScene(scene);
}

bool WriteSceneSeeds(const std::string& folder)
{
    bool ok = WriteSeed(folder, "small.kvf", SmallSceneSeed());

    // Every object kind and every node kind, depths that nest, return and
    // skip a level, an unknown object code.
    {
        kvf::Mesh normals = Quad("normals");
        normals.normalsFlag = 1;
        normals.normals.resize(normals.faces.size());
        kvf::Mesh faceMap = Quad("faceMap");
        faceMap.faceMapFlag = 1;
        faceMap.faceMap.assign(24 * faceMap.faces.size(), 0x3F);
        kvf::Camera camera;
        camera.name = "cam";
        kvf::Light point;
        point.name = "point";
        kvf::Light spot;
        spot.name = "spot";
        spot.type = 2;
        spot.hotspot = 30;
        spot.falloff = 45;
        spot.rangeFlag = 1;
        spot.range = 100;
        kvf::Light free = spot;
        free.name = "free";
        free.type = 3;
        kvf::Light four = spot;
        four.name = "four";
        four.type = 4;
        four.markerFlag = 1;
        kvf::Shape shape;
        shape.name = "shape";
        kvf::Spline closed;
        closed.closed = 1;
        closed.points = {{0, 0, 0}, {1, 2, 3}, {4, 5, 6}};
        kvf::Spline empty;
        shape.splines = {closed, empty};
        kvf::Helper helper;
        helper.name = "helper";
        helper.subtype = 2;
        kvf::Node cameraTarget = NodeOf(1, CNode::kCameraTarget, "cam.Target");
        cameraTarget.ownerName = "cam";
        kvf::Node lightTarget = NodeOf(2, CNode::kLightTarget, "spot.Target");
        lightTarget.ownerName = "spot";
        kvf::Scene scene = SceneWith(
            {normals, faceMap, camera, point, spot, free, four, shape, helper, kvf::RawCode{}},
            {NodeOf(0, CNode::kMesh, "normals"), NodeOf(1, CNode::kCamera, "cam"), cameraTarget,
             NodeOf(1, CNode::kLight, "spot"), lightTarget, NodeOf(0, CNode::kShape, "shape"),
             NodeOf(2, CNode::kHelper, "helper"), NodeOf(0, CNode::kMesh, "faceMap"),
             NodeOf(3, CNode::kLight, "point")});
        scene.materials = {TexturedMaterial(0), TexturedMaterial(1)};
        ok = WriteSeed(folder, "objects.kvf", kvf::WriteScene(scene)) && ok;
    }

    // Node tracks of every controller type, both rotation families.
    for (int32_t type = 0; type < 3; ++type) {
        kvf::Helper helper;
        helper.name = "h";
        kvf::Node axisAngle = NodeOf(0, CNode::kHelper, "h");
        axisAngle.position = Animated(type, 3);
        axisAngle.rotationSelector = 1;
        axisAngle.rotation = Animated(type, 4);
        axisAngle.scale = Animated(type, 3);
        kvf::Node angle = axisAngle;
        angle.depth = 1;
        angle.rotationSelector = 0;
        angle.rotation = Animated(type, 1);
        const std::string name = "controllers" + std::to_string(type) + ".kvf";
        ok = WriteSeed(folder, name, kvf::WriteScene(SceneWith({helper}, {axisAngle, angle}))) && ok;
    }

    // Every gizmo modifier body with every controller type.
    const struct {
        int32_t type;
        const char* name;
    } gizmos[] = {{kvf::kBend, "bend"},
                  {kvf::kStretch, "stretch"},
                  {kvf::kTwist, "twist"},
                  {kvf::kWave, "wave"},
                  {kvf::kRipple, "ripple"}};
    for (const auto& gizmo : gizmos) {
        for (int32_t type = 0; type < 3; ++type) {
            kvf::Scene scene = SceneWith({GizmoMesh(gizmo.type, type)}, {NodeOf(0, CNode::kMesh, "deformed")});
            ok = WriteSeed(folder, std::string(gizmo.name) + std::to_string(type) + ".kvf", kvf::WriteScene(scene))
                 && ok;
        }
    }

    // Both skin layouts, bound to a helper and to a mesh, one bone missing.
    for (bool matrixFirst : {false, true}) {
        kvf::Helper bone;
        bone.name = "bone";
        kvf::Mesh boneMesh = Quad("boneMesh");
        kvf::Node moving = NodeOf(0, CNode::kHelper, "bone");
        moving.position = Animated(0, 3);
        kvf::Scene scene = SceneWith({SkinnedMesh(matrixFirst), bone, boneMesh},
                                     {moving, NodeOf(1, CNode::kMesh, "boneMesh"), NodeOf(0, CNode::kMesh, "skinned")});
        ok = WriteSeed(folder, matrixFirst ? "skin_matrix_first.kvf" : "skin_count_first.kvf", kvf::WriteScene(scene))
             && ok;
    }
    return ok;
}
