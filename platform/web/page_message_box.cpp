// Message boxes of the browser build: each box goes to the page, which shows
// its title and text in the message panel and on the console. A box does
// not wait for the user; the engine goes on (or stops) as after a box that
// was confirmed at once.
#include <emscripten/emscripten.h>

#include <string>
#include <utility>

#include "platform/win32/message_box.h"

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

} // namespace

EM_JS(void, ShowPageMessage, (const char* title, const char* text, int error), {
    const show = Module["zoltMessage"];
    if (show) {
        show(UTF8ToString(title), UTF8ToString(text), error !== 0);
    } else {
        console.log(UTF8ToString(title) + ": " + UTF8ToString(text));
    }
});

void SetMessageBoxHook(MessageBoxHook hook)
{
    hookSlot() = std::move(hook);
}

void SetMessageBoxEcho(bool enabled)
{
    echoSlot() = enabled;
}

int MessageBoxA(HWND, const char* text, const char* caption, UINT type)
{
    const char* title = caption != nullptr ? caption : "";
    const char* body = text != nullptr ? text : "";
    if (hookSlot()) {
        hookSlot()(MessageBoxRecord{title, body, type});
        return IDOK;
    }
    if (echoSlot()) {
        // Warnings are told, not taken as the show's failure.
        ShowPageMessage(title, body, (type & MB_ICONWARNING) == MB_ICONWARNING ? 0 : 1);
    }
    return IDOK;
}
