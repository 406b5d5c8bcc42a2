// The show window's procedure: Escape and closing end the show, activation
// gates rendering and restores a lost device, moves keep the device layer's
// client rectangle current.
#pragma once

#include "platform/win32/win32_types.h"

LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
