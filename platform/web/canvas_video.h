// The canvas behind the browser build's one window.
#pragma once

struct SDL_Window;

// The window object of the canvas (the page has exactly one).
SDL_Window* CanvasWindow();

// Whether the WebGL context keeps its picture after it is shown, so that the
// page can copy a still frame out of the canvas. Set before the device is made.
void SetCanvasPreservesPicture(bool preserve);
