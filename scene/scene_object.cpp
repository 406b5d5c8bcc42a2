#include "scene/scene_object.h"

CSceneObject::CSceneObject()
    : name(nullptr),
      pivot{0.0f, 0.0f, 0.0f},
      visible(1),
      inView(1),
      position{0.0f, 0.0f, 0.0f},
      rotation{0.0f, 0.0f, 0.0f, 1.0f},
      scale{0.0f, 0.0f, 0.0f}
{
    SetIdentity(&transform);
    SetIdentity(&world);
}

CSceneObject::~CSceneObject()
{
    delete[] name;
}

void CSceneObject::SetTransformParts(const D3DVECTOR& newPosition, const Quaternion& newRotation,
                                     const D3DVECTOR& newScale)
{
    position = newPosition;
    rotation = newRotation;
    scale = newScale;
}

int CTargetObject::Prepare(IDirect3DDevice8* /*device*/)
{
    return 0;
}

void CTargetObject::Draw(IDirect3DDevice8* /*device*/)
{
}
