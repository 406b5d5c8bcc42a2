#include "app/offscreen_show.h"

#include <cstdlib>

#include "app/show_state.h"
#include "app/win_main.h"
#include "demo/demo_manager.h"
#include "gfx/dx_device.h"
#include "platform/win32/window.h"
#include "sound/music_stream.h"

MusicStream* OpenOffscreenShow(unsigned width, unsigned height, DemoClock* clock)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    ShowOpening opening;
    opening.width = width;
    opening.height = height;
    opening.fullScreen = false;
    opening.clock = clock;
    if (OpenShow(GetModuleHandleA(nullptr), opening) != 0) {
        return nullptr;
    }
    // Nobody sees a window of the offscreen driver: presenting to it would
    // only copy every frame for nothing.
    if (ZoltHeadless()) {
        ZoltSetPresentToWindow(TheShow().device->m_device, false);
    }
    // The music stream has told the user why it could not open; the player
    // ends its show at once in that case.
    MusicStream* music = TheShow().manager->GetMusic();
    if (ZoltQuitCode() != 0 || music == nullptr || !music->IsOpen()) {
        StopShow();
        return nullptr;
    }
    return music;
}

bool PumpShowMessages()
{
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}
