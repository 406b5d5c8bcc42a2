// The program's entry: start-up, the non-blocking main loop and shut-down of
// the show, in a fixed order. Each stage is its own operation so that
// tests can drive one pass at a time.
#pragma once

#include "platform/win32/win32_types.h"

class DemoClock;

// Runs the whole show from the working directory. Returns 0 after a show that
// ended by itself or by Escape or closing the window; 1 when start-up failed
// or a quit with a non-zero code was posted (the music could not be played).
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, char* commandLine, int showCommand);

// Start-up: registers the window class, creates the device layer (which opens
// the window), creates and initialises the demo manager, loads "Marble.Spt",
// starts the show and hides the cursor. 0 on success; 1 after the failing
// subsystem's message and the entry's own, with everything made released.
int StartShow(HINSTANCE instance);

// How a show is opened: the player asks for the full screen at 640 x 480 with
// the music's clock; a recorder for a window of its own size and a clock of
// its own.
struct ShowOpening {
    UINT width = 640;
    UINT height = 480;
    bool fullScreen = true;
    DemoClock* clock = nullptr;  // null: the music and the system tick count
};

// The loading part of start-up, shared with programs that play the show
// their own way: registers the window class, creates the device layer, the
// demo manager (on `opening.clock`) and loads "Marble.Spt" into TheShow(),
// with the same messages as the player. Neither starts the music nor sets
// the running flag. 0 on success; 1 with everything made released.
int OpenShow(HINSTANCE instance, const ShowOpening& opening);

enum class LoopPass {
    Continue,  // keep polling
    Quit,      // WM_QUIT arrived
    ShowOver   // the music's length has passed
};

// One pass of the main loop: handles one waiting message, or, when none is
// waiting and the show is running and active, ends the show if it is over or
// else renders one frame. On Quit, *quitCode receives the quit message's code.
LoopPass RunLoopPass(int* quitCode);

// Runs passes until the loop is left; returns the quit code (0 when the show
// ended by itself).
int RunMainLoop();

// Shut-down: destroys the demo manager, then the device layer, and shows the
// cursor again.
void StopShow();
