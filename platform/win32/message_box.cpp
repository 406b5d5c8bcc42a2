#include "platform/win32/message_box.h"

#include "platform/report/report_line.h"
#include "platform/win32/window.h"

#include <SDL.h>

#include <utility>

namespace {

MessageBoxHook& hookSlot()
{
    static MessageBoxHook hook;
    return hook;
}

bool& echoSlot()
{
    static bool echo = true;
    return echo;
}

// A real box needs a video driver that has a screen to put it on.
bool displayAvailable()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) {
        return false;
    }
    const std::string name(driver);
    return name != "offscreen" && name != "dummy" && name != "evdev";
}

} // namespace

void SetMessageBoxHook(MessageBoxHook hook)
{
    hookSlot() = std::move(hook);
}

void SetMessageBoxEcho(bool enabled)
{
    echoSlot() = enabled;
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type)
{
    if (echoSlot()) {
        WriteReportLine(caption, text);
    }

    if (hookSlot()) {
        hookSlot()(MessageBoxRecord{caption != nullptr ? caption : "", text != nullptr ? text : "", type, owner});
        return IDOK;
    }
    if (!displayAvailable()) {
        return IDOK;
    }
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((type & 0xF0u) == MB_ICONERROR) {
        flags = SDL_MESSAGEBOX_ERROR;
    } else if ((type & 0xF0u) == MB_ICONWARNING) {
        flags = SDL_MESSAGEBOX_WARNING;
    }
    // Owned boxes are modal to the show's window.
    SDL_Window* parent = owner != nullptr && IsWindow(owner) ? ZoltSdlWindow(owner) : nullptr;
    SDL_ShowSimpleMessageBox(flags, caption != nullptr ? caption : "", text != nullptr ? text : "", parent);
    return IDOK;
}
