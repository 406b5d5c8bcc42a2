// Where the demo manager takes its time from. The player sets none: a frame's
// time is then the music's play position, and the end of the show and the
// frame rate are measured with the system tick count. A recorder that must
// draw every frame at an exact music time, whatever the machine's speed,
// gives a clock that derives both from the frame number instead.
#pragma once

#include <cstdint>

class DemoClock {
public:
    virtual ~DemoClock() = default;
    // The music position of the frame about to be drawn, in milliseconds.
    virtual double GetMusicTimeMs() = 0;
    // A millisecond tick count standing in for the system's.
    virtual uint32_t GetTickCount() = 0;
};
