// Loading scenes of many objects and nodes: the node stream binds every node
// to its object by name, which must not grow quadratically.
#include <benchmark/benchmark.h>

#include <string>

#include "scene/scene.h"
#include "tests/support/pack_builder.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace {

// N helpers, each moved by a node; the nodes form trees of depth 4.
std::string WriteScenePack(const TempDirectory& dir, int count)
{
    kvf::Scene description;
    for (int i = 0; i < count; ++i) {
        kvf::Helper helper;
        helper.name = "helper " + std::to_string(i);
        description.objects.push_back(helper);
        kvf::Node node;
        node.depth = i % 4;
        node.kind = 4;
        node.name = helper.name;
        description.nodes.push_back(node);
    }
    const std::string archive = dir.File("data.pac");
    WritePack(archive, {PackMember{"scene.kvf", kvf::WriteScene(description)}});
    return archive;
}

void BM_LoadSceneWithNodes(benchmark::State& state)
{
    TempDirectory dir;
    const std::string archive = WriteScenePack(dir, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CScene scene;
        if (scene.LoadScene("scene.kvf", archive.c_str()) != 0) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(scene.roots.Count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadSceneWithNodes)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_UpdateNodes(benchmark::State& state)
{
    TempDirectory dir;
    const std::string archive = WriteScenePack(dir, static_cast<int>(state.range(0)));
    CScene scene;
    if (scene.LoadScene("scene.kvf", archive.c_str()) != 0 || scene.Prepare(nullptr) != 0) {
        state.SkipWithError("load failed");
        return;
    }
    float t = 0.0f;
    for (auto _ : state) {
        scene.Update(t);
        t += 0.5f;
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_UpdateNodes)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
