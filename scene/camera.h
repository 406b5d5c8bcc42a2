// A target camera: an eye point that looks at its CTargetObject. The scene
// views through the first camera of its list.
#pragma once

#include "scene/scene_object.h"

class CCamera : public CSceneObject {
public:
    CCamera();
    // Destroys the target too.
    ~CCamera() override;

    // Sets the view and projection; drawn by a later step (does nothing yet).
    int Prepare(IDirect3DDevice8* device) override;
    void Draw(IDirect3DDevice8* device) override;

    CTargetObject* target; // owned; null until read or bound
    float parameter1;      // as read; unused
    float parameter2;      // as read; unused
    float fieldOfView;     // radians
};
