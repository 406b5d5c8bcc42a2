// "Dancer.KVF" (effect "Skin and bones"): a figure skinned on helper bones
// walks a circle drawn on the floor as a spline, round a column that twists
// back and forth inside a spiral of lines. Grass-like stalks bend in the
// wind, a ball bounces squashing and stretching, and a two-sided banner
// flies from its pole as a travelling wave. The camera circles, looking
// between the column and the walker. 40 s at 30 frames a second.
#include <cmath>

#include "content/scene_kit.h"
#include "content/show.h"
#include "content/walker.h"

namespace content {

namespace {

constexpr int kFrames = 1200;
constexpr float kWalkRadius = 30.0f;

enum Materials { kTiles, kSkin, kCloth, kShirt, kMarble, kStalk, kBall, kBanner, kPole };

kvf::Mesh Floor()
{
    MeshBuilder mesh("Floor");
    mesh.SetMaterial(kTiles);
    mesh.AddPanel({0, 0, 0}, {100, 0, 0}, {0, 100, 0}, 10, 10, 6.0f);
    return mesh.Build();
}

// A square column 8 wide and 36 high, in 16 rows so that it can twist.
kvf::Mesh Column()
{
    MeshBuilder mesh("Twisting column");
    mesh.SetMaterial(kMarble);
    mesh.AddPanel({0, -4, 18}, {4, 0, 0}, {0, 0, 18}, 2, 16);
    mesh.AddPanel({4, 0, 18}, {0, 4, 0}, {0, 0, 18}, 2, 16);
    mesh.AddPanel({0, 4, 18}, {-4, 0, 0}, {0, 0, 18}, 2, 16);
    mesh.AddPanel({-4, 0, 18}, {0, -4, 0}, {0, 0, 18}, 2, 16);
    mesh.AddPanel({0, 0, 36}, {4, 0, 0}, {0, 4, 0}, 2, 2);
    kvf::Mesh built = mesh.Build();
    built.modifiers.entries = {
        Twist(FloatTrackOf(kFrames, 20, [](float f) { return 100.0f * std::sin(2.0f * kPi * f / 240.0f); }))};
    return built;
}

kvf::Mesh Stalk(int index)
{
    MeshBuilder mesh("Stalk " + std::to_string(index));
    mesh.SetMaterial(kStalk);
    mesh.SetSmoothing(1);
    mesh.AddCylinder({0, 0, 0}, 0.9f, 26.0f, 8, 12, true);
    kvf::Mesh built = mesh.Build();
    const float phase = index * 0.9f;
    built.modifiers.entries = {Bend(
        FloatTrackOf(kFrames, 6, [phase](float f) { return 25.0f + 35.0f * std::sin(2.0f * kPi * f / 75.0f + phase); }),
        20.0f)};
    return built;
}

kvf::Mesh Ball()
{
    MeshBuilder mesh("Bouncing ball");
    mesh.SetMaterial(kBall);
    mesh.SetSmoothing(1);
    mesh.AddSphere({0, 0, 0}, {5, 5, 5}, 20, 12);
    kvf::Mesh built = mesh.Build();
    // Squashed where it meets the floor, stretched high in the air.
    built.modifiers.entries = {Stretch(FloatTrackOf(kFrames, 2, [](float f) {
        const float t = std::fmod(f, 36.0f) / 36.0f; // 0 and 1: on the floor
        const float nearFloor = std::exp(-std::pow(std::min(t, 1.0f - t) * 12.0f, 2.0f));
        return 0.2f * std::sin(kPi * t) - 0.45f * nearFloor;
    }))};
    return built;
}

Vec3 BallAt(float f)
{
    const float t = std::fmod(f, 36.0f) / 36.0f;
    return Vec3{-50, -25, 4.0f + 22.0f * std::sin(kPi * t)};
}

// Made lying flat (its height along X, its length along Y), so that the
// wave lifts it along Z; its node stands it up on the pole.
kvf::Mesh Banner()
{
    MeshBuilder mesh("Banner");
    mesh.SetMaterial(kBanner);
    mesh.AddPanel({0, 11, 0}, {5, 0, 0}, {0, 11, 0}, 4, 16);
    kvf::Mesh built = mesh.Build();
    built.modifiers.entries = {Wave(1.3f, 11.0f, FloatTrack({{0, 0}, {kFrames, kFrames / 22.0f}}))};
    return built;
}

kvf::Mesh Pole()
{
    MeshBuilder mesh("Pole");
    mesh.SetMaterial(kPole);
    mesh.SetSmoothing(1);
    mesh.AddCylinder({0, 0, 0}, 0.6f, 40.0f, 8, 1, true);
    mesh.AddSphere({0, 0, 40.5f}, {1.2f, 1.2f, 1.2f}, 8, 6);
    return mesh.Build();
}

kvf::Shape Lines()
{
    kvf::Shape shape;
    shape.name = "Lines";
    kvf::Spline path;
    path.closed = 1;
    for (int i = 0; i < 72; ++i) {
        const float a = 2.0f * kPi * i / 72.0f;
        path.points.push_back({30.0f * std::cos(a), 30.0f * std::sin(a), 0.15f});
    }
    kvf::Spline spiral;
    for (int i = 0; i <= 160; ++i) {
        const float a = 2.0f * kPi * i / 32.0f;
        spiral.points.push_back({9.0f * std::cos(a), 9.0f * std::sin(a), 38.0f * i / 160.0f});
    }
    shape.splines = {path, spiral};
    return shape;
}

Vec3 Eye(float f)
{
    const float a = -1.9f + 2.0f * f / kFrames;
    const float r = 72.0f - 10.0f * std::sin(f * 0.006f);
    return Vec3{r * std::cos(a), r * std::sin(a), 26.0f + 6.0f * std::sin(f * 0.01f)};
}

} // namespace

kvf::Scene DancerScene()
{
    kvf::Scene scene;
    scene.ambient = {0.25f, 0.25f, 0.28f};
    scene.endFrame = kFrames;
    scene.frameRate = 30;
    kvf::Material banner = ColourMaterial(kBanner, "Banner", {0.85f, 0.1f, 0.12f}, 10);
    banner.twoSided = 1;
    scene.materials = {TextureMaterial(kTiles, "Tiles", "Tiles.JPG"),
                       ColourMaterial(kSkin, "Skin", {0.9f, 0.7f, 0.55f}, 8),
                       ColourMaterial(kCloth, "Trousers", {0.15f, 0.2f, 0.45f}),
                       ColourMaterial(kShirt, "Shirt", {0.95f, 0.55f, 0.1f}, 8),
                       TextureMaterial(kMarble, "Marble", "Marble.JPG", 20),
                       ColourMaterial(kStalk, "Stalk", {0.35f, 0.75f, 0.2f}, 12),
                       ColourMaterial(kBall, "Ball", {0.2f, 0.6f, 0.95f}, 50),
                       banner,
                       ColourMaterial(kPole, "Pole", {0.7f, 0.7f, 0.72f}, 40)};

    // The camera looks between the column and the walker, following it.
    const CameraRig camera = MakeCamera("Dancer camera", PositionTrackOf(kFrames, Eye, 20),
                                        PositionTrackOf(kFrames, [](float f) {
                                            const Vec3 hips = WalkerHips(kWalkRadius, f);
                                            return Vec3{hips.x * 0.6f, hips.y * 0.6f, 10.0f};
                                        }));
    const Walker walker = MakeWalker("Walker", kWalkRadius, kFrames, kSkin, kCloth, kShirt);

    scene.objects = {camera.camera, Floor(), walker.mesh, Column(), Ball(), Banner(), Pole(), Lines()};
    for (int i = 0; i < 5; ++i) {
        scene.objects.push_back(Stalk(i));
    }
    for (const kvf::Helper& bone : walker.bones) {
        scene.objects.push_back(bone);
    }
    scene.objects.push_back(PointLight("Key light", {60, -70, 80}, {1.0f, 0.92f, 0.8f}, 110.0f));
    scene.objects.push_back(PointLight("Fill light", {-70, 40, 40}, {0.45f, 0.55f, 0.8f}, 80.0f));
    scene.objects.push_back(PointLight("Rim light", {10, 90, 25}, {0.6f, 0.5f, 0.7f}, 80.0f));

    scene.nodes = {camera.eye, camera.target, MakeNode(0, kvf::kNodeMesh, "Floor", At({0, 0, 0}))};
    scene.nodes.insert(scene.nodes.end(), walker.nodes.begin(), walker.nodes.end());
    scene.nodes.push_back(MakeNode(0, kvf::kNodeMesh, "Twisting column", At({0, 0, 0})));
    scene.nodes.push_back(MakeNode(0, kvf::kNodeMesh, "Bouncing ball", PositionTrackOf(kFrames, BallAt, 2)));
    scene.nodes.push_back(MakeNode(0, kvf::kNodeMesh, "Pole", At({-42, 38, 0})));
    // A quarter turn about Y stands the banner up: its X goes down, its
    // wave's lift (Z) goes sideways.
    scene.nodes.push_back(MakeNode(1, kvf::kNodeMesh, "Banner", At({0, 0, 34}), Turned({0, 1, 0}, kPi / 2.0f)));
    scene.nodes.push_back(MakeNode(0, kvf::kNodeShape, "Lines", At({0, 0, 0})));
    for (int i = 0; i < 5; ++i) {
        const float a = 0.3f + 0.35f * i;
        scene.nodes.push_back(
            MakeNode(0, kvf::kNodeMesh, "Stalk " + std::to_string(i), At({58.0f * std::cos(a), 58.0f * std::sin(a), 0})));
    }
    scene.nodes.push_back(MakeNode(0, kvf::kNodeLight, "Key light", At({60, -70, 80})));
    scene.nodes.push_back(MakeNode(0, kvf::kNodeLight, "Fill light", At({-70, 40, 40})));
    scene.nodes.push_back(MakeNode(0, kvf::kNodeLight, "Rim light", At({10, 90, 25})));
    return scene;
}

} // namespace content
