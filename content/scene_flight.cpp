// "Flight.KVF" (effect "Flight"): the camera flies a figure of eight low
// over rolling hills under the evening sky, banking into its turns (a roll
// track on the camera) and looking ahead along its path (a moving target),
// through gold rings set along the way. Stone monoliths stand on the hills.
// 30 s at 30 frames a second; the path closes on itself.
#include <cmath>

#include "content/noise.h"
#include "content/scene_kit.h"
#include "content/show.h"

namespace content {

namespace {

constexpr int kFrames = 900;
constexpr float kLand = 320.0f; // the terrain spans -kLand to kLand

enum Materials { kGround, kGold, kStone };

float Terrain(float x, float y)
{
    const float hills = FractalNoise(x / 90.0f + 7.0f, y / 90.0f + 3.0f, 0.5f, 1 << 12, 4);
    return 42.0f * hills - 16.0f;
}

// The path, a figure of eight over the land, s from 0 to 1.
Vec3 Path(float s)
{
    const float a = 2.0f * kPi * s;
    const float x = 130.0f * std::sin(a), y = 80.0f * std::sin(2.0f * a);
    return Vec3{x, y, Terrain(x, y) + 40.0f};
}

// Smoothed so that the camera does not follow every bump of the ground.
Vec3 SmoothPath(float s)
{
    Vec3 sum{};
    for (int i = -4; i <= 4; ++i) {
        sum = sum + Path(s + i * 0.01f);
    }
    return sum * (1.0f / 9.0f);
}

float Heading(float s)
{
    const Vec3 d = SmoothPath(s + 0.002f) - SmoothPath(s - 0.002f);
    return std::atan2(d.y, d.x);
}

// Bank against the turn: proportional to how fast the heading changes.
float Roll(float frame)
{
    const float s = frame / kFrames;
    float change = Heading(s + 0.01f) - Heading(s - 0.01f);
    change = std::remainder(change, 2.0f * kPi);
    return std::fmax(-0.6f, std::fmin(0.6f, change * 2.5f));
}

kvf::Mesh Land()
{
    MeshBuilder mesh("Land");
    mesh.SetMaterial(kGround);
    mesh.SetSmoothing(1);
    const int cells = 40;
    const uint16_t first = mesh.VertexCount();
    for (int j = 0; j <= cells; ++j) {
        for (int i = 0; i <= cells; ++i) {
            const float x = -kLand + 2.0f * kLand * i / cells, y = -kLand + 2.0f * kLand * j / cells;
            mesh.AddVertex({x, y, Terrain(x, y)}, 12.0f * i / cells, 12.0f * j / cells);
        }
    }
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            const uint16_t a = static_cast<uint16_t>(first + j * (cells + 1) + i);
            mesh.AddQuad(a, static_cast<uint16_t>(a + 1), static_cast<uint16_t>(a + cells + 2),
                         static_cast<uint16_t>(a + cells + 1));
        }
    }
    return mesh.Build();
}

// Gold rings standing across the path, facing along it.
kvf::Mesh Ring(int index)
{
    MeshBuilder mesh("Ring " + std::to_string(index));
    mesh.SetMaterial(kGold);
    mesh.SetSmoothing(1);
    mesh.AddTorus({0, 0, 0}, 12.0f, 1.3f, 24, 6);
    return mesh.Build();
}

kvf::Mesh Monoliths()
{
    MeshBuilder mesh("Monoliths");
    mesh.SetMaterial(kStone);
    const float spots[][2] = {{-60, 120}, {90, -110}, {160, 60}, {-150, -70}, {20, 150}};
    for (const auto& spot : spots) {
        const float ground = Terrain(spot[0], spot[1]);
        mesh.AddBox({spot[0], spot[1], ground + 12.0f}, {6, 3, 30});
    }
    return mesh.Build();
}

} // namespace

kvf::Scene FlightScene()
{
    kvf::Scene scene;
    scene.ambient = {0.3f, 0.26f, 0.28f};
    scene.endFrame = kFrames;
    scene.frameRate = 30;
    scene.materials = {TextureMaterial(kGround, "Ground", "Ground.JPG"),
                       ColourMaterial(kGold, "Gold", {0.95f, 0.7f, 0.2f}, 40),
                       TextureMaterial(kStone, "Stone", "Marble.JPG", 10)};

    const auto eye = [](float f) { return SmoothPath(f / kFrames); };
    // Ahead along the path, a little below the eye: the horizon stays in view.
    const auto ahead = [](float f) {
        const Vec3 next = SmoothPath(f / kFrames + 0.04f);
        return Vec3{next.x, next.y, SmoothPath(f / kFrames).z - 9.0f};
    };
    const CameraRig camera = MakeCamera("Flight camera", PositionTrackOf(kFrames, eye, 10),
                                        PositionTrackOf(kFrames, ahead, 10), FloatTrackOf(kFrames, 10, Roll), 1.0f);
    scene.objects = {camera.camera, Land(), Monoliths()};
    scene.objects.push_back(PointLight("Evening sun", {100, 500, 300}, {1.0f, 0.8f, 0.6f}, 550.0f));
    scene.objects.push_back(PointLight("Sky light", {-300, -250, 400}, {0.35f, 0.4f, 0.6f}, 560.0f));
    scene.objects.push_back(PointLight("Glow", {400, -100, 80}, {0.5f, 0.3f, 0.2f}, 420.0f));
    scene.nodes = {camera.eye, camera.target, MakeNode(0, kvf::kNodeMesh, "Land", At({0, 0, 0})),
                   MakeNode(0, kvf::kNodeMesh, "Monoliths", At({0, 0, 0})),
                   MakeNode(0, kvf::kNodeLight, "Evening sun", At({100, 500, 300})),
                   MakeNode(0, kvf::kNodeLight, "Sky light", At({-300, -250, 400})),
                   MakeNode(0, kvf::kNodeLight, "Glow", At({400, -100, 80}))};
    for (int i = 0; i < 8; ++i) {
        const float s = (i + 0.5f) / 8.0f;
        scene.objects.push_back(Ring(i));
        // A ring lies in the XY plane; turned a quarter turn about X it stands
        // facing Y, then about Z to face along the path.
        scene.nodes.push_back(MakeNode(0, kvf::kNodeMesh, "Ring " + std::to_string(i), At(SmoothPath(s)),
                                       TurnedTwice({1, 0, 0}, kPi / 2.0f, {0, 0, 1}, Heading(s) - kPi / 2.0f)));
    }
    return scene;
}

} // namespace content
