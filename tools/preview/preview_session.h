// The show as the preview plays it: opened the way the player opens it, drawn
// on the music's clock, and moved about in. Every jump cues the show
// (DemoManager::CueAt) and draws the frame at exactly the time jumped to, so
// the picture after a jump is the one a capture started at that time draws.
#pragma once

#include <cstdint>
#include <string>

#include "tools/preview/preview_clock.h"

class MusicStream;

class PreviewSession {
public:
    PreviewSession() = default;
    ~PreviewSession();
    PreviewSession(const PreviewSession&) = delete;
    PreviewSession& operator=(const PreviewSession&) = delete;

    // Opens the show in the working directory in a 640 x 480 window, with
    // the player's start-up and messages, and plays it from `fromMs`. False
    // after the messages when the show cannot start.
    bool Open(double fromMs);
    void Close();

    // One pass of the frame loop: while playing, the frame at the music's
    // position (at the end of the music the show pauses on its last frame);
    // while paused, the last picture is presented again now and then.
    void Step();

    void Pause();
    void Play();
    bool Paused() const { return m_paused; }
    // Jumps to `ms`, kept within the music.
    void SeekTo(double ms);
    // To the next effect's start; false when no effect starts later.
    bool NextEffect();
    // To the start of the latest effect that started more than half a
    // second before the picture (so that a second press goes further back
    // while playing), or to the beginning.
    void PreviousEffect();
    // Rebuilds the show when it has a show.toml, then loads the script and
    // the pack again and goes on at the same music time. False with the
    // reason when the rebuild or the load failed; the last good show then
    // goes on.
    bool Reload(std::string* problem);
    // Writes the picture on screen to a PNG file.
    bool Shot(const std::string& path, std::string* problem) const;
    void ToggleFullScreen();

    // The music time of the picture on screen.
    double ShownMs() const { return m_shownMs; }
    double LengthMs() const;
    // The name of the effect the picture shows (the active one); null for
    // none.
    const char* ShownEffectName() const;

private:
    MusicStream* Music() const;
    // Cues the show at ms and draws the frame at exactly that time.
    void CueAndDraw(double ms);
    void DrawFrame();
    void UpdateTitle();

    PreviewClock m_clock;
    bool m_open = false;
    bool m_paused = false;
    bool m_warnedSeek = false;
    double m_shownMs = 0.0;
    uint32_t m_lastPresentTick = 0;
    char m_title[512] = {};
};
