// "Plan1_part1.KVF", the main scene of the Marble1 effect: a round hall of
// marble columns under a gold ring, open to the sky, with a chrome ball
// turning on a pedestal at its centre. The camera circles the hall for 56 s,
// dips inside the ring, and settles facing the centre, where the second
// scene's otter comes up from the floor (frame 1490 on). Lit by a warm
// point light, a blue lamp orbiting the ball and a spot sweeping the floor,
// whose markers show at the lamp and its target.
#include <algorithm>
#include <cmath>

#include "content/scene_kit.h"
#include "content/show.h"

namespace content {

namespace {

constexpr int kFrames = 1550; // 62 s at 25 frames a second
constexpr int kSettle = 1400; // the camera holds still from here

enum Materials { kFloor, kMarble, kChrome, kGold, kEmblem };

kvf::Mesh Columns()
{
    MeshBuilder mesh("Columns");
    mesh.SetMaterial(kMarble);
    for (int i = 0; i < 8; ++i) {
        const float a = 2.0f * kPi * (i + 0.5f) / 8.0f;
        const Vec3 foot{70.0f * std::cos(a), 70.0f * std::sin(a), 0.0f};
        mesh.SetSmoothing(0);
        mesh.AddBox(foot + Vec3{0, 0, 2}, {12, 12, 4});
        mesh.AddBox(foot + Vec3{0, 0, 52}, {12, 12, 4});
        mesh.SetSmoothing(1);
        mesh.AddCylinder(foot + Vec3{0, 0, 4}, 4.0f, 46.0f, 16, 4, false);
    }
    return mesh.Build();
}

kvf::Mesh Floor()
{
    MeshBuilder mesh("Floor");
    mesh.SetMaterial(kFloor);
    mesh.AddPanel({0, 0, 0}, {120, 0, 0}, {0, 120, 0}, 24, 24, 4.0f);
    return mesh.Build();
}

// Just above the floor round the pedestal. Its faces are drawn last, blended
// by the emblem's alpha; that leaves the blend factors the logo and
// captions of the Marble1 effect are drawn with.
kvf::Mesh Emblem()
{
    MeshBuilder mesh("Emblem");
    mesh.SetMaterial(kEmblem);
    mesh.AddPanel({0, 0, 0.2f}, {32, 0, 0}, {0, 32, 0}, 2, 2);
    return mesh.Build();
}

kvf::Mesh Ring()
{
    MeshBuilder mesh("Gold ring");
    mesh.SetMaterial(kGold);
    mesh.SetSmoothing(1);
    mesh.AddTorus({0, 0, 57}, 70.0f, 3.0f, 64, 8);
    return mesh.Build();
}

kvf::Mesh Pedestal()
{
    MeshBuilder mesh("Pedestal");
    mesh.SetMaterial(kMarble);
    mesh.SetSmoothing(1);
    mesh.AddCylinder({0, 0, 0}, 10.0f, 12.0f, 24, 1, true);
    return mesh.Build();
}

// Unlit and nearly black, so the reflection alone gives its colour.
kvf::Mesh ChromeBall()
{
    MeshBuilder mesh("Chrome ball");
    mesh.SetMaterial(kChrome);
    mesh.SetSmoothing(1);
    mesh.AddSphere({0, 0, 0}, {9, 9, 9}, 32, 16);
    mesh.SetLighting(false);
    mesh.SetUniformColour({0.06f, 0.06f, 0.08f});
    return mesh.Build();
}

// The camera's way round the hall: (frame, angle in degrees about the
// centre, distance from it, height). It crosses the ring of columns only
// above the gold ring, circles low round the ball inside, and climbs out.
struct Stop {
    float frame, angle, radius, height;
};
const Stop kWay[] = {
    {0, -522, 175, 125},   {200, -450, 160, 100}, {400, -370, 130, 80}, {560, -300, 95, 74},
    {680, -250, 58, 66},   {820, -200, 42, 34},   {960, -150, 40, 22},  {1100, -115, 55, 68},
    {1220, -96, 90, 84},   {kSettle, -90, 110, 30}, {kFrames, -90, 110, 30},
};
constexpr int kStops = sizeof(kWay) / sizeof(kWay[0]);

// Catmull-Rom through the stops, in angle, distance and height, so that the
// way curves round the centre instead of cutting across.
Vec3 Eye(float frame)
{
    int i = 0;
    while (i + 2 < kStops && frame >= kWay[i + 1].frame) {
        ++i;
    }
    const Stop& p0 = kWay[std::max(i - 1, 0)];
    const Stop& p1 = kWay[i];
    const Stop& p2 = kWay[i + 1];
    const Stop& p3 = kWay[std::min(i + 2, kStops - 1)];
    const float t = std::clamp((frame - p1.frame) / (p2.frame - p1.frame), 0.0f, 1.0f);
    const auto spline = [t](float a, float b, float c, float d) {
        return 0.5f * (2.0f * b + (c - a) * t + (2.0f * a - 5.0f * b + 4.0f * c - d) * t * t +
                       (3.0f * b - a - 3.0f * c + d) * t * t * t);
    };
    const float angle = spline(p0.angle, p1.angle, p2.angle, p3.angle) * kPi / 180.0f;
    const float radius = spline(p0.radius, p1.radius, p2.radius, p3.radius);
    const float height = spline(p0.height, p1.height, p2.height, p3.height);
    return Vec3{radius * std::cos(angle), radius * std::sin(angle), height};
}

} // namespace

kvf::Scene MarbleHallScene()
{
    kvf::Scene scene;
    scene.ambient = {0.28f, 0.27f, 0.3f};
    scene.startFrame = 0;
    scene.endFrame = kFrames;
    scene.frameRate = 25;
    scene.materials = {TextureMaterial(kFloor, "Floor", "Floor.JPG"), TextureMaterial(kMarble, "Marble", "Marble.JPG", 24),
                       ReflectionMaterial(kChrome, "Chrome", "Chrome.JPG"),
                       ColourMaterial(kGold, "Gold", {0.85f, 0.62f, 0.2f}, 30),
                       DecalMaterial(kEmblem, "Emblem", "Emblem.TGA")};

    const CameraRig camera = MakeCamera("Hall camera", PositionTrackOf(kFrames, Eye), At({0, 0, 18}));
    scene.objects = {camera.camera, Floor(), Emblem(), Columns(), Ring(), Pedestal(), ChromeBall()};
    scene.objects.push_back(PointLight("Sun lamp", {70, -80, 110}, {1.0f, 0.86f, 0.7f}, 150.0f));
    scene.objects.push_back(PointLight("Blue lamp", {40, 0, 30}, {0.35f, 0.55f, 1.0f}, 45.0f));
    scene.objects.push_back(TargetSpot("Floor spot", {0, -60, 95}, {0, 0, 0}, {1.0f, 1.0f, 0.85f}, 110.0f, 30.0f, 45.0f));

    scene.nodes = {
        camera.eye,
        camera.target,
        MakeNode(0, kvf::kNodeMesh, "Floor", At({0, 0, 0})),
        MakeNode(0, kvf::kNodeMesh, "Emblem", At({0, 0, 0})),
        MakeNode(0, kvf::kNodeMesh, "Columns", At({0, 0, 0})),
        MakeNode(0, kvf::kNodeMesh, "Gold ring", At({0, 0, 0}), SpinTrack({0, 0, 1}, 1.0f, kFrames)),
        MakeNode(0, kvf::kNodeMesh, "Pedestal", At({0, 0, 0})),
        MakeNode(0, kvf::kNodeMesh, "Chrome ball",
                 PositionTrackOf(kFrames, [](float f) { return Vec3{0, 0, 22.0f + 2.0f * std::sin(f * 0.05f)}; }),
                 SpinTrack({0.2f, 0, 1}, 6.0f, kFrames)),
        MakeNode(0, kvf::kNodeLight, "Sun lamp", At({70, -80, 110})),
        MakeNode(0, kvf::kNodeLight, "Blue lamp", PositionTrackOf(kFrames, [](float f) {
                     const float a = f * 0.02f;
                     return Vec3{40.0f * std::cos(a), 40.0f * std::sin(a), 30.0f};
                 })),
        MakeNode(0, kvf::kNodeLight, "Floor spot", At({0, -60, 95})),
    };
    kvf::Node spotTarget = MakeNode(0, kvf::kNodeLightTarget, "Floor spot target", PositionTrackOf(kFrames, [](float f) {
                                        const float a = f * 0.012f;
                                        return Vec3{45.0f * std::cos(a), 45.0f * std::sin(a), 0.0f};
                                    }));
    spotTarget.ownerName = "Floor spot";
    scene.nodes.push_back(spotTarget);
    return scene;
}

} // namespace content
