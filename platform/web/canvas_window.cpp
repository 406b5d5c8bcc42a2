// The window-system stand-in of the browser build: one window, the page's
// canvas, with the same message queue as the desktop stand-in. The page
// hands keys over through ZoltWebKey; the window is the active application
// from its creation on (the browser stops drawing a hidden page by itself).
#include <emscripten/emscripten.h>

#include <memory>
#include <vector>

#include "platform/web/canvas_video.h"
#include "platform/web/canvas_window.h"
#include "platform/win32/window.h"
#include "platform/win32/window_messages.h"

struct ZoltWindow {
    WNDPROC proc = nullptr;
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    bool alive = true;
};

struct ZoltInstance {
    int unused = 0;
};

namespace {

char g_iconSentinel;
char g_cursorSentinel;
char g_brushSentinel;
ZoltInstance g_instance;

struct WindowSystem {
    WindowClasses classes;
    std::vector<std::unique_ptr<ZoltWindow>> windows;
    WindowMessages messages;
    int cursorCount = 0;
    bool failCreate = false;
};

WindowSystem& ws()
{
    static WindowSystem system;
    return system;
}

bool isLive(HWND window)
{
    for (const auto& w : ws().windows) {
        if (w.get() == window) {
            return w->alive;
        }
    }
    return false;
}

LRESULT callProc(const MSG& msg)
{
    if (!isLive(msg.hwnd) || msg.hwnd->proc == nullptr) {
        return 0;
    }
    return msg.hwnd->proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

HWND firstLiveWindow()
{
    for (const auto& w : ws().windows) {
        if (w->alive) {
            return w.get();
        }
    }
    return nullptr;
}

} // namespace

void ZoltWebKey(int character)
{
    HWND window = firstLiveWindow();
    if (window != nullptr && character > 0 && character < 128) {
        ws().messages.Post(window, WM_CHAR, static_cast<WPARAM>(character), 0);
    }
}

bool ZoltVideoInit()
{
    return true;
}

bool ZoltHeadless()
{
    return false;
}

ATOM RegisterClassA(const WNDCLASSA* windowClass)
{
    return ws().classes.Register(windowClass);
}

BOOL UnregisterClassA(const char* className, HINSTANCE)
{
    return ws().classes.Unregister(className);
}

HWND CreateWindowExA(DWORD, const char* className, const char*, DWORD, int x, int y, int width, int height, HWND,
                     HMENU, HINSTANCE, void*)
{
    if (ws().failCreate || className == nullptr || firstLiveWindow() != nullptr) {
        return nullptr;
    }
    const WNDCLASSA* found = ws().classes.Find(className);
    if (found == nullptr || width <= 0 || height <= 0) {
        return nullptr;
    }
    auto window = std::make_unique<ZoltWindow>();
    window->proc = found->lpfnWndProc;
    window->width = width;
    window->height = height;
    window->x = x;
    window->y = y;
    ZoltWindow* handle = window.get();
    ws().windows.push_back(std::move(window));
    ws().messages.Send(handle, WM_ACTIVATEAPP, 1, 0);
    return handle;
}

BOOL ShowWindow(HWND window, int)
{
    return isLive(window) ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window)
{
    return isLive(window) ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND window)
{
    if (!isLive(window)) {
        return FALSE;
    }
    callProc(WindowMessages::Make(window, WM_DESTROY, 0, 0));
    window->alive = false;
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    return isLive(window) ? TRUE : FALSE;
}

BOOL GetClientRect(HWND window, RECT* rect)
{
    if (!isLive(window) || rect == nullptr) {
        return FALSE;
    }
    *rect = RECT{0, 0, window->width, window->height};
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point)
{
    if (!isLive(window) || point == nullptr) {
        return FALSE;
    }
    point->x += window->x;
    point->y += window->y;
    return TRUE;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    ws().messages.DeliverSent(callProc);
    return ws().messages.Peek(message, window, filterMin, filterMax, removeFlags);
}

BOOL TranslateMessage(const MSG* message)
{
    return ws().messages.Translate(message);
}

LRESULT DispatchMessageA(const MSG* message)
{
    return message != nullptr ? callProc(*message) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    }
    return 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return callProc(WindowMessages::Make(window, message, wParam, lParam));
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window != nullptr && !isLive(window)) {
        return FALSE;
    }
    if (message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(wParam));
        return TRUE;
    }
    ws().messages.Post(window, message, wParam, lParam);
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    ws().messages.PostQuit(exitCode);
}

// A page cannot wait on its own thread; the caller polls again.
BOOL WaitMessage()
{
    return TRUE;
}

int ShowCursor(BOOL show)
{
    ws().cursorCount += show ? 1 : -1;
    return ws().cursorCount;
}

DWORD GetTickCount()
{
    return static_cast<DWORD>(static_cast<uint64_t>(emscripten_get_now()));
}

HINSTANCE GetModuleHandleA(const char*)
{
    return &g_instance;
}

HICON LoadIconA(HINSTANCE, const char*)
{
    return &g_iconSentinel;
}

HCURSOR LoadCursorA(HINSTANCE, const char*)
{
    return &g_cursorSentinel;
}

HBRUSH GetStockObject(int)
{
    return &g_brushSentinel;
}

SDL_Window* ZoltSdlWindow(HWND window)
{
    return isLive(window) || window != nullptr ? CanvasWindow() : nullptr;
}

bool ZoltWindowMinimized(HWND)
{
    return false;
}

void ZoltSetWindowMinimized(HWND, bool) {}

void ZoltForceRegisterClassFailure(bool fail)
{
    ws().classes.failRegister = fail;
}

void ZoltForceCreateWindowFailure(bool fail)
{
    ws().failCreate = fail;
}

int ZoltQuitCode()
{
    return ws().messages.LastQuitCode();
}

void ZoltResetWindowSystem()
{
    ws() = WindowSystem();
}
