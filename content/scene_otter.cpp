// "Plan1_partotter.KVF", the Marble1 effect's second scene, drawn from frame
// 1490 of the hall with the hall's camera and lights: an otter pops up from
// the floor in front of the chrome ball, turns once to face the viewer and
// waves, while gold stars circle it. 60 frames at 25 a second; it then holds
// its first frame until the hall starts over.
#include <cmath>

#include "content/scene_kit.h"
#include "content/show.h"

namespace content {

namespace {

constexpr int kFrames = 60;
const Vec3 kSpot{0, -45, 0}; // where it comes up, between the camera and the ball

enum Materials { kFur, kBelly, kDark, kStar };

kvf::Mesh Otter()
{
    MeshBuilder mesh("Otter");
    mesh.SetSmoothing(1);
    mesh.SetMaterial(kFur);
    mesh.AddSphere({0, 0, 8}, {5.0f, 4.5f, 9.0f}, 16, 12);       // body
    mesh.AddSphere({0, 0.5f, 19}, {4.5f, 4.0f, 3.8f}, 16, 10);   // head
    mesh.AddSphere({-3.2f, 0.5f, 22}, {1.2f, 0.8f, 1.2f}, 8, 6); // ears
    mesh.AddSphere({3.2f, 0.5f, 22}, {1.2f, 0.8f, 1.2f}, 8, 6);
    mesh.AddSphere({-3.5f, -1, 8}, {1.4f, 1.4f, 4.0f}, 8, 6);    // left arm, held down
    mesh.AddSphere({0, 6, 2}, {2.0f, 7.0f, 1.6f}, 10, 6);        // tail
    mesh.SetMaterial(kBelly);
    mesh.AddSphere({0, -3.0f, 8}, {3.5f, 2.0f, 6.5f}, 12, 8);    // belly
    mesh.AddSphere({0, -3.4f, 18}, {2.4f, 1.6f, 1.8f}, 10, 6);   // snout
    mesh.SetMaterial(kDark);
    mesh.AddSphere({-1.7f, -3.2f, 20.5f}, {0.7f, 0.5f, 0.7f}, 8, 6); // eyes
    mesh.AddSphere({1.7f, -3.2f, 20.5f}, {0.7f, 0.5f, 0.7f}, 8, 6);
    mesh.AddSphere({0, -5.0f, 18.6f}, {0.8f, 0.5f, 0.6f}, 8, 6);     // nose
    return mesh.Build();
}

// The waving arm, from the shoulder (its node's position) upward.
kvf::Mesh Paw()
{
    MeshBuilder mesh("Paw");
    mesh.SetSmoothing(1);
    mesh.SetMaterial(kFur);
    mesh.AddSphere({0, 0, 3.5f}, {1.4f, 1.4f, 4.0f}, 8, 6);
    return mesh.Build();
}

kvf::Mesh Stars()
{
    MeshBuilder mesh("Stars");
    mesh.SetMaterial(kStar);
    for (int i = 0; i < 8; ++i) {
        const float a = 2.0f * kPi * i / 8.0f;
        mesh.AddSphere({14.0f * std::cos(a), 14.0f * std::sin(a), 4.0f * std::sin(3.0f * a)}, {1.2f, 1.2f, 1.2f}, 6, 4);
    }
    return mesh.Build();
}

} // namespace

kvf::Scene OtterScene()
{
    kvf::Scene scene;
    scene.ambient = {0.3f, 0.3f, 0.3f};
    scene.endFrame = kFrames;
    scene.frameRate = 25;
    scene.materials = {ColourMaterial(kFur, "Fur", {0.45f, 0.28f, 0.15f}, 10),
                       ColourMaterial(kBelly, "Belly", {0.85f, 0.72f, 0.55f}),
                       ColourMaterial(kDark, "Eyes", {0.02f, 0.02f, 0.02f}, 60),
                       ColourMaterial(kStar, "Star gold", {1.0f, 0.8f, 0.25f}, 40)};
    scene.objects = {Otter(), Paw(), Stars()};
    const VectorKeys rise = {{0, kSpot + Vec3{0, 0, -26}}, {14, kSpot + Vec3{0, 0, 3}}, {20, kSpot}, {60, kSpot}};
    kvf::Node paw = MakeNode(1, kvf::kNodeMesh, "Paw", At({3.5f, -1, 13}), SampledRotationTrack(kFrames, [](float f) {
                                 return std::pair<Vec3, float>{{0, 1, 0}, 0.5f + 0.5f * std::sin(f * 0.5f)};
                             }));
    scene.nodes = {
        MakeNode(0, kvf::kNodeMesh, "Otter", PositionTrack(rise), SpinTrack({0, 0, 1}, 1.0f, 40)),
        paw,
        MakeNode(0, kvf::kNodeMesh, "Stars", PositionTrack({{0, kSpot + Vec3{0, 0, -10}}, {20, kSpot + Vec3{0, 0, 12}}}),
                 SpinTrack({0, 0, 1}, 1.5f, kFrames)),
    };
    return scene;
}

} // namespace content
