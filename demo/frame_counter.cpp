#include "demo/frame_counter.h"

FrameCounter::FrameCounter(uint32_t startTick) : m_startTick(startTick) {}

void FrameCounter::CountFrame(uint32_t tick)
{
    m_frames += 1;
    // Unsigned difference: correct across the tick count's wrap-around.
    m_now = static_cast<float>(tick - m_startTick) * 0.001f;
    if (m_now - m_lastUpdate > 1.0f) {
        m_framesPerSecond = static_cast<float>(m_frames) / (m_now - m_lastUpdate);
        m_frames = 0;
        m_lastUpdate = m_now;
    }
}
