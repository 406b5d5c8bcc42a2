// The engine's two reporting operations. Both format into a 512-byte buffer
// (a message keeps within 511 characters) and show a box owned by the show's
// window; neither ends the program.
#pragma once

#include "platform/win32/win32_types.h"

int ShowError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ShowWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The owner of every later box; null until the window exists.
void SetErrorBoxOwner(HWND window);
HWND GetErrorBoxOwner();
