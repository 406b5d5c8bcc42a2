// The process-wide state of the running show, shared by the entry, its main
// loop and the window procedure. All of it is zero or null before start-up.
#pragma once

#include "platform/win32/win32_types.h"

class DXDevice;
class DemoManager;

struct ShowState {
    // The show's window, owner of every message box once it exists.
    HWND window = nullptr;
    // Created first, destroyed last.
    DXDevice* device = nullptr;
    // Created after the device layer, destroyed before it.
    DemoManager* manager = nullptr;
    // 1 once the script has loaded, just before the music starts. Gates move
    // and activation handling and frame rendering.
    int running = 0;
    // The last wParam of WM_ACTIVATEAPP: frames render only while it is 1.
    int active = 0;
};

ShowState& TheShow();
