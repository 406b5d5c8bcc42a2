#include "tools/soak/soak_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/offscreen_show.h"
#include "app/show_state.h"
#include "app/win_main.h"
#include "demo/demo_manager.h"
#include "demo/frame_clock.h"
#include "gfx/dx_device.h"
#include "platform/d3d8/back_buffer_readback.h"
#include "sound/music_stream.h"
#include "demo/effect.h"
#include "tools/soak/frame_times.h"
#include "tools/soak/resident_memory.h"
#include "tools/soak/soak_options.h"

namespace {

constexpr int64_t kPrintEvery = 1000;
// The resident size is read this often to find each loop's floor.
constexpr int64_t kSampleEvery = 50;

// The verdict compares floors: the lowest resident size seen during the
// second loop (the first after every effect has been entered and every
// texture, shader and buffer made) and during the last complete loop. A show
// without leaks holds its floor steady; single readings are not steady,
// because the driver replaces its 1 MiB upload buffer every few thousand
// frames and one or two of the device's 4 MiB vertex stream buffers are alive
// depending on how much has been streamed, not on the moment of the show. A
// leak raises the floor: one small block (32 bytes with its header) a frame
// passes the bound within 33,000 frames; anything made again on each entry
// of an effect (a texture, a mesh) passes it within a few loops. The bound is
// the larger of 1 MiB and 1% of the second loop's floor.
constexpr long kMinBoundKilobytes = 1024;
constexpr long kBoundPercent = 1;

struct SoakFigures {
    int64_t drawn = 0;
    bool interrupted = false;
    long baseFloorKilobytes = -1;  // lowest during the second loop
    int64_t lastLoop = 0;          // the last loop completed, from 1
    long lastFloorKilobytes = -1;  // lowest during it
    double seconds = 0.0;
};

void Report(const std::string& text)
{
    std::fprintf(stderr, "zolt-soak: %s\n", text.c_str());
}

// Draws frames 0 to total - 1, frame n at the music time of frame n modulo
// the loop, each finished by the rasteriser before the next, and notes each
// frame's drawing time in `times`.
SoakFigures DrawFrames(FrameClock* clock, int64_t total, int64_t loopFrames, FrameTimes* times)
{
    ShowState& show = TheShow();
    IDirect3DDevice8* device = show.device->m_device;
    SoakFigures figures;
    long floor = -1;  // lowest resident size of the loop being drawn
    const auto start = std::chrono::steady_clock::now();
    for (int64_t n = 0; n < total; ++n) {
        if (!PumpShowMessages()) {
            figures.interrupted = true;
            break;
        }
        clock->SetFrame(n % loopFrames);
        const auto frameStart = std::chrono::steady_clock::now();
        show.manager->RenderFrame();
        ZoltFinishDrawing(device);
        const auto frameEnd = std::chrono::steady_clock::now();
        times->Add(std::chrono::duration<double, std::micro>(frameEnd - frameStart).count(),
                   show.manager->GetActiveIndex());
        figures.drawn = n + 1;
        const bool loopEnds = figures.drawn % loopFrames == 0;
        const bool print = figures.drawn % kPrintEvery == 0;
        if (figures.drawn % kSampleEvery == 0 || loopEnds || print) {
            const long kilobytes = ResidentKilobytes();
            if (print) {
                std::printf("frame %lld rss %ld KB\n", static_cast<long long>(figures.drawn), kilobytes);
            }
            if (floor < 0 || (kilobytes >= 0 && kilobytes < floor)) {
                floor = kilobytes;
            }
            if (loopEnds) {
                figures.lastLoop = figures.drawn / loopFrames;
                figures.lastFloorKilobytes = floor;
                if (figures.lastLoop == 2) {
                    figures.baseFloorKilobytes = floor;
                }
                floor = -1;
            }
        }
    }
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return figures;
}

// The summary line and the verdict: 0 within the bound, 1 otherwise.
int Judge(const SoakFigures& figures, int64_t loopFrames)
{
    std::printf("drawn %lld frames in %.1f s (%.1f a second), the show's loop is %lld frames\n",
                static_cast<long long>(figures.drawn), figures.seconds,
                figures.seconds > 0.0 ? figures.drawn / figures.seconds : 0.0, static_cast<long long>(loopFrames));
    if (figures.lastLoop < 3) {
        Report("the run ended before the show looped three times: nothing to compare");
        return 1;
    }
    if (figures.baseFloorKilobytes < 0 || figures.lastFloorKilobytes < 0) {
        Report("cannot read the resident memory from /proc/self/status");
        return 1;
    }
    const long growth = figures.lastFloorKilobytes - figures.baseFloorKilobytes;
    const long bound = std::max(kMinBoundKilobytes, figures.baseFloorKilobytes * kBoundPercent / 100);
    const bool within = growth <= bound;
    std::printf("rss floor in loop 2 %ld KB, in loop %lld %ld KB, growth %ld KB, bound %ld KB: %s\n",
                figures.baseFloorKilobytes, static_cast<long long>(figures.lastLoop), figures.lastFloorKilobytes,
                growth, bound, within ? "within" : "GROWN BEYOND");
    // A run cut short (Ctrl-C, SIGTERM or the window closed) gives its
    // figures but no verdict.
    if (figures.interrupted) {
        Report("stopped before the last frame");
        return 1;
    }
    return within ? 0 : 1;
}

// The frame times' lines, after the run's other lines.
void PrintFrameTimes(const FrameTimes& times, const DemoManager& manager)
{
    if (times.Count() == 0) {
        return;
    }
    std::printf("frame times: mean %.3f ms, median %.3f ms, 99th percentile %.3f ms, slowest %.3f ms (frame %lld)\n",
                times.MeanMicroseconds() / 1000.0, static_cast<double>(times.PercentileMicroseconds(0.5)) / 1000.0,
                static_cast<double>(times.PercentileMicroseconds(0.99)) / 1000.0,
                times.SlowestMicroseconds() / 1000.0, static_cast<long long>(times.SlowestFrame()));
    const int slowest = times.SlowestEffect();
    if (slowest < 0) {
        std::printf("slowest effect: none, no frame showed an effect\n");
        return;
    }
    std::printf("slowest effect: %d \"%s\", mean %.3f ms over %lld frames\n", slowest,
                manager.GetEffect(slowest)->GetName().c_str(), times.EffectMeanMicroseconds(slowest) / 1000.0,
                static_cast<long long>(times.EffectFrames(slowest)));
}

}  // namespace

int RunSoak(int argc, const char* const* argv)
{
    SoakOptions options;
    std::string error;
    if (!ParseSoakOptions(argc, argv, &options, &error)) {
        Report(error);
        std::fputs(kSoakUsage, stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(kSoakUsage, stdout);
        return 0;
    }
    // Every line is seen as it is printed, also in a file or a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    FrameClock clock(0.0, options.fps);
    const ShowOpening player;
    MusicStream* music = OpenOffscreenShow(player.width, player.height, &clock);
    if (music == nullptr) {
        return 1;
    }
    // The last frame of a loop is the last one before the music's end.
    const int64_t loopFrames = std::max<int64_t>(1, clock.CountFramesBefore(music->GetLength()));
    FrameTimes times(TheShow().manager->GetEffectCount());
    const SoakFigures figures = DrawFrames(&clock, options.frames, loopFrames, &times);
    const int verdict = Judge(figures, loopFrames);
    PrintFrameTimes(times, *TheShow().manager);
    StopShow();
    return verdict;
}
