// How close each frame of the sample show comes to what the rasteriser
// cannot beat. For each of the six scenes and for a crossfade, the frame is
// drawn by the engine (the demo manager's RenderFrame with the skybox,
// alternating between two music times a frame apart so that every deformed
// mesh is rewritten) and by its floor: the same frame recorded once and baked
// into static buffers, drawn by a minimal program (bench/floor_frame.h).
// BM_SkyBoxAlone does the same for a frame of the skybox alone,
// BM_WholeShowSampled for frames spread over the whole show, and
// BM_WholeShowPercentiles for the slow end of the show's frames.
// Counters: engine_ms, floor_ms and ratio (engine over floor), each frame
// finished by the rasteriser before the clock stops, and the same in CPU time
// of all the process's threads (engine_cpu_ms, floor_cpu_ms, cpu_ratio),
// steadier on a busy machine; the two are timed alternately so that a busy
// machine slows both alike. The floor leaves out all of the engine's own
// work on the processor (animation, skinning, lighting), so a ratio above 1
// is that work plus what the engine's drawing costs beyond the floor's. The
// frame is recorded with the skybox drawn first, as its draws are made; the
// engine paints it behind each effect, into only the pixels left showing,
// and so can come in under its floor (a ratio below 1): that is pixel work
// the frame's draws ask for and the engine spares.
#include <benchmark/benchmark.h>


#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/floor_frame.h"
#include "bench/recording_device.h"
#include "content/show.h"
#include "demo/demo_manager.h"
#include "demo/frame_clock.h"
#include "demo/skybox_plugin.h"
#include "gfx/dx_device.h"
#include "platform/d3d8/back_buffer_readback.h"
#include "platform/win32/window.h"
#include "tests/support/pack_builder.h"
#include "tests/support/png_writer.h"

namespace {

constexpr unsigned kWidth = 640;
constexpr unsigned kHeight = 480;
constexpr int kFps = 60;

// The sample show loaded once on a 640 x 480 show device whose calls pass
// through a recorder.
struct Show {
    TempDirectory folder;
    std::unique_ptr<WorkingDirectory> cwd;
    HWND window = nullptr;
    DXDevice layer;
    IDirect3DDevice8* real = nullptr;
    std::unique_ptr<RecordingDevice> recorder;
    std::unique_ptr<DemoManager> manager;
    bool ok = false;

    Show()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!content::MakeShow(folder.Path(), ZOLT_CAPTION_FONT, ZOLT_MUSIC_SOURCE))
            return;
        cwd = std::make_unique<WorkingDirectory>(folder.Path());
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ZoltViewer";
        RegisterClassA(&windowClass);
        D3DDISPLAYMODE mode = {kWidth, kHeight, 0, D3DFMT_X8R8G8B8};
        if (layer.Create(&window, GetModuleHandleA(nullptr), mode, false, true) != 0 || layer.m_device == nullptr)
            return;
        real = layer.m_device;
        // As zolt-soak and zolt-capture draw: the hidden window is not
        // presented to.
        ZoltSetPresentToWindow(real, false);
        recorder = std::make_unique<RecordingDevice>(real);
        layer.m_device = recorder.get();
        manager = std::make_unique<DemoManager>(&layer);
        ok = manager->Init() == 0 && manager->LoadScript("Marble.Spt") == 0;
        // What the show loaded calls the recorder, which passes every call
        // on; the demo manager's own calls go to the device itself, so that
        // it paints the skybox behind each effect as the player does, except
        // while a frame is recorded (BakeFloor).
        layer.m_device = real;
    }
    ~Show()
    {
        layer.m_device = recorder.get();
        manager.reset();
        layer.m_device = real;
        layer.Release();
        if (window != nullptr)
            DestroyWindow(window);
    }

    // Draws the frame at music time ms and waits for it.
    void DrawFrame(FrameClock* clock, int64_t frame)
    {
        clock->SetFrame(frame);
        manager->RenderFrame();
        ZoltFinishDrawing(real);
    }
};

Show& TheBenchShow()
{
    static Show show;
    return show;
}

double Milliseconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// CPU time of every thread of the process (the rasteriser's included), in
// ms: on a busy machine it moves far less than the wall clock.
double ProcessCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The sums of timed frames: the engine's and the floor's, in wall and CPU
// time, and the draws of the recorded frame and of its floor.
struct FloorTimes {
    double engineMs = 0.0, floorMs = 0.0, engineCpuMs = 0.0, floorCpuMs = 0.0;
    int64_t frames = 0;
    size_t engineDraws = 0, floorDraws = 0;
};

// Records frame 0 of `drawFrame` and bakes its floor, after a few frames in
// which every texture, shader and buffer is made; null when it cannot be
// baked. The recorded frame's draws are added to `times`.
template <typename DrawFrame>
std::unique_ptr<FloorFrame> BakeFloor(Show& show, DrawFrame drawFrame, FloorTimes* times)
{
    for (int64_t i = 0; i < 4; ++i)
        drawFrame(i & 1);
    // Recorded with every call through the recorder, the skybox is drawn
    // first: the floor covers every pixel of the frame's draws.
    show.layer.m_device = show.recorder.get();
    show.recorder->StartRecording();
    drawFrame(0);
    const std::vector<RecordedOp> ops = show.recorder->StopRecording();
    show.layer.m_device = show.real;
    auto floor = std::make_unique<FloorFrame>(ZoltSdlWindow(show.window), ops, kWidth, kHeight);
    if (!floor->Ok())
        return nullptr;
    floor->Draw();
    for (const RecordedOp& op : ops)
        times->engineDraws += op.clear ? 0 : 1;
    times->floorDraws += floor->Draws();
    return floor;
}

// One engine frame (`drawFrame(frame & 1)`, finished) and one floor frame,
// timed one after the other so that a busy machine slows both alike.
template <typename DrawFrame>
void TimeAgainstFloor(FloorTimes* times, FloorFrame& floor, DrawFrame drawFrame, int64_t frame)
{
    const auto start = std::chrono::steady_clock::now();
    const double startCpu = ProcessCpuMs();
    drawFrame(frame & 1);
    const auto drawn = std::chrono::steady_clock::now();
    const double drawnCpu = ProcessCpuMs();
    floor.Draw();
    const auto floored = std::chrono::steady_clock::now();
    const double flooredCpu = ProcessCpuMs();
    times->engineMs += Milliseconds(drawn - start);
    times->floorMs += Milliseconds(floored - drawn);
    times->engineCpuMs += drawnCpu - startCpu;
    times->floorCpuMs += flooredCpu - drawnCpu;
    ++times->frames;
}

void ReportAgainstFloor(benchmark::State& state, const FloorTimes& times, size_t recordedFrames)
{
    const double frames = static_cast<double>(std::max<int64_t>(times.frames, 1));
    state.counters["engine_ms"] = times.engineMs / frames;
    state.counters["floor_ms"] = times.floorMs / frames;
    state.counters["ratio"] = times.floorMs > 0.0 ? times.engineMs / times.floorMs : 0.0;
    state.counters["engine_cpu_ms"] = times.engineCpuMs / frames;
    state.counters["floor_cpu_ms"] = times.floorCpuMs / frames;
    state.counters["cpu_ratio"] = times.floorCpuMs > 0.0 ? times.engineCpuMs / times.floorCpuMs : 0.0;
    const double recorded = static_cast<double>(std::max<size_t>(recordedFrames, 1));
    state.counters["floor_draws"] = static_cast<double>(times.floorDraws) / recorded;
    state.counters["engine_draws"] = static_cast<double>(times.engineDraws) / recorded;
}

// Times `drawFrame(n)` (one whole frame, finished) against the floor of
// frame 0 as recorded, alternately.
template <typename DrawFrame>
void AgainstFloor(benchmark::State& state, Show& show, const std::string& pictureName, DrawFrame drawFrame)
{
    FloorTimes times;
    const std::unique_ptr<FloorFrame> floor = BakeFloor(show, drawFrame, &times);
    if (!floor) {
        state.SkipWithError("the floor cannot be baked");
        return;
    }
    // ZOLT_FLOOR_PICTURES=FOLDER: the engine's frame and its floor as PNG
    // pictures, to see that the floor covers the same pixels.
    if (const char* folder = std::getenv("ZOLT_FLOOR_PICTURES")) {
        std::vector<uint32_t> pixels;
        UINT width = 0, height = 0;
        drawFrame(0);
        ZoltReadBackBuffer(show.real, &pixels, &width, &height);
        const std::string name = std::string(folder) + "/" + pictureName;
        WritePngArgb(name + "-engine.png", static_cast<int>(width), static_cast<int>(height), pixels);
        WritePngArgb(name + "-floor.png", kWidth, kHeight, floor->ReadBack());
    }
    int64_t frame = 0;
    for (auto _ : state)
        TimeAgainstFloor(&times, *floor, drawFrame, frame++);
    ReportAgainstFloor(state, times, 1);
}

void FrameAgainstFloor(benchmark::State& state, double musicMs)
{
    Show& show = TheBenchShow();
    if (!show.ok) {
        state.SkipWithError("the sample show cannot be made or loaded");
        return;
    }
    FrameClock clock(musicMs, kFps);
    show.manager->SetClock(&clock);
    AgainstFloor(state, show, std::to_string(static_cast<int>(musicMs)),
                 [&](int64_t frame) { show.DrawFrame(&clock, frame); });
    show.manager->SetClock(nullptr);
}

// The skybox alone, as the demo manager draws it behind an effect: a frame
// of its clear and the six faces seen along the flight's first heading (up
// and to the side, so that three faces share the screen).
void BM_SkyBoxAlone(benchmark::State& state)
{
    Show& show = TheBenchShow();
    if (!show.ok) {
        state.SkipWithError("the sample show cannot be made or loaded");
        return;
    }
    SkyBoxPlugIn sky(&show.layer);
    if (sky.LoadShowFaces() != 0) {
        state.SkipWithError("the skybox cannot be loaded");
        return;
    }
    AgainstFloor(state, show, "skybox", [&](int64_t frame) {
        IDirect3DDevice8* device = show.layer.m_device; // the recorder while a frame is recorded
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->BeginScene();
        const float turn = 0.01f * static_cast<float>(frame);
        sky.Draw(D3DVECTOR{0.0f, 0.0f, 0.0f}, D3DVECTOR{1.0f + turn, 0.4f, 1.0f});
        device->EndScene();
        show.layer.ShowFrame();
        ZoltFinishDrawing(show.real);
    });
}
BENCHMARK(BM_SkyBoxAlone)->UseRealTime()->Unit(benchmark::kMillisecond);

// Music times of the show's timeline: each scene well inside its effect's
// window, the hall's otter (frame 1490 of the hall at 25 a second) just
// before the hall fades, and the hall fading into the walker.
void BM_Hall(benchmark::State& state) { FrameAgainstFloor(state, 20000.0); }
void BM_HallWithOtter(benchmark::State& state) { FrameAgainstFloor(state, 59800.0); }
void BM_Dancer(benchmark::State& state) { FrameAgainstFloor(state, 80000.0); }
void BM_Glass(benchmark::State& state) { FrameAgainstFloor(state, 115000.0); }
void BM_Lights(benchmark::State& state) { FrameAgainstFloor(state, 150000.0); }
void BM_Flight(benchmark::State& state) { FrameAgainstFloor(state, 185000.0); }
void BM_Crossfade(benchmark::State& state) { FrameAgainstFloor(state, 61000.0); }
// The show's other fades between two scenes, for the frames they add to the
// slow end of the show.
void BM_CrossfadeWalkerToGlass(benchmark::State& state) { FrameAgainstFloor(state, 99000.0); }
void BM_CrossfadeLightsToFlight(benchmark::State& state) { FrameAgainstFloor(state, 171000.0); }
BENCHMARK(BM_Hall)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HallWithOtter)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dancer)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Glass)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lights)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Flight)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crossfade)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrossfadeWalkerToGlass)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrossfadeLightsToFlight)->UseRealTime()->Unit(benchmark::kMillisecond);

// Sets the show's clock at each of `musicMs`, bakes that frame's floor and
// calls `timing(drawFrame, floor)`. False, with the benchmark skipped, when
// the show cannot be loaded or a floor cannot be baked.
template <typename Timing>
bool ForEachBakedFrame(benchmark::State& state, const std::vector<double>& musicMs, FloorTimes* times, Timing timing)
{
    Show& show = TheBenchShow();
    if (!show.ok) {
        state.SkipWithError("the sample show cannot be made or loaded");
        return false;
    }
    for (const double ms : musicMs) {
        FrameClock clock(ms, kFps);
        show.manager->SetClock(&clock);
        auto drawFrame = [&](int64_t frame) { show.DrawFrame(&clock, frame); };
        const std::unique_ptr<FloorFrame> floor = BakeFloor(show, drawFrame, times);
        if (floor)
            timing(drawFrame, *floor);
        show.manager->SetClock(nullptr);
        if (!floor) {
            state.SkipWithError("the floor cannot be baked");
            return false;
        }
    }
    return true;
}

// The whole show against its floor: a frame every two seconds of music, from
// 1 s to 203 s (102 frames, four of them in fades between scenes, as in the
// show), each baked, then timed in a run of four engine frames and a run of
// four floor frames. floor_fps is the rate no engine on this rasteriser can
// pass over the whole show; engine_fps is this one's over the same frames.
void BM_WholeShowSampled(benchmark::State& state)
{
    constexpr int kSamples = 102;
    constexpr int kTimings = 4;
    std::vector<double> musicMs;
    for (int k = 0; k < kSamples; ++k)
        musicMs.push_back(1000.0 + 2000.0 * k);
    FloorTimes times;
    for (auto _ : state) {
        const bool baked = ForEachBakedFrame(state, musicMs, &times, [&](auto& drawFrame, FloorFrame& floor) {
            // Runs of frames, each after one untimed frame in its context,
            // so that the switch between the engine's context and the
            // floor's is not counted: frame rates as zolt-soak measures.
            drawFrame(1);
            auto start = std::chrono::steady_clock::now();
            double startCpu = ProcessCpuMs();
            for (int64_t t = 0; t < kTimings; ++t)
                drawFrame(t & 1);
            times.engineMs += Milliseconds(std::chrono::steady_clock::now() - start);
            times.engineCpuMs += ProcessCpuMs() - startCpu;
            floor.Draw();
            start = std::chrono::steady_clock::now();
            startCpu = ProcessCpuMs();
            for (int64_t t = 0; t < kTimings; ++t)
                floor.Draw();
            times.floorMs += Milliseconds(std::chrono::steady_clock::now() - start);
            times.floorCpuMs += ProcessCpuMs() - startCpu;
            times.frames += kTimings;
        });
        if (!baked)
            return;
    }
    ReportAgainstFloor(state, times, static_cast<size_t>(kSamples) * static_cast<size_t>(state.iterations()));
    state.counters["engine_fps"] = times.engineMs > 0.0 ? 1000.0 * static_cast<double>(times.frames) / times.engineMs : 0.0;
    state.counters["floor_fps"] = times.floorMs > 0.0 ? 1000.0 * static_cast<double>(times.frames) / times.floorMs : 0.0;
}
BENCHMARK(BM_WholeShowSampled)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// The slow end of the show against its floor's: every twelfth frame of the
// loop (1,020 frames, ten in each fade between scenes, as often as in the
// show), each baked, then drawn three times by the engine and three times
// by its floor, each after one untimed frame in its context. A frame's time
// is the median of its three, which leaves out most of the machine's own
// hiccups; the percentiles are taken over the frames. floor_p99_ms is the
// 99th-percentile frame that no engine on this rasteriser can beat at this
// moment of the machine; engine_p99_ms is this one's.
double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())));
    return values[index];
}

template <typename Draw>
double MedianOfThreeMs(Draw draw)
{
    double ms[3];
    for (double& one : ms) {
        const auto start = std::chrono::steady_clock::now();
        draw();
        one = Milliseconds(std::chrono::steady_clock::now() - start);
    }
    std::sort(ms, ms + 3);
    return ms[1];
}

void BM_WholeShowPercentiles(benchmark::State& state)
{
    constexpr int64_t kLoopFrames = 12240;
    constexpr int64_t kStride = 12;
    std::vector<double> musicMs;
    for (int64_t n = 0; n < kLoopFrames; n += kStride)
        musicMs.push_back(1000.0 * static_cast<double>(n) / kFps);
    std::vector<double> engine, floors;
    FloorTimes times;
    for (auto _ : state) {
        const bool baked = ForEachBakedFrame(state, musicMs, &times, [&](auto& drawFrame, FloorFrame& floor) {
            int64_t frame = 0;
            drawFrame(1);
            engine.push_back(MedianOfThreeMs([&] { drawFrame(frame++ & 1); }));
            floor.Draw();
            floors.push_back(MedianOfThreeMs([&] { floor.Draw(); }));
        });
        if (!baked)
            return;
    }
    const double floorP99 = Percentile(floors, 0.99);
    state.counters["frames"] = static_cast<double>(engine.size());
    state.counters["engine_p50_ms"] = Percentile(engine, 0.5);
    state.counters["engine_p99_ms"] = Percentile(engine, 0.99);
    state.counters["floor_p50_ms"] = Percentile(floors, 0.5);
    state.counters["floor_p99_ms"] = floorP99;
    state.counters["p99_ratio"] = floorP99 > 0.0 ? Percentile(engine, 0.99) / floorP99 : 0.0;
}
BENCHMARK(BM_WholeShowPercentiles)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
