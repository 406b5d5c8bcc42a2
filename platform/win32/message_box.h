// Modal message boxes. Every box is also written as one line to standard
// error (FormatReportLine: "title: text", tabs and line breaks escaped) so
// that a run without a display still tells the user what happened; a real
// SDL box is shown only when a display exists. Tests install a hook to
// capture boxes.
#pragma once

#include <functional>
#include <string>

#include "platform/win32/win32_types.h"

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

struct MessageBoxRecord {
    std::string title;
    std::string text;
    UINT type;
    HWND owner = nullptr;
};

// While a hook is installed, boxes go to it instead of to the screen (the
// standard-error line is still written). Pass nullptr to remove it.
using MessageBoxHook = std::function<void(const MessageBoxRecord&)>;
void SetMessageBoxHook(MessageBoxHook hook);

// Whether boxes are also written to standard error (on by default). Programs
// that show thousands of boxes on purpose, such as the fuzzing harnesses,
// turn it off together with a hook.
void SetMessageBoxEcho(bool enabled);
