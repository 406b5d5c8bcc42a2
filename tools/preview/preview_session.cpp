#include "tools/preview/preview_session.h"

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/show_state.h"
#include "app/win_main.h"
#include "demo/demo_manager.h"
#include "demo/effect.h"
#include "gfx/dx_device.h"
#include "platform/d3d8/back_buffer_readback.h"
#include "platform/win32/message_box.h"
#include "platform/win32/window.h"
#include "sound/music_stream.h"
#include "tools/preview/show_rebuild.h"
#include "tools/common/png_file.h"

namespace {

constexpr UINT kWidth = 640;
constexpr UINT kHeight = 480;
constexpr char kScriptName[] = "Marble.Spt";
// While paused the picture is presented again this often, for a window
// that was covered and shown again.
constexpr uint32_t kPausedPresentMs = 100;
// Prev goes back past an effect that started less than this before.
constexpr double kPreviousGraceMs = 500.0;

int RoundMs(double ms)
{
    return static_cast<int>(std::lround(ms));
}

DemoManager* Manager()
{
    return TheShow().manager;
}

// m:ss.t, the minutes unbounded.
void FormatClock(double ms, char* out, size_t size)
{
    const long tenths = std::lround(std::max(0.0, ms) / 100.0);
    std::snprintf(out, size, "%ld:%02ld.%ld", tenths / 600, (tenths / 10) % 60, tenths % 10);
}

}  // namespace

PreviewSession::~PreviewSession()
{
    Close();
}

MusicStream* PreviewSession::Music() const
{
    return Manager() != nullptr ? Manager()->GetMusic() : nullptr;
}

double PreviewSession::LengthMs() const
{
    MusicStream* music = Music();
    return music != nullptr ? static_cast<double>(music->GetLength()) : 0.0;
}

bool PreviewSession::Open(double fromMs)
{
    ShowOpening opening;
    opening.width = kWidth;
    opening.height = kHeight;
    opening.fullScreen = false;
    opening.clock = &m_clock;
    if (OpenShow(GetModuleHandleA(nullptr), opening) != 0) {
        return false;
    }
    // The music stream has told why it could not open; the player ends its
    // show at once then.
    MusicStream* music = Music();
    if (ZoltQuitCode() != 0 || music == nullptr || !music->IsOpen()) {
        StopShow();
        return false;
    }
    m_open = true;
    ShowState& show = TheShow();
    show.running = 1;
    m_clock.SetMusic(music);
    const double start = std::clamp(fromMs, 0.0, LengthMs());
    music->SetTime(RoundMs(start));
    show.manager->Start();
    CueAndDraw(start);
    return true;
}

void PreviewSession::Close()
{
    if (m_open) {
        m_open = false;
        StopShow();
    }
}

void PreviewSession::CueAndDraw(double ms)
{
    Manager()->CueAt(static_cast<float>(ms));
    m_clock.Hold(ms);
    DrawFrame();
    if (!m_paused) {
        m_clock.Release();
    }
}

void PreviewSession::DrawFrame()
{
    Manager()->RenderFrame();
    m_shownMs = Manager()->GetTime();
    m_lastPresentTick = GetTickCount();
    UpdateTitle();
}

void PreviewSession::Step()
{
    if (!m_open) {
        return;
    }
    if (m_paused) {
        if (GetTickCount() - m_lastPresentTick >= kPausedPresentMs) {
            TheShow().device->ShowFrame();
            m_lastPresentTick = GetTickCount();
        }
        return;
    }
    MusicStream* music = Music();
    if (static_cast<unsigned>(std::max(0, music->GetTime())) >= music->GetLength()) {
        Pause();
        return;
    }
    DrawFrame();
}

void PreviewSession::Pause()
{
    if (!m_open || m_paused) {
        return;
    }
    m_paused = true;
    // The music halts where the picture is and starts there again on Play.
    m_clock.Hold(m_shownMs);
    Music()->SetPaused(true);
    Music()->SetTime(RoundMs(m_shownMs));
    UpdateTitle();
}

void PreviewSession::Play()
{
    if (!m_open || !m_paused) {
        return;
    }
    m_paused = false;
    Music()->SetPaused(false);
    m_clock.Release();
    UpdateTitle();
}

void PreviewSession::SeekTo(double ms)
{
    if (!m_open) {
        return;
    }
    const double target = std::clamp(ms, 0.0, LengthMs());
    if (!Music()->SetTime(RoundMs(target)) && !m_warnedSeek) {
        m_warnedSeek = true;
        std::fprintf(stderr, "zolt-preview: the music cannot be moved in; the sound goes on from its beginning\n");
    }
    CueAndDraw(target);
}

bool PreviewSession::NextEffect()
{
    DemoManager* manager = Manager();
    double best = HUGE_VAL;
    for (int i = 0; i < manager->GetEffectCount(); ++i) {
        const double start = manager->GetEffect(i)->GetStart();
        if (start > m_shownMs + 0.5 && start < best && start <= LengthMs()) {
            best = start;
        }
    }
    if (best == HUGE_VAL) {
        return false;
    }
    SeekTo(best);
    return true;
}

void PreviewSession::PreviousEffect()
{
    DemoManager* manager = Manager();
    double best = 0.0;
    for (int i = 0; i < manager->GetEffectCount(); ++i) {
        const double start = manager->GetEffect(i)->GetStart();
        if (start < m_shownMs - kPreviousGraceMs && start > best) {
            best = start;
        }
    }
    SeekTo(best);
}

bool PreviewSession::Reload(std::string* problem)
{
    if (!m_open) {
        *problem = "no show is open";
        return false;
    }
    std::vector<char> folder(4096);
    if (getcwd(folder.data(), folder.size()) == nullptr) {
        *problem = "cannot tell the show folder";
        return false;
    }
    if (HasShowFile(folder.data()) && !RebuildShow(folder.data(), problem)) {
        return false;
    }

    // The new show is loaded beside the one playing, which goes on when the
    // new one fails. Its messages go to standard error only: a box would
    // stop the preview at every failed edit.
    ShowState& show = TheShow();
    auto* fresh = new DemoManager(show.device);
    fresh->SetClock(&m_clock);
    SetMessageBoxHook([](const MessageBoxRecord&) {});
    const bool loaded = fresh->Init() == 0 && fresh->LoadScript(kScriptName) == 0;
    SetMessageBoxHook(nullptr);
    MusicStream* music = fresh->GetMusic();
    const bool musicFailed = music != nullptr && !music->IsOpen();
    if (!loaded || music == nullptr || musicFailed) {
        delete fresh;
        // A music file that fails to open asks the program to quit; the
        // preview goes on with the last good show instead.
        if (musicFailed) {
            MSG quit{};
            PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        }
        *problem = "the show in the folder cannot start (see the messages above); the last good show goes on";
        return false;
    }

    const double keep = m_paused ? m_shownMs : m_clock.GetMusicTimeMs();
    delete show.manager;
    show.manager = fresh;
    m_clock.SetMusic(music);
    const double target = std::clamp(keep, 0.0, LengthMs());
    music->SetPaused(m_paused);
    music->SetTime(RoundMs(target));
    fresh->Start();
    CueAndDraw(target);
    return true;
}

bool PreviewSession::Shot(const std::string& path, std::string* problem) const
{
    std::vector<uint32_t> pixels;
    UINT width = 0;
    UINT height = 0;
    if (!m_open || !ZoltReadBackBuffer(TheShow().device->m_device, &pixels, &width, &height)) {
        *problem = "cannot read the picture back from the device";
        return false;
    }
    std::string reason;
    if (!WriteRgbPng(path, static_cast<int>(width), static_cast<int>(height), pixels, &reason)) {
        *problem = "cannot write " + path + ": " + reason;
        return false;
    }
    return true;
}

void PreviewSession::ToggleFullScreen()
{
    SDL_Window* window = m_open ? ZoltSdlWindow(TheShow().window) : nullptr;
    if (window == nullptr) {
        return;
    }
    // The device stays windowed at 640 x 480; its picture is scaled to the
    // screen, keeping its proportions.
    const bool full = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_SetWindowFullscreen(window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
}

const char* PreviewSession::ShownEffectName() const
{
    DemoManager* manager = Manager();
    const int active = manager != nullptr ? manager->GetActiveIndex() : -1;
    return active >= 0 ? manager->GetEffect(active)->GetName().c_str() : nullptr;
}

void PreviewSession::UpdateTitle()
{
    SDL_Window* window = ZoltSdlWindow(TheShow().window);
    DemoManager* manager = Manager();
    if (window == nullptr || manager == nullptr) {
        return;
    }
    char clock[32];
    FormatClock(m_shownMs, clock, sizeof clock);
    const int active = manager->GetActiveIndex();
    const int incoming = manager->GetIncomingIndex();
    const char* first = active >= 0 ? manager->GetEffect(active)->GetName().c_str() : "no effect";
    const char* second = incoming >= 0 ? manager->GetEffect(incoming)->GetName().c_str() : nullptr;
    char title[sizeof m_title];
    std::snprintf(title, sizeof title, "zolt-preview - %s - %s%s%s%s", clock, first, second ? " + " : "",
                  second ? second : "", m_paused ? " (paused)" : "");
    if (std::strcmp(title, m_title) != 0) {
        std::memcpy(m_title, title, sizeof m_title);
        SDL_SetWindowTitle(window, m_title);
    }
}
