// "Lights.KVF" (effect "Lights and lines"): every kind of light over a finely
// cut floor (lighting is worked out at the vertices, so the cones need
// them): a red point lamp circling, a spot light whose target is in its
// record and sweeps the floor in a figure of eight (its markers show at the
// lamp and the target), and a blue spot whose target comes from the node
// tree. A wireframe globe turns inside orbits drawn as splines, and a
// two-sided gold leaf spins so that both its faces are seen. 34.5 s at 30
// frames a second.
#include <cmath>

#include "content/scene_kit.h"
#include "content/show.h"

namespace content {

namespace {

constexpr int kFrames = 1035;

enum Materials { kTiles, kWire, kLeaf, kStone };

kvf::Mesh Floor()
{
    MeshBuilder mesh("Floor");
    mesh.SetMaterial(kTiles);
    mesh.AddPanel({0, 0, 0}, {80, 0, 0}, {0, 80, 0}, 32, 32, 8.0f);
    return mesh.Build();
}

kvf::Mesh Globe()
{
    MeshBuilder mesh("Wire globe");
    mesh.SetMaterial(kWire);
    mesh.SetSmoothing(1);
    mesh.AddSphere({0, 0, 0}, {12, 12, 12}, 20, 12);
    return mesh.Build();
}

// One-sided geometry: only its two-sided material shows its back.
kvf::Mesh Leaf()
{
    MeshBuilder mesh("Gold leaf");
    mesh.SetMaterial(kLeaf);
    const uint16_t stem = mesh.AddVertex({0, 0, 0}, 0.5f, 0.0f);
    std::vector<uint16_t> left, right;
    for (int i = 1; i <= 8; ++i) {
        const float t = i / 9.0f;
        const float w = 7.0f * std::sin(kPi * t);
        left.push_back(mesh.AddVertex({-w, 0, 24.0f * t}, 0.0f, t));
        right.push_back(mesh.AddVertex({w, 0, 24.0f * t}, 1.0f, t));
    }
    const uint16_t tip = mesh.AddVertex({0, 0, 24}, 0.5f, 1.0f);
    mesh.AddTriangle(stem, right[0], left[0]);
    for (size_t i = 0; i + 1 < left.size(); ++i) {
        mesh.AddQuad(left[i], right[i], right[i + 1], left[i + 1]);
    }
    mesh.AddTriangle(left.back(), right.back(), tip);
    return mesh.Build();
}

kvf::Mesh Stones()
{
    MeshBuilder mesh("Stones");
    mesh.SetMaterial(kStone);
    for (int i = 0; i < 6; ++i) {
        const float a = 2.0f * kPi * i / 6.0f + 0.3f;
        const float size = 6.0f + 2.0f * (i % 3);
        mesh.AddBox({48.0f * std::cos(a), 48.0f * std::sin(a), size * 0.5f}, {size, size, size});
    }
    mesh.SetSmoothing(1);
    mesh.AddCylinder({30, -25, 0}, 5.0f, 16.0f, 16, 4, true);
    return mesh.Build();
}

kvf::Shape Orbits()
{
    kvf::Shape shape;
    shape.name = "Orbits";
    for (int k = 0; k < 3; ++k) {
        kvf::Spline orbit;
        orbit.closed = 1;
        const float tilt = 0.5f + 0.6f * k, radius = 17.0f + 3.0f * k;
        for (int i = 0; i < 48; ++i) {
            const float a = 2.0f * kPi * i / 48.0f;
            const float x = radius * std::cos(a), y = radius * std::sin(a);
            orbit.points.push_back({x, y * std::cos(tilt), y * std::sin(tilt) * (k == 1 ? -1.0f : 1.0f)});
        }
        shape.splines.push_back(orbit);
    }
    return shape;
}

kvf::Shape FloorStar()
{
    kvf::Shape shape;
    shape.name = "Floor star";
    kvf::Spline star;
    star.closed = 1;
    for (int i = 0; i < 10; ++i) {
        const float a = 2.0f * kPi * i / 10.0f, r = i % 2 == 0 ? 38.0f : 16.0f;
        star.points.push_back({r * std::cos(a), r * std::sin(a), 0.2f});
    }
    shape.splines = {star};
    return shape;
}

Vec3 Eye(float f)
{
    const float a = -2.0f + 1.8f * f / kFrames;
    return Vec3{100.0f * std::cos(a), 100.0f * std::sin(a), 60.0f - 10.0f * std::sin(kPi * f / kFrames)};
}

} // namespace

kvf::Scene LightsScene()
{
    kvf::Scene scene;
    scene.ambient = {0.12f, 0.12f, 0.14f};
    scene.endFrame = kFrames;
    scene.frameRate = 30;
    kvf::Material wire = ColourMaterial(kWire, "Wire", {0.3f, 1.0f, 0.5f});
    wire.wireframe = 1;
    wire.twoSided = 1;
    kvf::Material leaf = ColourMaterial(kLeaf, "Leaf gold", {0.95f, 0.75f, 0.25f}, 40);
    leaf.twoSided = 1;
    scene.materials = {TextureMaterial(kTiles, "Tiles", "Tiles.JPG"), wire, leaf,
                       ColourMaterial(kStone, "Stone", {0.8f, 0.8f, 0.82f}, 15)};

    const CameraRig camera = MakeCamera("Lights camera", PositionTrackOf(kFrames, Eye, 20), At({0, 0, 8}));
    scene.objects = {camera.camera, Floor(), Globe(), Leaf(), Stones(), Orbits(), FloorStar()};
    scene.objects.push_back(PointLight("Red lamp", {30, 0, 12}, {1.0f, 0.25f, 0.2f}, 50.0f));
    scene.objects.push_back(
        TargetSpot("Search spot", {-10, -45, 70}, {0, 0, 0}, {1.0f, 0.95f, 0.75f}, 80.0f, 25.0f, 40.0f));
    // Aimed from where it stands at the origin, by the player's rule.
    scene.objects.push_back(NodeSpot("Blue spot", {45, 45, 75}, {0.3f, 0.45f, 1.0f}, 95.0f, 35.0f, 55.0f));

    kvf::Node searchTarget = MakeNode(0, kvf::kNodeLightTarget, "Search spot target", PositionTrackOf(kFrames, [](float f) {
                                          const float a = 2.0f * kPi * f / 300.0f;
                                          return Vec3{40.0f * std::sin(a), 25.0f * std::sin(2.0f * a), 0.0f};
                                      }, 10));
    searchTarget.ownerName = "Search spot";
    kvf::Node blueTarget = MakeNode(0, kvf::kNodeLightTarget, "Blue spot target", At({0, 0, 0}));
    blueTarget.ownerName = "Blue spot";

    scene.nodes = {
        camera.eye,
        camera.target,
        MakeNode(0, kvf::kNodeMesh, "Floor", At({0, 0, 0})),
        MakeNode(0, kvf::kNodeMesh, "Wire globe", At({-22, 12, 22}), SpinTrack({0.2f, 0.3f, 1.0f}, 2.0f, kFrames)),
        MakeNode(1, kvf::kNodeShape, "Orbits", At({0, 0, 0}), SpinTrack({0, 0, 1}, -1.0f, kFrames)),
        MakeNode(0, kvf::kNodeMesh, "Gold leaf", At({18, 22, 2}), SpinTrack({0, 0, 1}, 4.0f, kFrames)),
        MakeNode(0, kvf::kNodeMesh, "Stones", At({0, 0, 0})),
        MakeNode(0, kvf::kNodeShape, "Floor star", At({0, 0, 0})),
        MakeNode(0, kvf::kNodeLight, "Red lamp", PositionTrackOf(kFrames, [](float f) {
                     const float a = 2.0f * kPi * f / 240.0f;
                     return Vec3{30.0f * std::cos(a), 30.0f * std::sin(a), 12.0f};
                 }, 10)),
        MakeNode(0, kvf::kNodeLight, "Search spot", At({-10, -45, 70})),
        searchTarget,
        MakeNode(0, kvf::kNodeLight, "Blue spot", At({45, 45, 75})),
        blueTarget,
    };
    return scene;
}

} // namespace content
