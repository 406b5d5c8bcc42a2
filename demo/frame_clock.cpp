#include "demo/frame_clock.h"

#include <cmath>

double FrameClock::FrameTimeMs(int64_t frame) const
{
    // n * 1000 is exact, so a frame whose time is a whole millisecond gets
    // exactly that time.
    return m_fromMs + static_cast<double>(frame) * 1000.0 / m_fps;
}

int64_t FrameClock::CountFramesBefore(double toMs) const
{
    if (!(toMs > m_fromMs)) {
        return 0;
    }
    // A first guess, then settled against FrameTimeMs itself so that the
    // count agrees with the times the frames are drawn at.
    int64_t count = static_cast<int64_t>(std::floor((toMs - m_fromMs) * m_fps / 1000.0));
    while (count > 0 && FrameTimeMs(count - 1) >= toMs) {
        --count;
    }
    while (FrameTimeMs(count) < toMs) {
        ++count;
    }
    return count;
}

uint32_t FrameClock::GetTickCount()
{
    const double ms = std::floor(GetMusicTimeMs());
    return ms <= 0.0 ? 0u : static_cast<uint32_t>(ms);
}
