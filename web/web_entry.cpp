// The browser build's entry: the page calls these once the show's files are
// in the virtual file system (Marble.Spt, data.pac) and its music is decoded.
// The show opens exactly as the player opens it; then the page either starts
// it and runs one loop pass per animation frame, or draws single frames at
// exact music times on a clock of its own (the still and bench hooks).
#include <emscripten/emscripten.h>

#include <memory>

#include "app/show_state.h"
#include "app/win_main.h"
#include "demo/demo_manager.h"
#include "demo/frame_clock.h"
#include "gfx/dx_device.h"
#include "platform/d3d8/back_buffer_readback.h"
#include "platform/report/report.h"
#include "platform/web/canvas_video.h"
#include "platform/web/canvas_window.h"
#include "platform/win32/report_box.h"
#include "platform/win32/window.h"
#include "sound/music_stream.h"

namespace {

constexpr unsigned kWidth = 640;
constexpr unsigned kHeight = 480;
// Frames per music second of the still and bench hooks.
constexpr int kHookFps = 60;

std::unique_ptr<FrameClock> g_clock;

enum FrameResult { kFrameDrawn = 0, kShowEnded = 1, kShowOver = 2 };

} // namespace

extern "C" {

// Opens the show: the player's way (clockMs < 0: the music's clock), or on a
// frame clock from music time clockMs, silent, as the capture opens it.
// 0 on success; 1 after the player's messages.
EMSCRIPTEN_KEEPALIVE int zolt_open(double clockMs, int keepPicture)
{
    // The engine's messages are the page's message boxes, as the player's
    // are boxes on the screen.
    SetReportSink(ShowReportBox);
    SetCanvasPreservesPicture(keepPicture != 0);
    ShowOpening opening;
    opening.width = kWidth;
    opening.height = kHeight;
    // The page is a window; the browser's full screen only enlarges it.
    opening.fullScreen = false;
    if (clockMs >= 0.0) {
        g_clock = std::make_unique<FrameClock>(clockMs, kHookFps);
        opening.clock = g_clock.get();
    }
    if (OpenShow(GetModuleHandleA(nullptr), opening) != 0) {
        return 1;
    }
    MusicStream* music = TheShow().manager->GetMusic();
    if (ZoltQuitCode() != 0 || music == nullptr || !music->IsOpen()) {
        StopShow();
        return 1;
    }
    // A show opened at a music time is cued there as zolt-capture --from
    // cues it: scenes as loaded, loops where playing puts them.
    if (clockMs >= 0.0) {
        TheShow().manager->CueAt(static_cast<float>(g_clock->FrameTimeMs(0)));
    }
    return 0;
}

// Starts the music and the show, as the player does after loading.
EMSCRIPTEN_KEEPALIVE void zolt_start()
{
    ShowState& show = TheShow();
    if (show.manager == nullptr) {
        return;
    }
    show.running = 1;
    show.manager->Start();
    ShowCursor(FALSE);
}

// The passes of the player's main loop up to one drawn frame: every waiting
// message is handled first. kShowEnded after a quit (Escape), kShowOver once
// the music's length has passed; the show is then shut down.
EMSCRIPTEN_KEEPALIVE int zolt_frame()
{
    for (;;) {
        MSG waiting{};
        const bool messageWaiting = PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE) != 0;
        int quitCode = 0;
        const LoopPass pass = RunLoopPass(&quitCode);
        if (pass != LoopPass::Continue) {
            StopShow();
            return pass == LoopPass::Quit ? kShowEnded : kShowOver;
        }
        if (!messageWaiting) {
            return kFrameDrawn;
        }
    }
}

// Draws frames first .. first + count - 1 of the frame clock (frame n at
// music time from + n / 60 s), each finished before the next is begun.
// Returns the frames drawn: fewer once the show is over.
EMSCRIPTEN_KEEPALIVE int zolt_draw_frames(int first, int count)
{
    ShowState& show = TheShow();
    if (show.manager == nullptr || g_clock == nullptr) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        g_clock->SetFrame(first + i);
        if ((show.manager->GetStatus() & DemoManager::kStatusOver) != 0) {
            return i;
        }
        show.manager->RenderFrame();
        ZoltFinishDrawing(show.device->m_device);
    }
    return count;
}

// The show's music length in milliseconds (0 before it opened).
EMSCRIPTEN_KEEPALIVE double zolt_music_length()
{
    ShowState& show = TheShow();
    MusicStream* music = show.manager != nullptr ? show.manager->GetMusic() : nullptr;
    return music != nullptr ? static_cast<double>(music->GetLength()) : 0.0;
}

EMSCRIPTEN_KEEPALIVE void zolt_key(int character)
{
    ZoltWebKey(character);
}

EMSCRIPTEN_KEEPALIVE void zolt_close()
{
    StopShow();
    g_clock.reset();
}

} // extern "C"
