// Where a playing scene is seen from: the eye is the position of the first
// camera of its list, the target the position of that camera's target
// object. The skybox behind the scene turns by them.
#pragma once

#include "platform/d3d8/d3d8_types.h"

class CScene;

// Both stay (0, 0, 0) without a scene or when the scene has no camera; the
// target stays there when the camera has no target object.
void GetSceneCamera(const CScene* scene, D3DVECTOR* eye, D3DVECTOR* target);
