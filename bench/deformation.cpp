// Mesh deformation on the CPU: a 10,000-vertex mesh skinned by 30 bones with
// one to four influences per vertex, the skin alone and as the mesh's chain
// runs it (box included), on both vectorised paths, with bones picked at
// random or by position (and the per-vertex virtual path the flat paths
// replace); the same mesh through bend, twist and ripple; and a scene of 20
// such skinned meshes updated and deformed frame after frame, with warm
// caches and with caches emptied as a drawn frame empties them, beside the
// least time its memory traffic allows.
// BM_PeakSseFlops and BM_PeakAvx512Flops measure this machine's
// floating-point bound for 4-wide and 16-wide multiplies and adds (no fused
// multiply-add: the skin's formula rounds each product). The "flops" counter
// is the formula's operations: 24 per influence of a sum, 27 for a blend.
#include <benchmark/benchmark.h>

#include <immintrin.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "math/processor_features.h"
#include "modifiers/modifier_skin.h"
#include "pack/pack_file.h"
#include "scene/mesh.h"
#include "scene/scene.h"
#include "bench/skinned_scene.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace {

constexpr int kBones = 30;

// ---- The machine's bound ---------------------------------------------------

// Six independent chains of multiplies and six of adds (all in registers),
// so that the multiply and add pipes are never waiting on a result.
void BM_PeakSseFlops(benchmark::State& state)
{
    volatile float one = 1.0f;
    volatile float tiny = 1e-30f;
    const __m128 k = _mm_set1_ps(one);
    const __m128 d = _mm_set1_ps(tiny);
    __m128 m0 = _mm_set1_ps(1.0f), m1 = _mm_set1_ps(2.0f), m2 = _mm_set1_ps(3.0f);
    __m128 m3 = _mm_set1_ps(4.0f), m4 = _mm_set1_ps(5.0f), m5 = _mm_set1_ps(6.0f);
    __m128 a0 = _mm_set1_ps(1.0f), a1 = _mm_set1_ps(2.0f), a2 = _mm_set1_ps(3.0f);
    __m128 a3 = _mm_set1_ps(4.0f), a4 = _mm_set1_ps(5.0f), a5 = _mm_set1_ps(6.0f);
    constexpr int kRounds = 1000;
    for (auto _ : state) {
        for (int r = 0; r < kRounds; ++r) {
            m0 = _mm_mul_ps(m0, k);
            a0 = _mm_add_ps(a0, d);
            m1 = _mm_mul_ps(m1, k);
            a1 = _mm_add_ps(a1, d);
            m2 = _mm_mul_ps(m2, k);
            a2 = _mm_add_ps(a2, d);
            m3 = _mm_mul_ps(m3, k);
            a3 = _mm_add_ps(a3, d);
            m4 = _mm_mul_ps(m4, k);
            a4 = _mm_add_ps(a4, d);
            m5 = _mm_mul_ps(m5, k);
            a5 = _mm_add_ps(a5, d);
        }
        __m128 sum = _mm_add_ps(_mm_add_ps(_mm_add_ps(m0, m1), _mm_add_ps(m2, m3)), _mm_add_ps(m4, m5));
        sum = _mm_add_ps(sum, _mm_add_ps(_mm_add_ps(_mm_add_ps(a0, a1), _mm_add_ps(a2, a3)), _mm_add_ps(a4, a5)));
        benchmark::DoNotOptimize(sum);
    }
    // 12 vector operations of 4 floats per round.
    state.counters["flops"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kRounds * 12 * 4, benchmark::Counter::kIsRate);
}

// The same with 512-bit registers, the width of the skin's sixteen-lane path
// (on processors that have it; the machine's bound for that path).
__attribute__((target("avx512f"))) void PeakAvx512Rounds(benchmark::State& state)
{
    volatile float one = 1.0f;
    volatile float tiny = 1e-30f;
    const __m512 k = _mm512_set1_ps(one);
    const __m512 d = _mm512_set1_ps(tiny);
    __m512 m0 = _mm512_set1_ps(1.0f), m1 = _mm512_set1_ps(2.0f), m2 = _mm512_set1_ps(3.0f);
    __m512 m3 = _mm512_set1_ps(4.0f), m4 = _mm512_set1_ps(5.0f), m5 = _mm512_set1_ps(6.0f);
    __m512 a0 = _mm512_set1_ps(1.0f), a1 = _mm512_set1_ps(2.0f), a2 = _mm512_set1_ps(3.0f);
    __m512 a3 = _mm512_set1_ps(4.0f), a4 = _mm512_set1_ps(5.0f), a5 = _mm512_set1_ps(6.0f);
    constexpr int kRounds = 1000;
    for (auto _ : state) {
        for (int r = 0; r < kRounds; ++r) {
            m0 = _mm512_mul_ps(m0, k);
            a0 = _mm512_add_ps(a0, d);
            m1 = _mm512_mul_ps(m1, k);
            a1 = _mm512_add_ps(a1, d);
            m2 = _mm512_mul_ps(m2, k);
            a2 = _mm512_add_ps(a2, d);
            m3 = _mm512_mul_ps(m3, k);
            a3 = _mm512_add_ps(a3, d);
            m4 = _mm512_mul_ps(m4, k);
            a4 = _mm512_add_ps(a4, d);
            m5 = _mm512_mul_ps(m5, k);
            a5 = _mm512_add_ps(a5, d);
        }
        __m512 sum = _mm512_add_ps(_mm512_add_ps(_mm512_add_ps(m0, m1), _mm512_add_ps(m2, m3)), _mm512_add_ps(m4, m5));
        sum = _mm512_add_ps(sum, _mm512_add_ps(_mm512_add_ps(_mm512_add_ps(a0, a1), _mm512_add_ps(a2, a3)),
                                               _mm512_add_ps(a4, a5)));
        benchmark::DoNotOptimize(sum);
    }
    state.counters["flops"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kRounds * 12 * 16, benchmark::Counter::kIsRate);
}

void BM_PeakAvx512Flops(benchmark::State& state)
{
    if (!ProcessorHasAvx512()) {
        state.SkipWithError("no AVX-512 on this processor");
        return;
    }
    PeakAvx512Rounds(state);
}

// ---- A skinned mesh built in memory ------------------------------------------

D3DMATRIX BoneWorld(int bone, float t)
{
    D3DMATRIX m;
    SetIdentity(&m);
    const float a = 0.01f * t + 0.2f * static_cast<float>(bone);
    m._11 = std::cos(a);
    m._13 = -std::sin(a);
    m._31 = std::sin(a);
    m._33 = std::cos(a);
    m._41 = static_cast<float>(bone) * 0.1f;
    m._42 = 0.05f * t;
    return m;
}

struct SkinnedMesh {
    CMesh mesh;
    CModifierSkin* skin = nullptr;
    std::vector<D3DMATRIX> worlds;
    int influences = 0;
    int flops = 0; // the formula's multiplies, adds and subtracts per frame
};

// How the bench mesh's vertices pick their bones.
enum class Bones {
    kRandom,     // any of the table: the worst case for the sixteen-lane path
    kByPosition, // the nearest along the mesh, as a limb's skin has them
};

// 10,000 vertices; vertex i has 1 + i % 4 influences (weights 1 / count),
// of bones picked at random or, by position, the bones around the vertex's
// place along x (30 bones spread over x from -10 to 10, the vertices
// ordered by x as an exporter would leave a limb's).
void BuildSkinnedMesh(SkinnedMesh* s, int vertices = 10000, Bones bones = Bones::kRandom)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
    std::uniform_int_distribution<int> boneOf(0, kBones - 1);
    s->mesh.vertexCount = vertices;
    s->skin = new CModifierSkin();
    s->mesh.modifiers.Append(s->skin);
    s->skin->m_nbBone = kBones;
    s->skin->m_bones.resize(kBones);
    s->worlds.resize(kBones);
    for (int b = 0; b < kBones; ++b) {
        s->skin->m_bones[b].m_bindMatrix = BoneWorld(b, 0.0f);
        s->skin->m_bones[b].m_world = &s->worlds[b];
        s->worlds[b] = BoneWorld(b, 0.0f);
    }
    s->skin->m_nbVertex = vertices;
    s->skin->m_vertices.resize(vertices);
    for (int i = 0; i < vertices; ++i) {
        float x = coordinate(rng);
        if (bones == Bones::kByPosition) {
            x = -10.0f + 20.0f * static_cast<float>(i) / static_cast<float>(vertices);
        }
        s->mesh.baseVertices.push_back(MeshVertex{x, coordinate(rng), coordinate(rng), 0, 1, 0, 0xFFFFFFFFu, 0, 0});
        SkinVertex& v = s->skin->m_vertices[i];
        v.m_nbBone = 1 + i % 4;
        const int nearest = std::min(kBones - 1, static_cast<int>((x + 10.0f) / 20.0f * kBones));
        for (int k = 0; k < v.m_nbBone; ++k) {
            v.m_boneIndices.push_back(bones == Bones::kRandom ? boneOf(rng) : (nearest + k) % kBones);
            v.m_weights.push_back(1.0f / static_cast<float>(v.m_nbBone));
        }
        s->influences += v.m_nbBone;
        s->flops += v.m_nbBone == 1 ? 27 : 24 * v.m_nbBone;
    }
    s->skin->prepare();
    s->mesh.PrepareDeformation();
}

void MoveBones(SkinnedMesh* s, float t)
{
    for (int b = 0; b < kBones; ++b) {
        s->worlds[b] = BoneWorld(b, t);
    }
}

void SkinCounters(benchmark::State& state, const SkinnedMesh& s)
{
    const double frames = static_cast<double>(state.iterations());
    state.counters["influences"] = benchmark::Counter(frames * s.influences, benchmark::Counter::kIsRate);
    state.counters["flops"] = benchmark::Counter(frames * s.flops, benchmark::Counter::kIsRate);
}

// range(0) vertices, range(1) 1: the sixteen-lane path where the processor
// has it, 0: two vertices at a time; range(2) 0: random bones, 1: by
// position.
void BuildSkinnedMesh(SkinnedMesh* s, benchmark::State& state)
{
    CModifierSkin::EnableWidePath(state.range(1) != 0);
    BuildSkinnedMesh(s, static_cast<int>(state.range(0)), state.range(2) != 0 ? Bones::kByPosition : Bones::kRandom);
    CModifierSkin::EnableWidePath(true);
}

// The skin's own work each frame: the skinning matrices from the moved
// bones and every vertex skinned.
void BM_Skin(benchmark::State& state)
{
    SkinnedMesh s;
    BuildSkinnedMesh(&s, state);
    float t = 0.0f;
    for (auto _ : state) {
        MoveBones(&s, t += 1.0f);
        s.skin->update();
        s.skin->applyFromBase(s.mesh.baseVertices.data(), s.mesh.deformedVertices.data(), s.mesh.vertexCount);
        benchmark::DoNotOptimize(s.mesh.deformedVertices.data());
    }
    SkinCounters(state, s);
}

// The skin as the mesh runs it every drawn frame: bones moved, skinning
// matrices, the chain and the box.
void BM_SkinFlat(benchmark::State& state)
{
    SkinnedMesh s;
    BuildSkinnedMesh(&s, state);
    float t = 0.0f;
    for (auto _ : state) {
        MoveBones(&s, t += 1.0f);
        s.skin->update();
        s.mesh.DeformVertices();
        benchmark::DoNotOptimize(s.mesh.deformedVertices.data());
    }
    SkinCounters(state, s);
}

// The same through one virtual apply per vertex and the literal
// deformPoint: what the flat path replaces.
void BM_SkinPerVertex(benchmark::State& state)
{
    SkinnedMesh s;
    BuildSkinnedMesh(&s);
    float t = 0.0f;
    CModifier* modifier = s.skin;
    for (auto _ : state) {
        MoveBones(&s, t += 1.0f);
        s.skin->update();
        for (int i = 0; i < s.mesh.vertexCount; ++i) {
            modifier->apply(&s.mesh.baseVertices[i], &s.mesh.deformedVertices[i], i);
        }
        benchmark::DoNotOptimize(s.mesh.deformedVertices.data());
    }
    SkinCounters(state, s);
}

// ---- Gizmo modifiers -----------------------------------------------------------

std::unique_ptr<CPackFile> MemoryFile(const std::vector<uint8_t>& bytes)
{
    auto file = std::make_unique<CPackFile>();
    unsigned char* data = new unsigned char[bytes.size()];
    std::memcpy(data, bytes.data(), bytes.size());
    file->block = new PackBlock{static_cast<int32_t>(bytes.size()), 0, data};
    return file;
}

kvf::Modifier Gizmo(int32_t type, std::vector<kvf::FloatParameter> parameters)
{
    kvf::Modifier m;
    m.type = type;
    m.axis = 2;
    m.parameters = std::move(parameters);
    return m;
}

// Bend 60 degrees, twist 90 degrees with bias 30, ripple of amplitudes 0.5
// and 0.2: range(0) selects one (0, 1, 2) or all three in a chain (3).
void BM_Gizmo(benchmark::State& state)
{
    const std::vector<kvf::Modifier> kinds = {
        Gizmo(kvf::kBend, {kvf::ConstantParameter(60), kvf::ConstantParameter(20)}),
        Gizmo(kvf::kTwist, {kvf::ConstantParameter(90), kvf::ConstantParameter(30)}),
        Gizmo(kvf::kRipple, {kvf::ConstantParameter(0.5f), kvf::ConstantParameter(0.2f), kvf::ConstantParameter(4),
                             kvf::ConstantParameter(0.1f), kvf::ConstantParameter(0.05f)}),
    };
    const int which = static_cast<int>(state.range(0));
    kvf::ModifierBlock block;
    if (which < 3) {
        block.entries = {kinds[which]};
    } else {
        block.entries = kinds;
    }
    SkinnedMesh s;
    BuildSkinnedMesh(&s);
    CMesh mesh;
    mesh.baseVertices = s.mesh.baseVertices;
    mesh.vertexCount = s.mesh.vertexCount;
    CScene scene;
    std::unique_ptr<CPackFile> file = MemoryFile(kvf::ModifierBlockBytes(block));
    if (scene.ReadModifiers(file.get(), &mesh) != 0) {
        state.SkipWithError("modifiers refused");
        return;
    }
    mesh.PrepareDeformation();
    for (CModifier* m : mesh.modifiers) {
        m->setBoundsMin(&mesh.boxMin);
        m->setBoundsMax(&mesh.boxMax);
        m->setCenter(&mesh.pivot);
        m->prepare();
    }
    float t = 0.0f;
    for (auto _ : state) {
        t += 1.0f;
        for (CModifier* m : mesh.modifiers) {
            m->setTime(&t);
            m->update();
        }
        mesh.DeformVertices();
        benchmark::DoNotOptimize(mesh.deformedVertices.data());
    }
    state.counters["vertices"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * mesh.vertexCount * mesh.modifiers.Count(), benchmark::Counter::kIsRate);
}

// ---- A scene of 20 skinned meshes --------------------------------------------

// What a drawn frame leaves in the caches: with llvmpipe drawing, the
// buffers it fills and reads push the deformation's data out of them, so
// each frame's deformation starts from memory. Streaming through a buffer
// twice the size of the last-level cache does the same.
class CacheEvictor {
public:
    CacheEvictor() : m_bytes(64u << 20, 1) {}
    void Evict()
    {
        for (size_t i = 0; i < m_bytes.size(); i += 64) {
            m_bytes[i] = static_cast<unsigned char>(m_bytes[i] + 1);
        }
        benchmark::DoNotOptimize(m_bytes.data());
    }

private:
    std::vector<unsigned char> m_bytes;
};

// One frame's deformation work: the scene's update (nodes, skinning
// matrices) and every mesh's chain, as drawing runs it when all are in view.
// With cold=1 the caches are emptied before each frame (outside the timing).
void BM_SceneOf20SkinnedMeshes(benchmark::State& state)
{
    const bool cold = state.range(0) != 0;
    CacheEvictor evictor;
    CScene scene;
    std::unique_ptr<CPackFile> file = MemoryFile(kvf::WriteScene(SkinnedScene()));
    if (scene.ReadScene(file.get(), "bench.kvf") != 0 || scene.PrepareModifiers() != 0) {
        state.SkipWithError("scene refused");
        return;
    }
    int vertices = 0;
    for (CMesh* mesh : scene.meshes) {
        vertices += mesh->vertexCount;
    }
    float t = 0.0f;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            evictor.Evict();
            state.ResumeTiming();
        }
        t = t >= 100.0f ? 0.0f : t + 0.5f;
        scene.Update(t);
        for (CMesh* mesh : scene.meshes) {
            mesh->EvaluateModifiers();
        }
        benchmark::DoNotOptimize(scene.meshes.First()->deformedVertices.data());
    }
    state.counters["vertices"] = static_cast<double>(vertices);
}

// The least memory traffic of that frame from cold caches: per mesh, the
// bytes the sixteen-lane skin reads (its table of groups and influences and
// the base positions by lanes: 343,040 bytes for this mesh) streamed in
// order, and the positions written into the 36-byte deformed vertices, in
// order, which moves every cache line of them in and out. Nothing is
// computed; the skin cannot take less time than this. (640 groups of 80
// bytes, 1,600 influence slots of 80 and 640 lane blocks of 256.)
void BM_MemoryFloorOf20SkinnedMeshes(benchmark::State& state)
{
    constexpr size_t kMeshes = 20;
    constexpr size_t kVertices = (kSkinnedSceneGrid + 1) * (kSkinnedSceneGrid + 1);
    constexpr size_t kReadBytes = 343040;
    CacheEvictor evictor;
    std::vector<std::vector<float>> inputs(kMeshes, std::vector<float>(kReadBytes / sizeof(float), 1.0f));
    std::vector<std::vector<MeshVertex>> outputs(kMeshes, std::vector<MeshVertex>(kVertices));
    for (auto _ : state) {
        state.PauseTiming();
        evictor.Evict();
        state.ResumeTiming();
        for (size_t m = 0; m < kMeshes; ++m) {
            const float* in = inputs[m].data();
            __m128 sum[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
            for (size_t i = 0; i < inputs[m].size(); i += 16) {
                for (int k = 0; k < 4; ++k) {
                    sum[k] = _mm_add_ps(sum[k], _mm_loadu_ps(in + i + 4 * k));
                }
            }
            const __m128 value = _mm_add_ps(_mm_add_ps(sum[0], sum[1]), _mm_add_ps(sum[2], sum[3]));
            MeshVertex* out = outputs[m].data();
            for (size_t v = 0; v < kVertices; ++v) {
                _mm_storeu_ps(&out[v].x, value);
            }
            benchmark::DoNotOptimize(out);
        }
    }
    state.counters["bytes_per_frame"] =
        static_cast<double>(kMeshes * (kReadBytes + 2 * kVertices * sizeof(MeshVertex)));
}

} // namespace

BENCHMARK(BM_PeakSseFlops);
BENCHMARK(BM_PeakAvx512Flops);
BENCHMARK(BM_Skin)
    ->ArgNames({"vertices", "wide", "byPosition"})
    ->ArgsProduct({{10000}, {1, 0}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkinFlat)
    ->ArgNames({"vertices", "wide", "byPosition"})
    ->ArgsProduct({{10000, 1000}, {1, 0}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkinPerVertex)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Gizmo)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SceneOf20SkinnedMeshes)->ArgName("cold")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryFloorOf20SkinnedMeshes)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
