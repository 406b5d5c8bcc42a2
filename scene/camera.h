// A target camera: an eye point that looks at its CTargetObject. The scene
// views through the first camera of its list.
#pragma once

#include "scene/scene_object.h"

class CCamera : public CSceneObject {
public:
    CCamera();
    // Destroys the target too.
    ~CCamera() override;

    // Prepare draws once and returns 0.
    int Prepare(IDirect3DDevice8* device) override;
    // Sets the projection and the view (eye at the position, looking at the
    // target, turned by the roll) and keeps the view in the world matrix.
    void Draw(IDirect3DDevice8* device) override;

    CTargetObject* target; // owned; null until read or bound
    float parameter1;      // as read; unused
    float parameter2;      // as read; unused
    float fieldOfView;     // radians

private:
    // The last view and projection that could be built: a frame whose eye
    // sits on its target (or whose lens is degenerate) keeps them.
    D3DMATRIX m_lastView;
    D3DMATRIX m_lastProjection;
    bool m_hasView;
};

// The view from `eye` towards `target` turned by `roll` radians about the
// viewing direction. False (out untouched) when there is no direction to
// look along or the result is not finite.
bool BuildCameraView(const D3DVECTOR& eye, const D3DVECTOR& target, float roll, D3DMATRIX* out);
