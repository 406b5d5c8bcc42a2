// The player's load of an imported scene against the library's own import
// of the source model, measured in one run: the "ratio" counter is the
// library's processor time (reading as zolt-import reads) divided by the
// player's, the point of converting ahead of the show; "ratio_realtime"
// takes the library's preset for real-time use, what a player reading
// models directly would ask for (aiProcessPreset_TargetRealtime_Quality).
// Also the time of the whole zolt-import run. Processor time, not wall
// time: the machines these run on are shared.
#include <benchmark/benchmark.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "scene/scene.h"
#include "tests/support/pack_builder.h"
#include "tools/import/import_command.h"
#include "tools/import/scene_converter.h"

namespace {

// The largest of the real models the import tests read, in three formats,
// and a skinned model made here.
const char* const kModels[] = {
    "/usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb",
    "/usr/share/assimp/models/FBX/animation_with_skeleton.fbx",
    "/usr/share/games/gl-117/models/gl-14.3ds",
    nullptr,
};

template <typename T>
void Append(std::vector<uint8_t>* out, const std::vector<T>& values)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(values.data());
    out->insert(out->end(), bytes, bytes + values.size() * sizeof(T));
    out->resize((out->size() + 3) & ~size_t(3), 0);
}

// A binary glTF file: a cylinder of 250 sides and 100 rings (50,000
// triangles, 25,250 vertices) skinned on a chain of five bones that sway
// over 61 keys, each vertex weighted between its two nearest bones.
std::vector<uint8_t> SkinnedCylinderGlb()
{
    constexpr int kSides = 250, kRings = 100, kBones = 5, kKeys = 61;
    constexpr float kHeight = 4.0f, kRadius = 0.5f, kBoneStep = kHeight / (kBones - 1);
    std::vector<float> positions, normals, weights, inverseBinds, times, rotations;
    std::vector<uint8_t> joints;
    std::vector<uint16_t> indices;
    for (int ring = 0; ring <= kRings; ++ring) {
        const float y = kHeight * static_cast<float>(ring) / kRings;
        const float along = y / kBoneStep;
        const int bone = std::min(static_cast<int>(along), kBones - 2);
        const float share = along - static_cast<float>(bone);
        for (int side = 0; side < kSides; ++side) {
            const float angle = 6.2831853f * static_cast<float>(side) / kSides;
            positions.insert(positions.end(), {kRadius * std::cos(angle), y, kRadius * std::sin(angle)});
            normals.insert(normals.end(), {std::cos(angle), 0.0f, std::sin(angle)});
            joints.insert(joints.end(), {static_cast<uint8_t>(bone), static_cast<uint8_t>(bone + 1), 0, 0});
            weights.insert(weights.end(), {1.0f - share, share, 0.0f, 0.0f});
        }
    }
    for (int ring = 0; ring < kRings; ++ring) {
        for (int side = 0; side < kSides; ++side) {
            const int next = (side + 1) % kSides;
            const auto a = static_cast<uint16_t>(ring * kSides + side), b = static_cast<uint16_t>(ring * kSides + next);
            const auto c = static_cast<uint16_t>(a + kSides), d = static_cast<uint16_t>(b + kSides);
            indices.insert(indices.end(), {a, c, b, b, c, d});
        }
    }
    for (int bone = 0; bone < kBones; ++bone) {
        inverseBinds.insert(inverseBinds.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -kBoneStep * bone, 0, 1});
    }
    for (int key = 0; key < kKeys; ++key) {
        times.push_back(static_cast<float>(key) / 30.0f);
    }
    for (int bone = 0; bone < kBones; ++bone) {
        for (int key = 0; key < kKeys; ++key) {
            const float angle = 0.3f * std::sin(6.2831853f * times[key] / 2.0f + static_cast<float>(bone));
            rotations.insert(rotations.end(), {0.0f, 0.0f, std::sin(angle / 2), std::cos(angle / 2)});
        }
    }
    std::vector<uint8_t> bin;
    std::vector<size_t> offsets;
    auto view = [&](auto values) {
        offsets.push_back(bin.size());
        Append(&bin, values);
    };
    view(positions);
    view(normals);
    view(joints);
    view(weights);
    view(indices);
    view(inverseBinds);
    view(times);
    view(rotations);
    offsets.push_back(bin.size());
    const size_t vertices = positions.size() / 3;

    std::ostringstream json;
    json << R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[)"
         << R"({"name":"root","children":[1,2]},{"name":"cylinder","mesh":0,"skin":0},)";
    for (int bone = 0; bone < kBones; ++bone) {
        json << R"({"name":"bone)" << bone << R"(","translation":[0,)" << (bone == 0 ? 0.0f : kBoneStep) << ",0]"
             << (bone + 1 < kBones ? R"(,"children":[)" + std::to_string(3 + bone) + "]" : std::string()) << "}"
             << (bone + 1 < kBones ? "," : "");
    }
    json << R"(],"skins":[{"inverseBindMatrices":5,"joints":[2,3,4,5,6]}],)"
         << R"("meshes":[{"name":"cylinder","primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"JOINTS_0":2,)"
         << R"("WEIGHTS_0":3},"indices":4}]}],"accessors":[)"
         << R"({"bufferView":0,"componentType":5126,"count":)" << vertices << R"(,"type":"VEC3","min":[)"
         << -kRadius << ",0," << -kRadius << "],\"max\":[" << kRadius << "," << kHeight << "," << kRadius << "]},"
         << R"({"bufferView":1,"componentType":5126,"count":)" << vertices << R"(,"type":"VEC3"},)"
         << R"({"bufferView":2,"componentType":5121,"count":)" << vertices << R"(,"type":"VEC4"},)"
         << R"({"bufferView":3,"componentType":5126,"count":)" << vertices << R"(,"type":"VEC4"},)"
         << R"({"bufferView":4,"componentType":5123,"count":)" << indices.size() << R"(,"type":"SCALAR"},)"
         << R"({"bufferView":5,"componentType":5126,"count":)" << kBones << R"(,"type":"MAT4"},)"
         << R"({"bufferView":6,"componentType":5126,"count":)" << kKeys << R"(,"type":"SCALAR","min":[0],"max":[)"
         << times.back() << "]}";
    for (int bone = 0; bone < kBones; ++bone) {
        json << R"(,{"bufferView":7,"byteOffset":)" << bone * kKeys * 16 << R"(,"componentType":5126,"count":)"
             << kKeys << R"(,"type":"VEC4"})";
    }
    json << R"(],"animations":[{"name":"sway","samplers":[)";
    for (int bone = 0; bone < kBones; ++bone) {
        json << (bone > 0 ? "," : "") << R"({"input":6,"output":)" << 7 + bone << "}";
    }
    json << R"(],"channels":[)";
    for (int bone = 0; bone < kBones; ++bone) {
        json << (bone > 0 ? "," : "") << R"({"sampler":)" << bone << R"(,"target":{"node":)" << 2 + bone
             << R"(,"path":"rotation"}})";
    }
    json << R"(]}],"bufferViews":[)";
    for (size_t i = 0; i + 1 < offsets.size(); ++i) {
        json << (i > 0 ? "," : "") << R"({"buffer":0,"byteOffset":)" << offsets[i] << R"(,"byteLength":)"
             << offsets[i + 1] - offsets[i] << "}";
    }
    json << R"(],"buffers":[{"byteLength":)" << bin.size() << "}]}";
    std::string text = json.str();
    text.resize((text.size() + 3) & ~size_t(3), ' ');

    std::vector<uint8_t> glb;
    auto word = [&](uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            glb.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    };
    word(0x46546C67); // "glTF"
    word(2);
    word(static_cast<uint32_t>(12 + 8 + text.size() + 8 + bin.size()));
    word(static_cast<uint32_t>(text.size()));
    word(0x4E4F534A); // "JSON"
    glb.insert(glb.end(), text.begin(), text.end());
    word(static_cast<uint32_t>(bin.size()));
    word(0x004E4942); // "BIN"
    glb.insert(glb.end(), bin.begin(), bin.end());
    return glb;
}

// The skinned cylinder, written once into a folder that lasts the run.
const std::string& GeneratedModel()
{
    static TempDirectory folder;
    static const std::string path = [] {
        const std::string file = folder.File("SkinnedCylinder.glb");
        const std::vector<uint8_t> glb = SkinnedCylinderGlb();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(glb.data()), static_cast<std::streamsize>(glb.size()));
        return file;
    }();
    return path;
}

const char* ModelOf(benchmark::State& state)
{
    const char* model = kModels[state.range(0)];
    if (model == nullptr) {
        model = GeneratedModel().c_str();
    }
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
BENCHMARK(BM_PlayerLoadVersusLibraryImport)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

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
// Wall time: each model is converted in a child process, whose processor
// time the parent's clock does not see.
BENCHMARK(BM_ImportCommand)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
