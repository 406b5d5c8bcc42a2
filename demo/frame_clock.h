// A clock driven by the frame number, for programs that draw the show at
// exact music times whatever the machine's speed (the capture, the soak):
// frame n of a run that starts at music time `from` shows the music time
// from + n / fps. The tick count that the demo manager measures the end of
// the show with is the same music time, so the show ends on this clock
// exactly when its music would.
#pragma once

#include <cstdint>

#include "demo/demo_clock.h"

class FrameClock : public DemoClock {
public:
    FrameClock(double fromMs, int fps) : m_fromMs(fromMs), m_fps(fps) {}

    void SetFrame(int64_t frame) { m_frame = frame; }
    int64_t Frame() const { return m_frame; }

    // Music time of frame n, in milliseconds.
    double FrameTimeMs(int64_t frame) const;
    // How many frames show a music time before toMs.
    int64_t CountFramesBefore(double toMs) const;

    double GetMusicTimeMs() override { return FrameTimeMs(m_frame); }
    uint32_t GetTickCount() override;

private:
    double m_fromMs;
    int m_fps;
    int64_t m_frame = 0;
};
