// Reading rendered pixels back, for tests and the offline capture tool.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d8/d3d8.h"

// The device's back buffer as it would be presented next: 0xAARRGGBB per
// pixel, top row first, width * height pixels. False on a null argument.
bool ZoltReadBackBuffer(IDirect3DDevice8* device, std::vector<uint32_t>* pixels, UINT* width, UINT* height);

// A render-target surface (the back buffer, a render-target texture level or
// a surface from CreateRenderTarget), in the same layout. False for depth
// surfaces and null arguments.
bool ZoltReadSurface(IDirect3DSurface8* surface, std::vector<uint32_t>* pixels, UINT* width, UINT* height);

// Waits until the rasteriser has finished everything drawn so far on the
// device, so that a timing of a frame counts its drawing and not only its
// submission. False on a null or foreign device.
bool ZoltFinishDrawing(IDirect3DDevice8* device);
