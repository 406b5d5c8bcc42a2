// Modal message boxes. Every box is also written as one line to standard
// error ("title: text", tabs and line breaks escaped as \t and \n) so that a
// run without a display still tells the user what happened; a real SDL box is
// shown only when a display exists. Tests install a hook to capture boxes.
#pragma once

#include <functional>
#include <string>

#include "platform/win32/win32_types.h"

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

struct MessageBoxRecord {
    std::string title;
    std::string text;
    UINT type;
};

// While a hook is installed, boxes go to it instead of to the screen (the
// standard-error line is still written). Pass nullptr to remove it.
using MessageBoxHook = std::function<void(const MessageBoxRecord&)>;
void SetMessageBoxHook(MessageBoxHook hook);

// Whether boxes are also written to standard error (on by default). Programs
// that show thousands of boxes on purpose, such as the fuzzing harnesses,
// turn it off together with a hook.
void SetMessageBoxEcho(bool enabled);

// The standard-error form of a box: the title, ": ", then the text with each
// tab written as \t and each line break as \n.
std::string FormatMessageBoxLine(const char* caption, const char* text);
