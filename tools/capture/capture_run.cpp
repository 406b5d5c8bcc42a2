#include "tools/capture/capture_run.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "app/offscreen_show.h"
#include "app/show_state.h"
#include "app/win_main.h"
#include "demo/demo_manager.h"
#include "demo/frame_clock.h"
#include "gfx/dx_device.h"
#include "platform/d3d8/back_buffer_readback.h"
#include "platform/d3d8/d3d8.h"
#include "sound/music_stream.h"
#include "tools/capture/background_priority.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/frame_pool.h"
#include "tools/capture/music_track.h"
#include "tools/capture/png_sequence_writer.h"
#include "tools/capture/progress_meter.h"
#include "tools/capture/video_file_writer.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

// Frames in flight between the render loop and the writer: enough for the
// encoder, which yields to drawing, to fall behind while frames are drawn and
// catch up between them; bounded to about 64 MB of pictures.
constexpr size_t kMaxPoolBytes = 64u << 20;
constexpr size_t kMaxPoolFrames = 24;
constexpr size_t kMinPoolFrames = 3;

std::atomic<int> g_signal{0};

void OnSignal(int signal)
{
    g_signal.store(signal);
}

// Ctrl-C and SIGTERM end the capture cleanly; a second one ends the program
// at once (the handlers reset themselves).
void CatchInterruptions()
{
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void Report(const char* text)
{
    std::fprintf(stderr, "zolt-capture: %s\n", text);
}

void Report(const std::string& text)
{
    Report(text.c_str());
}

std::string Megabytes(uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

// The end of the range, checked against the music's length; false after a
// message when the range holds no music.
bool SettleRange(const CaptureOptions& options, unsigned lengthMs, double* toMs)
{
    const double fromMs = options.fromSeconds * 1000.0;
    if (fromMs >= lengthMs) {
        char text[160];
        std::snprintf(text, sizeof text, "--from %.3f is not before the end of the music (%.3f s)",
                      options.fromSeconds, lengthMs / 1000.0);
        Report(text);
        return false;
    }
    // The show ends with its music: a later --to changes nothing.
    *toMs = options.toGiven ? std::min(options.toSeconds * 1000.0, static_cast<double>(lengthMs))
                            : static_cast<double>(lengthMs);
    return true;
}

// The writer of what OUTPUT asks for, with the music decoded for a video's
// sound track; null after a message.
std::unique_ptr<FrameSink> OpenSink(const CaptureOptions& options, const std::string& musicFile, double toMs,
                                    MusicTrack* track)
{
    if (options.kind != OutputKind::Video) {
        auto pictures = std::make_unique<PngSequenceWriter>();
        const bool opened = options.kind == OutputKind::Still
                                ? pictures->OpenStill(options.output)
                                : pictures->OpenSequence(options.pattern, options.folderToCreate);
        if (!opened) {
            Report(pictures->Error());
            return nullptr;
        }
        return pictures;
    }
    std::string error;
    const int64_t firstSample = std::llround(options.fromSeconds * MusicTrack::kSampleRate);
    if (!track->Open(musicFile, firstSample, &error)) {
        Report("cannot decode the music file " + musicFile + " for the sound track: " + error);
        return nullptr;
    }
    VideoSettings settings;
    settings.path = options.output;
    settings.width = static_cast<int>(options.width);
    settings.height = static_cast<int>(options.height);
    settings.fps = options.fps;
    settings.crf = options.crf;
    settings.preset = options.preset;
    settings.music = track;
    settings.soundSamples = std::llround(toMs / 1000.0 * MusicTrack::kSampleRate) - firstSample;
    auto video = std::make_unique<VideoFileWriter>();
    // The encoder's threads start in a thread of low priority and keep it,
    // as the writer thread does: the rasteriser draws each frame while the
    // render loop waits, and between frames only one processor is busy.
    // Drawing first, encoding in every gap, keeps both processors at work;
    // when the frame pool is full the render loop waits and the encoder
    // catches up.
    bool opened = false;
    std::thread opener([&] {
        LowerThisThreadsPriority();
        opened = video->Open(settings);
    });
    opener.join();
    if (!opened) {
        Report(video->Error());
        return nullptr;
    }
    return video;
}

struct CaptureResult {
    int64_t frames = 0;
    bool interrupted = false;
    bool failed = false;
    std::string error;  // a failure of the render loop itself
};

// Renders frames 0 to total - 1 and queues them for the writer thread.
CaptureResult RenderFrames(FrameClock* clock, int64_t total, FrameSink* sink, ProgressMeter* meter)
{
    ShowState& show = TheShow();
    IDirect3DDevice8* device = show.device->m_device;
    const size_t pixels = static_cast<size_t>(show.device->m_width) * show.device->m_height;
    const size_t poolFrames =
        std::clamp(kMaxPoolBytes / std::max<size_t>(pixels * 4, 1), kMinPoolFrames, kMaxPoolFrames);
    FramePool pool(poolFrames, pixels);

    std::thread writer([&pool, sink] {
        LowerThisThreadsPriority();
        while (CapturedFrame* frame = pool.TakeQueued()) {
            const bool written = sink->Write(*frame);
            pool.Recycle(frame);
            if (!written) {
                pool.Stop();
                return;
            }
        }
    });

    CaptureResult result;
    for (int64_t n = 0; n < total; ++n) {
        if (g_signal.load() != 0 || !PumpShowMessages()) {
            result.interrupted = true;
            break;
        }
        clock->SetFrame(n);
        // The end of the show, measured on the same clock as the pictures.
        if ((show.manager->GetStatus() & DemoManager::kStatusOver) != 0) {
            break;
        }
        show.manager->RenderFrame();
        CapturedFrame* frame = pool.AcquireEmpty();
        if (frame == nullptr) {
            break;  // the writer failed
        }
        if (!ZoltReadBackBuffer(device, &frame->pixels, &frame->width, &frame->height) ||
            frame->pixels.size() != pixels) {
            result.error = "cannot read the picture back from the device";
            result.failed = true;
            break;
        }
        frame->index = n;
        pool.Queue(frame);
        result.frames = n + 1;
        meter->Update(result.frames);
    }
    pool.Close();
    writer.join();
    result.failed = result.failed || pool.Stopped();
    return result;
}

}  // namespace

int RunCapture(int argc, const char* const* argv)
{
    CaptureOptions options;
    std::string error;
    if (!ParseCaptureOptions(argc, argv, &options, &error)) {
        Report(error);
        std::fputs(kCaptureUsage, stderr);
        return 1;
    }
    if (options.help) {
        std::fputs(kCaptureUsage, stdout);
        return 0;
    }

    // The media libraries speak only of errors.
    av_log_set_level(AV_LOG_ERROR);

    FrameClock clock(options.fromSeconds * 1000.0, options.fps);
    MusicStream* music = OpenOffscreenShow(options.width, options.height, &clock);
    if (music == nullptr) {
        return 1;
    }
    // The encoder's threads share the processors with the rasteriser's
    // workers: bound to one processor each, a worker would wait for its own
    // while another stands idle.
    ZoltSpreadRasteriserThreads(false);
    ShowState& show = TheShow();
    // The show as a start at --from leaves it, the same cue a jump in the
    // preview makes: scenes as loaded, loops where playing puts them.
    show.manager->CueAt(static_cast<float>(clock.FrameTimeMs(0)));
    if (show.device->m_width != options.width || show.device->m_height != options.height) {
        Report("the device cannot draw at " + std::to_string(options.width) + "x" + std::to_string(options.height));
        StopShow();
        return 1;
    }
    double toMs = 0.0;
    if (!SettleRange(options, music->GetLength(), &toMs)) {
        StopShow();
        return 1;
    }
    const int64_t total = options.kind == OutputKind::Still ? 1 : clock.CountFramesBefore(toMs);

    MusicTrack track;
    const std::unique_ptr<FrameSink> sink = OpenSink(options, show.manager->GetMusicFileName(), toMs, &track);
    if (!sink) {
        StopShow();
        return 1;
    }

    CatchInterruptions();
    ProgressMeter meter(stderr, total, !options.quiet && isatty(fileno(stderr)) != 0);
    const CaptureResult result = RenderFrames(&clock, total, sink.get(), &meter);
    meter.Clear();
    StopShow();

    if (result.failed || !sink->Finish(result.frames, !result.interrupted)) {
        Report(result.error.empty() ? sink->Error() : result.error);
        sink->Discard();
        return 1;
    }
    const double seconds = static_cast<double>(result.frames) / options.fps;
    char summary[512];
    std::snprintf(summary, sizeof summary, "%s%lld frame%s, %.2f s, %s in %s (captured in %.1f s)",
                  result.interrupted ? "interrupted: " : "", static_cast<long long>(result.frames),
                  result.frames == 1 ? "" : "s", seconds,
                  Megabytes(sink->BytesWritten()).c_str(), options.output.c_str(), meter.Elapsed());
    if (result.interrupted) {
        Report(summary);
        return 1;
    }
    if (!options.quiet) {
        Report(summary);
    }
    return 0;
}
