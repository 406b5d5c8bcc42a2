#include "demo/scene_camera.h"

#include "scene/camera.h"
#include "scene/scene.h"

void GetSceneCamera(const CScene* scene, D3DVECTOR* eye, D3DVECTOR* target)
{
    *eye = D3DVECTOR{0.0f, 0.0f, 0.0f};
    *target = D3DVECTOR{0.0f, 0.0f, 0.0f};
    const CCamera* camera = scene != nullptr ? scene->cameras.First() : nullptr;
    if (camera == nullptr)
        return;
    *eye = camera->position;
    if (camera->target != nullptr)
        *target = camera->target->position;
}
