// The few SDL video calls the Direct3D stand-in makes, over the page's
// canvas and its WebGL 2 context (the browser build has no SDL). One window,
// the canvas; one context at a time; presenting is the browser's business.
#pragma once

#include <cstdint>

typedef uint32_t Uint32;

struct SDL_Window;
typedef void* SDL_GLContext;

struct SDL_Rect {
    int x, y, w, h;
};

struct SDL_DisplayMode {
    Uint32 format;
    int w;
    int h;
    int refresh_rate;
    void* driverdata;
};

#define SDL_BITSPERPIXEL(format) (((format) >> 8) & 0xFF)

enum : Uint32 {
    SDL_WINDOW_FULLSCREEN = 0x00000001,
    SDL_WINDOW_OPENGL = 0x00000002,
    SDL_WINDOW_SHOWN = 0x00000004,
    SDL_WINDOW_INPUT_FOCUS = 0x00000200,
    SDL_WINDOW_FULLSCREEN_DESKTOP = SDL_WINDOW_FULLSCREEN | 0x00001000,
};

enum SDL_GLattr {
    SDL_GL_CONTEXT_MAJOR_VERSION = 17,
    SDL_GL_CONTEXT_MINOR_VERSION = 18,
    SDL_GL_CONTEXT_PROFILE_MASK = 21,
};
constexpr int SDL_GL_CONTEXT_PROFILE_CORE = 1;

int SDL_GL_SetAttribute(SDL_GLattr attribute, int value);
SDL_GLContext SDL_GL_CreateContext(SDL_Window* window);
void SDL_GL_DeleteContext(SDL_GLContext context);
SDL_GLContext SDL_GL_GetCurrentContext();
int SDL_GL_MakeCurrent(SDL_Window* window, SDL_GLContext context);
void SDL_GL_GetDrawableSize(SDL_Window* window, int* width, int* height);
int SDL_GL_SetSwapInterval(int interval);
void SDL_GL_SwapWindow(SDL_Window* window);
Uint32 SDL_GetWindowFlags(SDL_Window* window);
int SDL_GetWindowDisplayIndex(SDL_Window* window);
int SDL_GetDisplayBounds(int display, SDL_Rect* rect);
int SDL_GetDesktopDisplayMode(int display, SDL_DisplayMode* mode);
void SDL_SetWindowPosition(SDL_Window* window, int x, int y);
void SDL_SetWindowSize(SDL_Window* window, int width, int height);
int SDL_SetWindowFullscreen(SDL_Window* window, Uint32 flags);
void SDL_ShowWindow(SDL_Window* window);
