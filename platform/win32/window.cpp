#include "platform/win32/window.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "platform/win32/window_messages.h"

// Handles point at these records; they live until the window system is reset
// so that a handle stays a valid pointer (and an OpenGL context made on the
// SDL window stays usable) after DestroyWindow.
struct ZoltWindow {
    SDL_Window* sdl = nullptr;
    Uint32 sdlId = 0;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    bool alive = true;
    bool minimized = false;
};

struct ZoltInstance {
    int unused = 0;
};

namespace {

// User event codes of the stand-in itself.
constexpr Sint32 kSetMinimized = 1;
constexpr Sint32 kSetRestored = 2;

// Sentinels for the resources a window class names; their values only need
// to be distinct and non-null.
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
    Uint32 userEventType = 0;
};

WindowSystem& ws()
{
    static WindowSystem system;
    return system;
}

ZoltWindow* findBySdlId(Uint32 id)
{
    for (auto& w : ws().windows) {
        if (w->alive && w->sdlId == id) {
            return w.get();
        }
    }
    return nullptr;
}

ZoltWindow* firstLiveWindow()
{
    for (auto& w : ws().windows) {
        if (w->alive) {
            return w.get();
        }
    }
    return nullptr;
}

bool isLive(HWND window)
{
    for (auto& w : ws().windows) {
        if (w.get() == window) {
            return w->alive;
        }
    }
    return false;
}

void send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ws().messages.Send(window, message, wParam, lParam);
}

void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ws().messages.Post(window, message, wParam, lParam);
}

LPARAM packPoint(int x, int y)
{
    const auto low = static_cast<uint32_t>(static_cast<uint16_t>(x));
    const auto high = static_cast<uint32_t>(static_cast<uint16_t>(y));
    return static_cast<LPARAM>(static_cast<int32_t>(low | (high << 16)));
}

void setMinimized(ZoltWindow* window, bool minimized)
{
    if (window->minimized == minimized) {
        return;
    }
    window->minimized = minimized;
    // A minimised full-screen program is no longer the active application.
    send(window, WM_ACTIVATEAPP, minimized ? 0 : 1, 0);
}

void translateWindowEvent(const SDL_WindowEvent& event)
{
    ZoltWindow* window = findBySdlId(event.windowID);
    if (window == nullptr) {
        return;
    }
    switch (event.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        send(window, WM_ACTIVATEAPP, 1, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        send(window, WM_ACTIVATEAPP, 0, 0);
        break;
    case SDL_WINDOWEVENT_MOVED:
        send(window, WM_MOVE, 0, packPoint(event.data1, event.data2));
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        setMinimized(window, true);
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        setMinimized(window, false);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        send(window, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

// The cursor and page keys, which have no character.
int navigationKey(SDL_Keycode key)
{
    switch (key) {
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_END:
        return VK_END;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    default:
        return 0;
    }
}

void translateKey(const SDL_KeyboardEvent& event)
{
    ZoltWindow* window = findBySdlId(event.windowID);
    if (window == nullptr) {
        window = firstLiveWindow();
    }
    if (window == nullptr) {
        return;
    }
    const SDL_Keycode key = event.keysym.sym;
    // Virtual keys of the ASCII range are the upper-case character codes; the
    // character itself rides in lParam for TranslateMessage.
    WPARAM virtualKey = 0;
    if (key == SDLK_ESCAPE) {
        virtualKey = VK_ESCAPE;
    } else if (const int navigation = navigationKey(key); navigation != 0) {
        virtualKey = static_cast<WPARAM>(navigation);
    } else if (key >= 'a' && key <= 'z') {
        virtualKey = static_cast<WPARAM>(key - 'a' + 'A');
    } else if (key > 0 && key < 128) {
        virtualKey = static_cast<WPARAM>(key);
    } else {
        return;
    }
    const LPARAM character = (key > 0 && key < 128) ? static_cast<LPARAM>(key) : 0;
    post(window, event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, virtualKey, character);
}

// Turns every pending SDL event into the message Windows would produce.
void pumpEvents()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        return;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        if (event.type == SDL_WINDOWEVENT) {
            translateWindowEvent(event.window);
        } else if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
            translateKey(event.key);
        } else if (event.type == SDL_QUIT) {
            // An interrupt or the session ending closes the show's window.
            if (ZoltWindow* window = firstLiveWindow()) {
                send(window, WM_CLOSE, 0, 0);
            }
        } else if (ws().userEventType != 0 && event.type == ws().userEventType) {
            auto* window = static_cast<ZoltWindow*>(event.user.data1);
            if (isLive(window)) {
                setMinimized(window, event.user.code == kSetMinimized);
            }
        }
    }
}

LRESULT callProc(const MSG& msg)
{
    if (msg.hwnd == nullptr || !isLive(msg.hwnd) || msg.hwnd->proc == nullptr) {
        return 0;
    }
    return msg.hwnd->proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

} // namespace

bool ZoltVideoInit()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        return true;
    }
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    const bool noDisplay = (display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0');
    if (noDisplay && (chosen == nullptr || *chosen == '\0')) {
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        // The desktop's driver failed (no server behind DISPLAY, say): draw
        // offscreen rather than not at all.
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            return false;
        }
    }
    // Load the OpenGL library once for the life of the process. Otherwise SDL
    // unloads it with the last window and loads it again with the next, and
    // the driver's own allocations of each load are lost.
    SDL_GL_LoadLibrary(nullptr);
    if (ws().userEventType == 0) {
        const Uint32 type = SDL_RegisterEvents(1);
        ws().userEventType = type == static_cast<Uint32>(-1) ? 0 : type;
    }
    return true;
}

bool ZoltHeadless()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) {
        return true;
    }
    return std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

ATOM RegisterClassA(const WNDCLASSA* windowClass)
{
    return ws().classes.Register(windowClass);
}

BOOL UnregisterClassA(const char* className, HINSTANCE instance)
{
    (void)instance;
    return ws().classes.Unregister(className);
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param)
{
    (void)exStyle;
    (void)parent;
    (void)menu;
    (void)instance;
    (void)param;
    if (ws().failCreate || className == nullptr) {
        return nullptr;
    }
    const WNDCLASSA* found = ws().classes.Find(className);
    if (found == nullptr) {
        return nullptr;
    }
    if (width <= 0 || height <= 0 || !ZoltVideoInit()) {
        return nullptr;
    }

    // The device draws through an OpenGL 3.3 core context into its own
    // framebuffers, so the window needs neither depth nor stencil.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);

    Uint32 flags = SDL_WINDOW_OPENGL;
    flags |= (style & WS_VISIBLE) != 0 ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
    if ((style & WS_CAPTION) == 0) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    SDL_Window* sdl = SDL_CreateWindow(windowName != nullptr ? windowName : "", x, y, width, height, flags);
    if (sdl == nullptr) {
        return nullptr;
    }

    auto window = std::make_unique<ZoltWindow>();
    window->sdl = sdl;
    window->sdlId = SDL_GetWindowID(sdl);
    window->proc = found->lpfnWndProc;
    window->style = style;
    ZoltWindow* handle = window.get();
    ws().windows.push_back(std::move(window));

    if (found->hCursor == &g_cursorSentinel && !ZoltHeadless()) {
        static SDL_Cursor* cross = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_CROSSHAIR);
        if (cross != nullptr) {
            SDL_SetCursor(cross);
        }
    }
    // The one window of the program is the active application as soon as it
    // exists, with or without a display that could give it focus.
    send(handle, WM_ACTIVATEAPP, 1, 0);
    return handle;
}

BOOL ShowWindow(HWND window, int command)
{
    if (!isLive(window)) {
        return FALSE;
    }
    const bool wasVisible = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
    switch (command) {
    case SW_HIDE:
        SDL_HideWindow(window->sdl);
        break;
    case SW_MINIMIZE:
        SDL_MinimizeWindow(window->sdl);
        setMinimized(window, true);
        break;
    case SW_RESTORE:
        SDL_RestoreWindow(window->sdl);
        setMinimized(window, false);
        break;
    default:
        SDL_ShowWindow(window->sdl);
        break;
    }
    return wasVisible ? TRUE : FALSE;
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
    MSG destroy = WindowMessages::Make(window, WM_DESTROY, 0, 0);
    callProc(destroy);
    window->alive = false;
    // The SDL window itself stays (hidden) until the window system is reset:
    // a device made on it is released after the window is gone, and its
    // OpenGL context must still be usable then.
    SDL_HideWindow(window->sdl);
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
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(window->sdl, &w, &h);
    *rect = RECT{0, 0, w, h};
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point)
{
    if (!isLive(window) || point == nullptr) {
        return FALSE;
    }
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(window->sdl, &x, &y);
    point->x += x;
    point->y += y;
    return TRUE;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    pumpEvents();
    ws().messages.DeliverSent(callProc);
    return ws().messages.Peek(message, window, filterMin, filterMax, removeFlags);
}

BOOL TranslateMessage(const MSG* message)
{
    return ws().messages.Translate(message);
}

LRESULT DispatchMessageA(const MSG* message)
{
    if (message == nullptr) {
        return 0;
    }
    return callProc(*message);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    (void)lParam;
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
    post(window, message, wParam, lParam);
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    ws().messages.PostQuit(exitCode);
}

BOOL WaitMessage()
{
    // Sleeps until a message is there to be taken. Sent messages wait for the
    // next PeekMessageA, so a window procedure waiting here is not re-entered.
    for (;;) {
        pumpEvents();
        if (ws().messages.Waiting()) {
            return TRUE;
        }
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
            SDL_Delay(10);
            continue;
        }
        SDL_WaitEventTimeout(nullptr, 10);
    }
}

int ShowCursor(BOOL show)
{
    ws().cursorCount += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        SDL_ShowCursor(ws().cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    }
    return ws().cursorCount;
}

DWORD GetTickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms); // wraps every 49.7 days, as on Windows
}

HINSTANCE GetModuleHandleA(const char* moduleName)
{
    return moduleName == nullptr ? &g_instance : nullptr;
}

HICON LoadIconA(HINSTANCE instance, const char* name)
{
    (void)instance;
    (void)name;
    return &g_iconSentinel;
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name)
{
    (void)instance;
    (void)name;
    return &g_cursorSentinel;
}

HBRUSH GetStockObject(int object)
{
    (void)object;
    return &g_brushSentinel;
}

SDL_Window* ZoltSdlWindow(HWND window)
{
    for (auto& w : ws().windows) {
        if (w.get() == window) {
            return w->sdl;
        }
    }
    return nullptr;
}

bool ZoltWindowMinimized(HWND window)
{
    pumpEvents();
    return isLive(window) && window->minimized;
}

void ZoltSetWindowMinimized(HWND window, bool minimized)
{
    if (!isLive(window)) {
        return;
    }
    if (ws().userEventType == 0) {
        setMinimized(window, minimized);
        return;
    }
    // Through SDL's queue, so that this may be called from any thread.
    SDL_Event event{};
    event.type = ws().userEventType;
    event.user.code = minimized ? kSetMinimized : kSetRestored;
    event.user.data1 = window;
    SDL_PushEvent(&event);
}

void ZoltForceRegisterClassFailure(bool fail)
{
    ws().classes.failRegister = fail;
}

void ZoltForceCreateWindowFailure(bool fail)
{
    ws().failCreate = fail;
}

SHORT GetKeyState(int virtualKey)
{
    if (virtualKey != VK_SHIFT || SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        return 0;
    }
    return (SDL_GetModState() & KMOD_SHIFT) != 0 ? static_cast<SHORT>(0x8000) : 0;
}

int ZoltQuitCode()
{
    return ws().messages.LastQuitCode();
}

void ZoltResetWindowSystem()
{
    WindowSystem& system = ws();
    for (auto& w : system.windows) {
        if (w->sdl != nullptr) {
            SDL_DestroyWindow(w->sdl);
        }
    }
    system.windows.clear();
    system.classes.Clear();
    system.messages.Clear();
    system.cursorCount = 0;
    system.failCreate = false;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        SDL_Event event;
        while (SDL_PollEvent(&event) != 0) {
        }
    }
}
