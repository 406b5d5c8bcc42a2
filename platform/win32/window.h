// The window-system stand-in: window classes, windows, a non-blocking message
// queue and the few user32/kernel32 services the engine calls, over SDL2.
// SDL events become the Windows messages the engine handles: the Escape key
// becomes WM_CHAR 27, focus gained and lost become WM_ACTIVATEAPP 1 and 0,
// window moves become WM_MOVE, closing the window becomes WM_CLOSE (whose
// default handling destroys the window, sending WM_DESTROY).
#pragma once

#include "platform/win32/win32_types.h"

struct SDL_Window;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef WORD ATOM;
typedef void* HICON;
typedef void* HCURSOR;
typedef void* HBRUSH;
typedef void* HMENU;

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

// Messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_OWNDC = 0x0020;

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000u;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000u;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

constexpr int IDC_CROSS = 32515;
constexpr int DKGRAY_BRUSH = 3;

constexpr int VK_SHIFT = 0x10;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_PRIOR = 0x21;  // Page Up
constexpr int VK_NEXT = 0x22;   // Page Down
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;

// user32 / kernel32 services.
ATOM RegisterClassA(const WNDCLASSA* windowClass);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL WaitMessage();

int ShowCursor(BOOL show);
// The state of a key as of the last message taken: the high bit set (a
// negative value) while it is down. Only VK_SHIFT is tracked.
SHORT GetKeyState(int virtualKey);
DWORD GetTickCount();

HINSTANCE GetModuleHandleA(const char* moduleName);
HICON LoadIconA(HINSTANCE instance, const char* name);
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HBRUSH GetStockObject(int object);

// ---- Stand-in services beyond user32 ---------------------------------------

// Starts SDL's video subsystem once: the desktop's driver when a display
// exists, SDL's offscreen driver otherwise (no DISPLAY or WAYLAND_DISPLAY, or
// the desktop driver fails). Returns false when no video driver works.
bool ZoltVideoInit();
// True when the windows live offscreen (no display).
bool ZoltHeadless();

// The SDL window behind a handle (created with SDL_WINDOW_OPENGL for an
// OpenGL 3.3 core context, hidden until shown), or null.
SDL_Window* ZoltSdlWindow(HWND window);
// True while the window is minimised (a full-screen device is then lost).
bool ZoltWindowMinimized(HWND window);
// Stand-in for minimising and restoring a window, as the user or the window
// manager would; tests use it to lose and regain a full-screen device.
void ZoltSetWindowMinimized(HWND window, bool minimized);

// Test hooks: make RegisterClassA or CreateWindowExA fail, as a system out
// of resources would.
void ZoltForceRegisterClassFailure(bool fail);
void ZoltForceCreateWindowFailure(bool fail);

// The exit code of the last WM_QUIT posted (0 when none was posted).
int ZoltQuitCode();
// Forgets every window, class and queued message (for tests that start the
// program's entry more than once in one process). Release every device made
// on the windows first: their SDL windows are destroyed here.
void ZoltResetWindowSystem();
