// The show opened for a program that draws it without showing it or playing
// it (a recorder, a soak check): offscreen, silent, on a clock of its own.
#pragma once

class DemoClock;
class MusicStream;

// Draws offscreen unless SDL_VIDEODRIVER says otherwise and plays to a silent
// device, then opens the show in the working directory as the player does,
// in a window of width x height, with the demo manager on `clock`. The music
// is only opened, for its length. Returns it; null after the player's
// messages when the show cannot start or its music cannot be opened, with
// everything made released.
MusicStream* OpenOffscreenShow(unsigned width, unsigned height, DemoClock* clock);

// Passes on the waiting window messages (the window procedure keeps the
// device layer informed); false once a quit was asked for (the window was
// closed).
bool PumpShowMessages();
