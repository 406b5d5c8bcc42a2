// A named, invisible transform: moved by its node, never drawn; skin bones
// may follow it.
#pragma once

#include <cstdint>

#include "scene/scene_object.h"

class CHelper : public CSceneObject {
public:
    CHelper();

    int Prepare(IDirect3DDevice8* device) override;
    void Draw(IDirect3DDevice8* device) override;

    int32_t subtype;    // as read; unused
    D3DVECTOR vector1;  // as read, not converted; unused
    D3DVECTOR vector2;  // as read, not converted; unused
};
