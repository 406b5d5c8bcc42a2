// Reading and building mesh records of 1,000, 10,000 and 100,000 faces: a
// smooth grid with texture coordinates, computed normals and faces striped
// over four materials in stripes, read from memory as the scene loader reads it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "pack/pack_file.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/scene.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace {

// A grid of columns x rows quads, two faces each; each row runs through the
// four materials in stripes, so that grouping has work to do.
std::vector<uint8_t> GridMeshRecord(int columns, int rows)
{
    kvf::Mesh mesh;
    mesh.name = "Grid";
    for (int y = 0; y <= rows; ++y) {
        for (int x = 0; x <= columns; ++x) {
            const float fx = static_cast<float>(x);
            const float fy = static_cast<float>(y);
            mesh.positions.push_back({fx, fy, 0.1f * static_cast<float>((x * 7 + y * 3) % 5)});
            mesh.uvs.push_back({fx / static_cast<float>(columns), fy / static_cast<float>(rows)});
        }
    }
    auto at = [columns](int x, int y) { return static_cast<uint16_t>(y * (columns + 1) + x); };
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const int32_t material = x * 4 / columns;
            mesh.faces.push_back({at(x, y), at(x + 1, y), at(x + 1, y + 1), 1, material});
            mesh.faces.push_back({at(x, y), at(x + 1, y + 1), at(x, y + 1), 1, material});
            mesh.uvFaces.push_back({at(x, y), at(x + 1, y), at(x + 1, y + 1)});
            mesh.uvFaces.push_back({at(x, y), at(x + 1, y + 1), at(x, y + 1)});
        }
    }
    return kvf::MeshBytes(mesh);
}

void BM_MeshLoad(benchmark::State& state)
{
    const int columns = static_cast<int>(state.range(0));
    const int rows = static_cast<int>(state.range(1));
    const std::vector<uint8_t> record = GridMeshRecord(columns, rows);
    CScene scene;
    scene.materialCount = 4;
    scene.materials = new CMaterial[4];
    int vertices = 0;
    for (auto _ : state) {
        CPackFile file;
        unsigned char* data = new unsigned char[record.size()];
        std::memcpy(data, record.data(), record.size());
        file.block = new PackBlock{static_cast<int32_t>(record.size()), 0, data};
        CMesh mesh;
        if (scene.ReadMesh(&file, &mesh) != 0) {
            state.SkipWithError("mesh refused");
            break;
        }
        vertices = mesh.vertexCount;
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.counters["faces"] = static_cast<double>(2 * columns * rows);
    state.counters["vertices"] = static_cast<double>(vertices);
}

} // namespace

BENCHMARK(BM_MeshLoad)->Args({20, 25})->Args({50, 100})->Args({200, 250})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
