// How a playing effect plays its scene in a loop: the frame time goes back
// to frame 0 once it reaches the scene's end frame, or when it lies before
// 0; each frame the scene is posed at that time and drawn.
#pragma once

#include <cstdint>

class CScene;
class IDirect3DDevice8;

inline bool LoopsToFirstFrame(float frameTime, int32_t endFrame)
{
    return frameTime >= static_cast<float>(endFrame) || frameTime < 0.0f;
}

inline float LoopFrameTime(float frameTime, int32_t endFrame)
{
    return LoopsToFirstFrame(frameTime, endFrame) ? 0.0f : frameTime;
}

// Nodes, modifiers and animated materials at `frameTime`, then the scene
// drawn on `device` (nothing drawn without one).
void PoseAndDrawScene(CScene* scene, float frameTime, IDirect3DDevice8* device);
