// The two halves of capturing one 640 x 480 frame, each on its own thread in
// zolt-capture: reading a presented frame back from the headless device, and
// encoding a picture with moving detail to H.264 (the writer's whole work:
// conversion to yuv420p, x264 at the capture's preset, muxing into an MP4).
// "fps" is frames per second; capture keeps up with a 60 fps show in real
// time while both stay above 60.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/d3d8/back_buffer_readback.h"
#include "tests/support/headless_device.h"
#include "tools/capture/frame_pool.h"
#include "tools/capture/video_file_writer.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

constexpr unsigned kWidth = 640;
constexpr unsigned kHeight = 480;

void ReadBackPresentedFrame(benchmark::State& state)
{
    HeadlessDeviceOptions options;
    options.width = kWidth;
    options.height = kHeight;
    HeadlessDevice device(options);
    if (!device) {
        state.SkipWithError("no device");
        return;
    }
    CapturedFrame frame;
    frame.pixels.reserve(kWidth * kHeight);
    D3DCOLOR colour = 0;
    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour++, 1.0f, 0);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        ZoltReadBackBuffer(device.get(), &frame.pixels, &frame.width, &frame.height);
        benchmark::DoNotOptimize(frame.pixels.data());
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(ReadBackPresentedFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// A picture with detail everywhere that moves from frame to frame, harder to
// encode than a show's flat backgrounds.
void Paint(CapturedFrame* frame, int64_t n)
{
    for (unsigned y = 0; y < kHeight; ++y) {
        for (unsigned x = 0; x < kWidth; ++x) {
            const uint32_t r = (x + 3 * n) & 0xFF;
            const uint32_t g = (y * 2 + n) & 0xFF;
            const uint32_t b = ((x ^ y) + 5 * n) & 0xFF;
            frame->pixels[y * kWidth + x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
}

void EncodeMovingPicture(benchmark::State& state)
{
    av_log_set_level(AV_LOG_ERROR);
    const std::string path = "/tmp/zolt-bench-capture.mp4";
    VideoSettings settings;
    settings.path = path;
    settings.width = kWidth;
    settings.height = kHeight;
    VideoFileWriter writer;
    if (!writer.Open(settings)) {
        state.SkipWithError(writer.Error().c_str());
        return;
    }
    CapturedFrame frame;
    frame.width = kWidth;
    frame.height = kHeight;
    frame.pixels.assign(kWidth * kHeight, 0);
    int64_t n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Paint(&frame, n);
        frame.index = n++;
        state.ResumeTiming();
        writer.Write(frame);
    }
    writer.Finish(n, true);
    std::remove(path.c_str());
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(EncodeMovingPicture)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
