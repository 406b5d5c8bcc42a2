// The base of everything a scene holds in its object lists and a node can
// move: meshes, cameras, lights, shapes, helpers and the target points of
// cameras and lights.
#pragma once

#include <cstdint>

#include "math/engine_math.h"
#include "platform/d3d8/d3d8_types.h"

class IDirect3DDevice8;

class CSceneObject {
public:
    CSceneObject();
    // Frees the name.
    virtual ~CSceneObject();
    CSceneObject(const CSceneObject&) = delete;
    CSceneObject& operator=(const CSceneObject&) = delete;

    // 0 on success.
    virtual int Prepare(IDirect3DDevice8* device) = 0;
    virtual void Draw(IDirect3DDevice8* device) = 0;

    // Keeps what the bound node sampled for the current frame.
    void SetTransformParts(const D3DVECTOR& position, const Quaternion& rotation, const D3DVECTOR& scale);

    char* name;              // owned (delete[]); null until read
    D3DMATRIX transform;     // as read from the record, engine axes; identity
    D3DVECTOR pivot;         // pivot offset, engine axes
    uint8_t visible;         // drawn at all (cleared for meshes used as bones)
    uint8_t inView;          // set each frame by the frustum test
    D3DMATRIX world;         // written by the bound node every frame; identity
    D3DVECTOR position;      // the node's sampled position
    Quaternion rotation;     // the node's sampled rotation; (0, 0, 0, 1)
    D3DVECTOR scale;         // the node's sampled scale; zero until updated
};

// The point a camera or light looks at; its owner reads its position.
class CTargetObject : public CSceneObject {
public:
    int Prepare(IDirect3DDevice8* device) override;
    void Draw(IDirect3DDevice8* device) override;
};
