// The preview's clock: the music's play position while the show plays, as
// in the player, and a fixed time while it is paused or while the frame
// right after a jump is drawn (so that frame shows exactly the time jumped
// to). The tick count is the system's.
#pragma once

#include "demo/demo_clock.h"

class MusicStream;

class PreviewClock : public DemoClock {
public:
    void SetMusic(MusicStream* music) { m_music = music; }
    void Hold(double ms)
    {
        m_held = true;
        m_heldMs = ms;
    }
    void Release() { m_held = false; }
    bool Held() const { return m_held; }

    double GetMusicTimeMs() override;
    uint32_t GetTickCount() override;

private:
    MusicStream* m_music = nullptr;
    bool m_held = false;
    double m_heldMs = 0.0;
};
