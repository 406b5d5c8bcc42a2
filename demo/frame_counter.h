// Frames-per-second counter. The rate is recomputed at most once a second
// from the frames drawn since the previous computation; it reads 0 until more
// than a second has passed since the counter started.
#pragma once

#include <cstdint>

class FrameCounter {
public:
    explicit FrameCounter(uint32_t startTick);

    // Counts the frame being drawn; tick is the system tick count in ms.
    void CountFrame(uint32_t tick);

    float GetFramesPerSecond() const { return m_framesPerSecond; }
    float GetNow() const { return m_now; }
    int32_t GetFrames() const { return m_frames; }

private:
    uint32_t m_startTick;
    float m_framesPerSecond = 0.0f;
    float m_now = 0.0f;
    float m_lastUpdate = 0.0f;
    int32_t m_frames = 0;
};
