#include "demo/scene_loop.h"

#include "scene/scene.h"

void PoseAndDrawScene(CScene* scene, float frameTime, IDirect3DDevice8* device)
{
    scene->Update(frameTime);
    if (device != nullptr)
        scene->Render(device);
}
