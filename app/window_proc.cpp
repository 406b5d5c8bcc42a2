#include "app/window_proc.h"

#include <cstdint>

#include "app/show_state.h"
#include "gfx/dx_device.h"
#include "platform/win32/window.h"

namespace {

constexpr WPARAM kEscape = 27;

int SignedLow16(LPARAM value)
{
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uintptr_t>(value) & 0xFFFFu));
}

int SignedHigh16(LPARAM value)
{
    return static_cast<int16_t>(static_cast<uint16_t>((static_cast<uintptr_t>(value) >> 16) & 0xFFFFu));
}

}  // namespace

ShowState& TheShow()
{
    static ShowState state;
    return state;
}

LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ShowState& show = TheShow();
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    case WM_MOVE:
        if (show.running && show.device != nullptr) {
            show.device->OnMove(SignedLow16(lParam), SignedHigh16(lParam));
        }
        break;
    case WM_ACTIVATEAPP:
        show.active = static_cast<int>(wParam);
        if (wParam != 0 && show.running && show.device != nullptr) {
            show.device->Restore();
        }
        break;
    case WM_CHAR:
        if (wParam == kEscape) {
            DestroyWindow(window);
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
