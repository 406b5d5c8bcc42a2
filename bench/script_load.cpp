// Reading the show's script from its file through the streaming reader: the
// curve block of one curve with n keys (80 bytes each), so the time per key
// should not grow with n; and the same block followed by 256 MiB of other
// bytes (a sparse file), which should cost nothing extra since they are
// never read.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "demo/curve_set.h"
#include "demo/script_reader.h"
#include "demo/script_writer.h"
#include "tests/support/pack_builder.h"

namespace {

std::string WriteCurveBlock(const TempDirectory& dir, int keys, off_t trailing)
{
    ScriptWriter writer;
    writer.WriteInt32(1);
    writer.WriteString("curve");
    writer.WriteInt32(0);
    writer.WriteInt32(keys);
    for (int k = 0; k < keys; ++k) {
        writer.WriteInt32(k);
        for (int i = 0; i < 19; ++i)
            writer.WriteFloat(static_cast<float>(k % 7));
    }
    writer.WriteInt32(0);
    const std::string path = dir.File("curves");
    writer.SaveToFile(path.c_str());
    if (trailing > 0 && truncate(path.c_str(), static_cast<off_t>(writer.Bytes().size()) + trailing) != 0)
        return "";
    return path;
}

void ReadCurveBlock(benchmark::State& state, off_t trailing)
{
    TempDirectory dir;
    const int keys = static_cast<int>(state.range(0));
    const std::string path = WriteCurveBlock(dir, keys, trailing);
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        ScriptReader reader(file);
        CurveSet curves;
        if (!file || curves.Read(&reader) != 0)
            state.SkipWithError("the block did not load");
        if (file)
            std::fclose(file);
    }
    state.SetItemsProcessed(state.iterations() * keys);
}

void BM_ReadCurveBlock(benchmark::State& state)
{
    ReadCurveBlock(state, 0);
}
BENCHMARK(BM_ReadCurveBlock)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_ReadCurveBlockBeforeTrailingBytes(benchmark::State& state)
{
    ReadCurveBlock(state, off_t(256) * 1024 * 1024);
}
BENCHMARK(BM_ReadCurveBlockBeforeTrailingBytes)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
