// Drawing whole scenes on the show's device at 640 x 480, each frame finished
// by the rasteriser before the next begins, as zolt-render --bench draws
// them. Besides the frame rate, each case splits a frame's time into the
// scene's Update (nodes, modifiers, animated materials), the Render call
// (the engine's own work of culling, deforming and sorting plus the
// submission of the drawing) and the wait for the rasteriser (clearing and
// drawing the pixels).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/mesh.h"
#include "bench/skinned_scene.h"
#include "scene/scene.h"
#include "tests/support/pack_builder.h"
#include "tools/kvf_writer/kvf_writer.h"
#include "tools/render/scene_renderer.h"

namespace {

constexpr int32_t kEndFrame = 100;

kvf::Vec3 EngineToFile(float x, float y, float z)
{
    return kvf::ToFileAxes(x, y, z);
}

kvf::Material MakeMaterial(const std::string& name, float r, float g, float b, float transparency)
{
    kvf::Material material;
    material.name = name;
    material.ambient = {r * 0.3f, g * 0.3f, b * 0.3f};
    material.diffuse = {r, g, b};
    material.specular = {1.0f, 1.0f, 1.0f};
    material.power = 20.0f;
    material.transparency = transparency;
    material.blendKind = 2;
    material.twoSided = 1;
    return material;
}

kvf::Light PointLight(const std::string& name, float x, float y, float z)
{
    kvf::Light light;
    light.name = name;
    light.type = 1;
    light.position = EngineToFile(x, y, z);
    return light;
}

kvf::Camera MakeCamera(float distance)
{
    kvf::Camera camera;
    camera.name = "camera";
    camera.position = EngineToFile(0.0f, 0.0f, -distance);
    camera.target = EngineToFile(0.0f, 0.0f, 0.0f);
    return camera;
}

// A rippled patch of columns x rows quads (two faces each) in the engine's
// x-y plane, `size` wide, centred on the origin; faces cycle through
// `materials` materials.
kvf::Mesh Patch(const std::string& name, int columns, int rows, float size, int materials)
{
    kvf::Mesh mesh;
    mesh.name = name;
    const float cell = size / static_cast<float>(columns);
    for (int y = 0; y <= rows; ++y) {
        for (int x = 0; x <= columns; ++x) {
            const float px = (static_cast<float>(x) - columns * 0.5f) * cell;
            const float py = (static_cast<float>(y) - rows * 0.5f) * cell;
            const float pz = 0.1f * size * std::sin(px * 0.7f) * std::cos(py * 0.5f);
            mesh.positions.push_back(EngineToFile(px, py, pz));
        }
    }
    int face = 0;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const auto corner = [columns](int cx, int cy) { return static_cast<uint16_t>(cy * (columns + 1) + cx); };
            mesh.faces.push_back({corner(x, y), corner(x + 1, y), corner(x + 1, y + 1), 1, face++ % materials});
            mesh.faces.push_back({corner(x, y), corner(x + 1, y + 1), corner(x, y + 1), 1, face++ % materials});
        }
    }
    return mesh;
}

// A node moving a mesh to (x, y, 0) and turning it half a radian about the
// vertical over the scene's length, so that every frame's update has work.
kvf::Node TurningMeshNode(const std::string& name, float x, float y)
{
    kvf::Node node;
    node.kind = 0;
    node.name = name;
    const kvf::Vec3 at = EngineToFile(x, y, 0.0f);
    node.position = kvf::ConstantVector(at.x, at.y, at.z);
    node.rotation.type = 0;
    node.rotation.keys.resize(2);
    node.rotation.keys[0].value[2] = 1.0f; // file z: the engine's vertical
    node.rotation.keys[1].time = kEndFrame;
    node.rotation.keys[1].value[2] = 1.0f;
    node.rotation.keys[1].value[3] = 0.5f;
    return node;
}

// 100 meshes of 1,000 faces in a 10 x 10 grid, 5 materials, 3 lights.
kvf::Scene HundredMeshes()
{
    kvf::Scene scene;
    scene.endFrame = kEndFrame;
    scene.ambient = {0.2f, 0.2f, 0.2f};
    const float colours[5][3] = {{1, 0.2f, 0.2f}, {0.2f, 1, 0.2f}, {0.2f, 0.2f, 1}, {1, 1, 0.2f}, {0.8f, 0.8f, 0.8f}};
    for (int i = 0; i < 5; ++i)
        scene.materials.push_back(MakeMaterial("material " + std::to_string(i), colours[i][0], colours[i][1],
                                               colours[i][2], 0.0f));
    for (int i = 0; i < 100; ++i) {
        const std::string name = "mesh " + std::to_string(i);
        scene.objects.push_back(Patch(name, 25, 20, 9.0f, 5));
        scene.nodes.push_back(TurningMeshNode(name, (i % 10 - 4.5f) * 10.0f, (i / 10 - 4.5f) * 10.0f));
    }
    scene.objects.push_back(MakeCamera(150.0f));
    scene.objects.push_back(PointLight("light 0", -60.0f, 40.0f, -80.0f));
    scene.objects.push_back(PointLight("light 1", 60.0f, 40.0f, -80.0f));
    scene.objects.push_back(PointLight("light 2", 0.0f, -60.0f, -40.0f));
    return scene;
}

// One mesh of 60,000 faces filling most of the view.
kvf::Scene OneLargeMesh()
{
    kvf::Scene scene;
    scene.endFrame = kEndFrame;
    scene.ambient = {0.2f, 0.2f, 0.2f};
    scene.materials.push_back(MakeMaterial("material", 0.8f, 0.7f, 0.6f, 0.0f));
    scene.objects.push_back(Patch("large", 200, 150, 100.0f, 1));
    scene.nodes.push_back(TurningMeshNode("large", 0.0f, 0.0f));
    scene.objects.push_back(MakeCamera(110.0f));
    scene.objects.push_back(PointLight("light", 0.0f, 50.0f, -80.0f));
    return scene;
}

// 2,000 separate transparent triangles scattered through a cube, seen by a
// camera circling the cube once over the scene's length, so that the order
// of the faces along the view changes every frame.
kvf::Scene TransparentCloud()
{
    kvf::Scene scene;
    scene.endFrame = kEndFrame;
    scene.materials.push_back(MakeMaterial("glass", 0.3f, 0.5f, 0.9f, 0.5f));
    kvf::Mesh mesh;
    mesh.name = "cloud";
    uint32_t seed = 12345u;
    const auto random = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 16777216.0f * 2.0f - 1.0f;
    };
    for (int i = 0; i < 2000; ++i) {
        const float cx = 20.0f * random(), cy = 20.0f * random(), cz = 20.0f * random();
        for (int corner = 0; corner < 3; ++corner)
            mesh.positions.push_back(EngineToFile(cx + 2.0f * random(), cy + 2.0f * random(), cz + 2.0f * random()));
        const auto first = static_cast<uint16_t>(i * 3);
        mesh.faces.push_back({first, static_cast<uint16_t>(first + 1), static_cast<uint16_t>(first + 2), 1, 0});
    }
    scene.objects.push_back(mesh);
    scene.objects.push_back(MakeCamera(70.0f));

    kvf::Node cameraNode;
    cameraNode.kind = 1;
    cameraNode.name = "camera";
    cameraNode.position.type = 0;
    cameraNode.position.keys.clear();
    constexpr int kKeys = 8;
    for (int k = 0; k <= kKeys; ++k) {
        const float angle = 6.2831853f * static_cast<float>(k) / kKeys;
        kvf::Key key;
        key.time = static_cast<float>(k * kEndFrame / kKeys);
        const kvf::Vec3 at = EngineToFile(70.0f * std::sin(angle), 10.0f, -70.0f * std::cos(angle));
        key.value[0] = at.x;
        key.value[1] = at.y;
        key.value[2] = at.z;
        cameraNode.position.keys.push_back(key);
    }
    scene.nodes.push_back(cameraNode);
    return scene;
}

double Milliseconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// The faces the scene built, over all its meshes.
int64_t BuiltFaces(const CScene& scene)
{
    int64_t faces = 0;
    for (const CMesh* mesh : scene.meshes)
        faces += mesh->faceCount;
    return faces;
}

// With timeDeformation, each drawn frame is followed by its Update and every
// mesh's modifier chain again, alone and outside the frame's times:
// "deform_ms" and its share of a drawn frame, "deform_share". With a
// stillFrame, every frame is drawn at that time: nothing moves, so no chain
// runs and no vertex buffer is rewritten.
void DrawScene(benchmark::State& state, const kvf::Scene& description, int64_t expectedFaces,
               bool timeDeformation = false, float stillFrame = -1.0f)
{
    TempDirectory dir;
    const std::string pack = dir.File("bench.pac");
    if (!WritePack(pack, {PackMember{"scene.kvf", kvf::WriteScene(description)}})) {
        state.SkipWithError("cannot write the pack");
        return;
    }
    SceneRenderer renderer;
    if (renderer.Open(pack, "scene.kvf", false) != 0) {
        state.SkipWithError("cannot load or prepare the scene");
        return;
    }
    if (BuiltFaces(*renderer.Scene()) != expectedFaces) {
        state.SkipWithError("the scene was not built as described");
        return;
    }
    const int32_t endFrame = renderer.Scene()->endFrame;
    float frameTime = 0.0f;
    double updateMs = 0.0, renderMs = 0.0, rasterMs = 0.0, deformMs = 0.0;
    for (auto _ : state) {
        frameTime = stillFrame >= 0.0f ? stillFrame : LoopFrameTime(frameTime, endFrame);
        const auto start = std::chrono::steady_clock::now();
        renderer.BeginFrame(0x000000u);
        const auto begun = std::chrono::steady_clock::now();
        renderer.UpdateScene(frameTime);
        const auto updated = std::chrono::steady_clock::now();
        renderer.RenderScene();
        const auto rendered = std::chrono::steady_clock::now();
        renderer.EndFrame();
        renderer.FinishDrawing();
        const auto finished = std::chrono::steady_clock::now();
        updateMs += Milliseconds(updated - begun);
        renderMs += Milliseconds(rendered - updated);
        rasterMs += Milliseconds((begun - start) + (finished - rendered));
        if (timeDeformation) {
            // The same frame's Update and every mesh's chain again, alone.
            CScene* scene = renderer.Scene();
            scene->Update(frameTime);
            for (CMesh* mesh : scene->meshes) {
                mesh->DeformVertices();
            }
            deformMs += Milliseconds(std::chrono::steady_clock::now() - finished);
        }
        frameTime += 1.0f;
    }
    using benchmark::Counter;
    if (timeDeformation) {
        const double frameMs = updateMs + renderMs + rasterMs;
        state.counters["deform_ms"] = Counter(deformMs, Counter::kAvgIterations);
        state.counters["deform_share"] = frameMs > 0.0 ? deformMs / frameMs : 0.0;
    }
    int inView = 0;
    for (const CMesh* mesh : renderer.Scene()->meshes) {
        inView += mesh->inView;
    }
    state.counters["meshes_in_view"] = inView;
    state.counters["fps"] = Counter(static_cast<double>(state.iterations()), Counter::kIsRate);
    // The frame alone: what the wall time adds for the deformation timed
    // apart is left out.
    state.counters["frame_ms"] = Counter(updateMs + renderMs + rasterMs, Counter::kAvgIterations);
    state.counters["update_ms"] = Counter(updateMs, Counter::kAvgIterations);
    state.counters["render_ms"] = Counter(renderMs, Counter::kAvgIterations);
    state.counters["raster_ms"] = Counter(rasterMs, Counter::kAvgIterations);
}

void BM_HundredMeshesFiveMaterialsThreeLights(benchmark::State& state)
{
    DrawScene(state, HundredMeshes(), 100 * 1000);
}
BENCHMARK(BM_HundredMeshesFiveMaterialsThreeLights)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_OneMeshOf60000Faces(benchmark::State& state)
{
    DrawScene(state, OneLargeMesh(), 60000);
}
BENCHMARK(BM_OneMeshOf60000Faces)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_TransparentFacesCameraCircling(benchmark::State& state)
{
    DrawScene(state, TransparentCloud(), 2000);
}
BENCHMARK(BM_TransparentFacesCameraCircling)->UseRealTime()->Unit(benchmark::kMillisecond);

// The deformation benchmark's 20 skinned meshes of 20,000 faces, all in
// view, so that every mesh's skin runs in every frame's Render.
kvf::Scene TwentySkinnedMeshes()
{
    kvf::Scene scene = SkinnedScene();
    scene.endFrame = kEndFrame;
    scene.ambient = {0.2f, 0.2f, 0.2f};
    kvf::Camera camera = MakeCamera(0.0f);
    camera.position = EngineToFile(-5.0f, 20.0f, -25.0f);
    camera.target = EngineToFile(-5.0f, 0.0f, -5.0f);
    scene.objects.push_back(camera);
    scene.objects.push_back(PointLight("light", 0.0f, 30.0f, -20.0f));
    return scene;
}

void BM_TwentySkinnedMeshes(benchmark::State& state)
{
    DrawScene(state, TwentySkinnedMeshes(), 20 * 2 * kSkinnedSceneGrid * kSkinnedSceneGrid, true);
}
BENCHMARK(BM_TwentySkinnedMeshes)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same scene held at one pose: the drawing alone, without deformation
// and without the vertex buffers' rewrites.
void BM_TwentySkinnedMeshesHeldStill(benchmark::State& state)
{
    DrawScene(state, TwentySkinnedMeshes(), 20 * 2 * kSkinnedSceneGrid * kSkinnedSceneGrid, false, 50.0f);
}
BENCHMARK(BM_TwentySkinnedMeshesHeldStill)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
