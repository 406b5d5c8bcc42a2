// "Glass.KVF" (effect "Glass and chrome"): a cube of coloured glass panes
// turns over a pond, a chrome ring spinning inside it; the glass faces are
// drawn after everything else, sorted back to front, and blended over one
// another. The pond ripples in rings and its water texture drifts (an
// animated texture offset); a beam of flowing light joins it to the cube.
// 38 s at 30 frames a second.
#include <cmath>

#include "content/scene_kit.h"
#include "content/show.h"

namespace content {

namespace {

constexpr int kFrames = 1140;
const Vec3 kLookAt{0, 0, 14};

enum Materials { kWater, kRim, kChrome, kBeam, kCyanGlass, kRoseGlass, kAmberGlass, kClear };

kvf::TextMap Drifting(const std::string& name, const std::string& file, float uPerFrame, float vPerFrame)
{
    kvf::TextMap map;
    map.kind = 1;
    map.name = name;
    map.hasFile = 1;
    map.fileName = file;
    map.animated = 1;
    for (int frame = 0; frame <= kFrames; ++frame) {
        map.keys.push_back(kvf::OffsetKey{static_cast<float>(frame), uPerFrame * frame, vPerFrame * frame});
    }
    return map;
}

kvf::Material DriftingMaterial(int32_t id, const std::string& name, const std::string& file, float u, float v)
{
    kvf::Material material = ColourMaterial(id, name, {1, 1, 1}, 30);
    material.maps = {Drifting(name + " map", file, u, v)};
    return material;
}

kvf::Mesh Pond()
{
    MeshBuilder mesh("Pond");
    mesh.SetMaterial(kWater);
    mesh.SetSmoothing(1);
    mesh.AddPanel({0, 0, 0}, {40, 0, 0}, {0, 40, 0}, 32, 32, 3.0f);
    kvf::Mesh built = mesh.Build();
    // Rings running out from the beam (the phase falls, so the crests move
    // outward), fading with the distance. The normals stay those of the
    // flat water: the rings show in the outline and the texture's sway.
    built.modifiers.entries = {Ripple(1.8f, 14.0f, FloatTrack({{0, 0}, {kFrames, -kFrames / 25.0f}}), 0.02f)};
    return built;
}

kvf::Mesh Rim()
{
    MeshBuilder mesh("Rim");
    mesh.SetMaterial(kRim);
    mesh.SetSmoothing(1);
    mesh.AddTorus({0, 0, 0}, 44.0f, 4.0f, 48, 8);
    for (int i = 0; i < 4; ++i) {
        const float a = kPi / 4.0f + i * kPi / 2.0f;
        mesh.AddCylinder({50.0f * std::cos(a), 50.0f * std::sin(a), -2}, 3.0f, 18.0f, 12, 1, true);
    }
    return mesh.Build();
}

// Six panes, each pane two triangles by two, every pair of opposite panes
// of one colour.
kvf::Mesh GlassCube()
{
    MeshBuilder mesh("Glass cube");
    const float h = 9.0f;
    mesh.SetMaterial(kCyanGlass);
    mesh.AddPanel({0, 0, h}, {h, 0, 0}, {0, h, 0}, 2, 2);
    mesh.AddPanel({0, 0, -h}, {-h, 0, 0}, {0, h, 0}, 2, 2);
    mesh.SetMaterial(kRoseGlass);
    mesh.AddPanel({h, 0, 0}, {0, h, 0}, {0, 0, h}, 2, 2);
    mesh.AddPanel({-h, 0, 0}, {0, -h, 0}, {0, 0, h}, 2, 2);
    mesh.SetMaterial(kAmberGlass);
    mesh.AddPanel({0, h, 0}, {-h, 0, 0}, {0, 0, h}, 2, 2);
    mesh.AddPanel({0, -h, 0}, {h, 0, 0}, {0, 0, h}, 2, 2);
    return mesh.Build();
}

kvf::Mesh ChromeRing()
{
    MeshBuilder mesh("Chrome ring");
    mesh.SetMaterial(kChrome);
    mesh.SetSmoothing(1);
    mesh.AddTorus({0, 0, 0}, 5.0f, 1.8f, 32, 12);
    mesh.SetLighting(false);
    mesh.SetUniformColour({0.05f, 0.05f, 0.07f});
    return mesh.Build();
}

kvf::Mesh Beam()
{
    MeshBuilder mesh("Beam");
    mesh.SetMaterial(kBeam);
    mesh.SetSmoothing(1);
    mesh.AddCylinder({0, 0, 0}, 1.6f, 14.0f, 16, 1, false);
    mesh.SetLighting(false);
    return mesh.Build();
}

// One face that follows the camera just behind it: never seen, but the
// nearest of the blended faces, so the last drawn. Its alpha-blended
// material leaves blending by source alpha, under which the next frame's
// sky box (opaque) is drawn as it is; the glass's own blending, left in
// force, would square the sky's colours.
kvf::Mesh BlendKeeper()
{
    MeshBuilder mesh("Blend keeper");
    mesh.SetMaterial(kClear);
    mesh.AddTriangle(mesh.AddVertex({0, 0, 0}, 0, 0), mesh.AddVertex({0.5f, 0, 0}, 1, 0), mesh.AddVertex({0, 0, 0.5f}, 0, 1));
    return mesh.Build();
}

Vec3 Eye(float f)
{
    const float a = -1.6f + 2.4f * f / kFrames;
    const float r = 72.0f - 14.0f * std::sin(kPi * f / kFrames);
    return Vec3{r * std::cos(a), r * std::sin(a), 26.0f + 14.0f * std::sin(f * 0.008f)};
}

} // namespace

kvf::Scene GlassScene()
{
    kvf::Scene scene;
    scene.ambient = {0.3f, 0.3f, 0.32f};
    scene.endFrame = kFrames;
    scene.frameRate = 30;
    scene.materials = {DriftingMaterial(kWater, "Water", "Water.JPG", 0.0015f, 0.001f),
                       TextureMaterial(kRim, "Rim marble", "Marble.JPG", 20),
                       ReflectionMaterial(kChrome, "Chrome", "Chrome.JPG"),
                       DriftingMaterial(kBeam, "Beam", "Energy.JPG", 0.0f, -0.02f),
                       GlassMaterial(kCyanGlass, "Cyan glass", {0.1f, 0.4f, 0.5f}),
                       GlassMaterial(kRoseGlass, "Rose glass", {0.5f, 0.12f, 0.32f}),
                       GlassMaterial(kAmberGlass, "Amber glass", {0.55f, 0.38f, 0.08f}),
                       DecalMaterial(kClear, "Clear", "Emblem.TGA")};
    const CameraRig camera = MakeCamera("Glass camera", PositionTrackOf(kFrames, Eye, 20), At(kLookAt));
    scene.objects = {camera.camera, Pond(), Rim(), Beam(), GlassCube(), ChromeRing(), BlendKeeper()};
    scene.objects.push_back(PointLight("Warm light", {50, -60, 70}, {1.0f, 0.9f, 0.75f}, 100.0f));
    scene.objects.push_back(PointLight("Cyan light", {-30, 30, 8}, {0.3f, 0.8f, 0.9f}, 40.0f));
    scene.objects.push_back(PointLight("Top light", {0, 10, 80}, {0.8f, 0.8f, 0.9f}, 60.0f));
    scene.nodes = {
        camera.eye,
        camera.target,
        MakeNode(0, kvf::kNodeMesh, "Pond", At({0, 0, 0})),
        MakeNode(0, kvf::kNodeMesh, "Rim", At({0, 0, 0})),
        MakeNode(0, kvf::kNodeMesh, "Beam", At({0, 0, 0})),
        MakeNode(0, kvf::kNodeMesh, "Glass cube",
                 PositionTrackOf(kFrames, [](float f) { return Vec3{0, 0, 24.0f + 1.5f * std::sin(f * 0.05f)}; }, 10),
                 SpinTrack({0.4f, 0.3f, 1.0f}, 3.0f, kFrames)),
        MakeNode(1, kvf::kNodeMesh, "Chrome ring", At({0, 0, 0}), SpinTrack({1.0f, 0.0f, 0.2f}, -8.0f, kFrames)),
        MakeNode(0, kvf::kNodeMesh, "Blend keeper", PositionTrackOf(kFrames, [](float f) {
                     const Vec3 eye = Eye(f), away = eye - kLookAt;
                     return eye + away * (4.0f / std::sqrt(away.x * away.x + away.y * away.y + away.z * away.z));
                 }, 20)),
        MakeNode(0, kvf::kNodeLight, "Warm light", At({50, -60, 70})),
        MakeNode(0, kvf::kNodeLight, "Top light", At({0, 10, 80})),
        MakeNode(0, kvf::kNodeLight, "Cyan light", PositionTrackOf(kFrames, [](float f) {
                     const float a = f * 0.015f;
                     return Vec3{30.0f * std::cos(a), 30.0f * std::sin(a), 8.0f};
                 }, 10)),
    };
    return scene;
}

} // namespace content
