// The player's load of an imported scene against the library's own import
// of the source model, measured in one run: the "ratio" counter is the
// library's processor time (reading as zolt-import reads) divided by the
// player's, the point of converting ahead of the show; "ratio_realtime"
// takes the library's preset for real-time use, what a player reading
// models directly would ask for. Also the time of the whole zolt-import run.
// Processor time, not wall time: the machines these run on are shared.
#include <benchmark/benchmark.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <ctime>
#include <sstream>
#include <sys/stat.h>

#include "scene/scene.h"
#include "tests/support/pack_builder.h"
#include "tools/import/import_command.h"
#include "tools/import/scene_converter.h"

namespace {

// The largest of the real models the import tests read, in three formats.
const char* const kModels[] = {
    "/usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb",
    "/usr/share/assimp/models/FBX/animation_with_skeleton.fbx",
    "/usr/share/games/gl-117/models/gl-14.3ds",
};

const char* ModelOf(benchmark::State& state)
{
    const char* model = kModels[state.range(0)];
    struct stat st;
    if (stat(model, &st) != 0) {
        state.SkipWithError("install the Debian packages assimp-testmodels and gl-117-data");
        return nullptr;
    }
    state.SetLabel(import::DefaultSceneName(model));
    return model;
}

bool ImportInto(const std::string& pack, const char* model)
{
    std::ostringstream out, err;
    return import::RunImport({"--pack", pack, model}, out, err) == 0;
}

double ProcessorSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

void BM_PlayerLoadVersusLibraryImport(benchmark::State& state)
{
    const char* model = ModelOf(state);
    TempDirectory dir;
    const std::string pack = dir.File("data.pac");
    if (model == nullptr || !ImportInto(pack, model)) {
        state.SkipWithError("import failed");
        return;
    }
    const std::string sceneName = import::DefaultSceneName(model);
    double library = 0.0, realtime = 0.0, player = 0.0;
    for (auto _ : state) {
        double start = ProcessorSeconds();
        {
            Assimp::Importer importer;
            benchmark::DoNotOptimize(importer.ReadFile(model, import::kImportFlags));
        }
        library += ProcessorSeconds() - start;
        start = ProcessorSeconds();
        {
            Assimp::Importer importer;
            benchmark::DoNotOptimize(importer.ReadFile(model, aiProcessPreset_TargetRealtime_Quality));
        }
        realtime += ProcessorSeconds() - start;
        start = ProcessorSeconds();
        {
            CScene scene;
            if (scene.LoadScene(sceneName.c_str(), pack.c_str()) != 0) {
                state.SkipWithError("load failed");
                break;
            }
            benchmark::DoNotOptimize(scene.meshes.Count());
        }
        player += ProcessorSeconds() - start;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["library_ms"] = 1000.0 * library / n;
    state.counters["player_ms"] = 1000.0 * player / n;
    state.counters["realtime_ms"] = 1000.0 * realtime / n;
    state.counters["ratio"] = player > 0.0 ? library / player : 0.0;
    state.counters["ratio_realtime"] = player > 0.0 ? realtime / player : 0.0;
}
BENCHMARK(BM_PlayerLoadVersusLibraryImport)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_ImportCommand(benchmark::State& state)
{
    const char* model = ModelOf(state);
    TempDirectory dir;
    const std::string pack = dir.File("data.pac");
    for (auto _ : state) {
        if (model == nullptr || !ImportInto(pack, model)) {
            state.SkipWithError("import failed");
            break;
        }
    }
}
BENCHMARK(BM_ImportCommand)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
