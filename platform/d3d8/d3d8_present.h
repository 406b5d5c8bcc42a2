// Where Present puts the back buffer in the window.
#pragma once

namespace zolt_d3d {

struct PixelRect {
    int x0, y0, x1, y1; // top-down, [x0, x1) x [y0, y1)
};

// The largest rectangle of the source's aspect that fits the destination,
// centred (the rest of the window shows black bars).
PixelRect FitPreservingAspect(int sourceWidth, int sourceHeight, int destWidth, int destHeight);

} // namespace zolt_d3d
