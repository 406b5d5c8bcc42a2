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
#include "tools/soak/resident_memory.h"
#include "tools/soak/soak_options.h"

namespace {

constexpr int64_t kSampleEvery = 1000;

// The growth allowed from the end of the first loop to the end of the last:
// the larger of 1 MiB and 1% of the resident memory after the first loop.
// Both figures are taken at the same moment of the show. Once every effect
// has been entered and every texture, shader and buffer made, a show without
// leaks holds its memory steady but for the allocator and the driver: the
// driver replaces its 1 MiB upload buffer every few thousand frames, and
// whether one or two of the device's 4 MiB vertex stream buffers are alive
// depends on how much has been streamed, not on the moment of the show, so a
// single figure can stand 4 or 8 MiB above the floor. A leak of one small
// block (32 bytes with its header) a frame passes 1 MiB within 33,000
// frames; anything made again on each entry of an effect (a texture, a mesh)
// passes it within a few loops.
constexpr long kMinBoundKilobytes = 1024;
constexpr long kBoundPercent = 1;

struct SoakFigures {
    int64_t drawn = 0;
    bool interrupted = false;
    long firstLoopKilobytes = -1;  // after the show's first loop
    int64_t lastLoop = 0;          // the last loop completed, from 1
    long lastKilobytes = -1;       // after it
    double seconds = 0.0;
};

void Report(const std::string& text)
{
    std::fprintf(stderr, "zolt-soak: %s\n", text.c_str());
}

// Draws frames 0 to total - 1, frame n at the music time of frame n modulo
// the loop, each finished by the rasteriser before the next.
SoakFigures DrawFrames(FrameClock* clock, int64_t total, int64_t loopFrames)
{
    ShowState& show = TheShow();
    IDirect3DDevice8* device = show.device->m_device;
    SoakFigures figures;
    const auto start = std::chrono::steady_clock::now();
    for (int64_t n = 0; n < total; ++n) {
        if (!PumpShowMessages()) {
            figures.interrupted = true;
            break;
        }
        clock->SetFrame(n % loopFrames);
        show.manager->RenderFrame();
        ZoltFinishDrawing(device);
        figures.drawn = n + 1;
        const bool loopEnds = figures.drawn % loopFrames == 0;
        if (figures.drawn % kSampleEvery == 0 || loopEnds) {
            const long kilobytes = ResidentKilobytes();
            if (figures.drawn % kSampleEvery == 0) {
                std::printf("frame %lld rss %ld KB\n", static_cast<long long>(figures.drawn), kilobytes);
            }
            if (loopEnds) {
                figures.lastLoop = figures.drawn / loopFrames;
                figures.lastKilobytes = kilobytes;
                if (figures.lastLoop == 1) {
                    figures.firstLoopKilobytes = kilobytes;
                }
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
    if (figures.lastLoop < 2) {
        Report("the run ended before the show looped twice: nothing to compare");
        return 1;
    }
    if (figures.firstLoopKilobytes < 0 || figures.lastKilobytes < 0) {
        Report("cannot read the resident memory from /proc/self/status");
        return 1;
    }
    const long growth = figures.lastKilobytes - figures.firstLoopKilobytes;
    const long bound = std::max(kMinBoundKilobytes, figures.firstLoopKilobytes * kBoundPercent / 100);
    const bool within = growth <= bound;
    std::printf("rss after the first loop %ld KB, after loop %lld %ld KB, growth %ld KB, bound %ld KB: %s\n",
                figures.firstLoopKilobytes, static_cast<long long>(figures.lastLoop), figures.lastKilobytes, growth,
                bound, within ? "within" : "GROWN BEYOND");
    // A run cut short (Ctrl-C, SIGTERM or the window closed) gives its
    // figures but no verdict.
    if (figures.interrupted) {
        Report("stopped before the last frame");
        return 1;
    }
    return within ? 0 : 1;
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
    const SoakFigures figures = DrawFrames(&clock, options.frames, loopFrames);
    StopShow();
    return Judge(figures, loopFrames);
}
