#include "platform/web/canvas_video.h"

#include <emscripten/html5.h>

#include <SDL.h>

struct SDL_Window {
    int unused = 0;
};

namespace {

constexpr char kCanvas[] = "#canvas";
// The desktop the Direct3D stand-in asks for: 32-bit colour.
constexpr Uint32 kPixelFormatRgb888 = 0x16161804;

SDL_Window g_canvas;
bool g_preservePicture = false;
EMSCRIPTEN_WEBGL_CONTEXT_HANDLE g_current = 0;

} // namespace

SDL_Window* CanvasWindow()
{
    return &g_canvas;
}

void SetCanvasPreservesPicture(bool preserve)
{
    g_preservePicture = preserve;
}

int SDL_GL_SetAttribute(SDL_GLattr, int)
{
    return 0;
}

SDL_GLContext SDL_GL_CreateContext(SDL_Window* window)
{
    if (window != &g_canvas) {
        return nullptr;
    }
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    // The device draws into framebuffers of its own and copies the finished
    // picture to the canvas, which needs neither depth nor multisampling.
    attributes.alpha = false;
    attributes.depth = false;
    attributes.stencil = false;
    attributes.antialias = false;
    attributes.preserveDrawingBuffer = g_preservePicture;
    attributes.failIfMajorPerformanceCaveat = false;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(kCanvas, &attributes);
    if (context <= 0) {
        return nullptr;
    }
    return reinterpret_cast<SDL_GLContext>(static_cast<intptr_t>(context));
}

void SDL_GL_DeleteContext(SDL_GLContext context)
{
    const auto handle = static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(reinterpret_cast<intptr_t>(context));
    if (handle > 0) {
        if (g_current == handle) {
            g_current = 0;
        }
        emscripten_webgl_destroy_context(handle);
    }
}

SDL_GLContext SDL_GL_GetCurrentContext()
{
    return reinterpret_cast<SDL_GLContext>(static_cast<intptr_t>(g_current));
}

int SDL_GL_MakeCurrent(SDL_Window*, SDL_GLContext context)
{
    const auto handle = static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(reinterpret_cast<intptr_t>(context));
    if (emscripten_webgl_make_context_current(handle) != EMSCRIPTEN_RESULT_SUCCESS) {
        return -1;
    }
    g_current = handle;
    return 0;
}

void SDL_GL_GetDrawableSize(SDL_Window*, int* width, int* height)
{
    if (emscripten_get_canvas_element_size(kCanvas, width, height) != EMSCRIPTEN_RESULT_SUCCESS) {
        *width = 0;
        *height = 0;
    }
}

// The browser shows each frame when control goes back to it.
int SDL_GL_SetSwapInterval(int)
{
    return 0;
}

void SDL_GL_SwapWindow(SDL_Window*) {}

Uint32 SDL_GetWindowFlags(SDL_Window*)
{
    return SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | SDL_WINDOW_INPUT_FOCUS;
}

int SDL_GetWindowDisplayIndex(SDL_Window*)
{
    return 0;
}

int SDL_GetDisplayBounds(int, SDL_Rect* rect)
{
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(&g_canvas, &width, &height);
    *rect = SDL_Rect{0, 0, width, height};
    return 0;
}

int SDL_GetDesktopDisplayMode(int, SDL_DisplayMode* mode)
{
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(&g_canvas, &width, &height);
    *mode = SDL_DisplayMode{kPixelFormatRgb888, width, height, 60, nullptr};
    return 0;
}

// The page decides the canvas's place, size and full screen.
void SDL_SetWindowPosition(SDL_Window*, int, int) {}
void SDL_SetWindowSize(SDL_Window*, int, int) {}
int SDL_SetWindowFullscreen(SDL_Window*, Uint32)
{
    return 0;
}
void SDL_ShowWindow(SDL_Window*) {}
