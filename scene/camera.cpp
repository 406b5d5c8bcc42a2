#include "scene/camera.h"

#include <new>

#include "app/error_box.h"
#include "pack/pack_file.h"
#include "scene/kvf_read.h"
#include "scene/scene.h"

CCamera::CCamera() : target(nullptr), parameter1(0.0f), parameter2(0.0f), fieldOfView(0.0f)
{
}

CCamera::~CCamera()
{
    delete target;
}

int CCamera::Prepare(IDirect3DDevice8* device)
{
    Draw(device);
    return 0;
}

void CCamera::Draw(IDirect3DDevice8* /*device*/)
{
    // The view and projection are set on the device by the drawing step,
    // which is not part of the engine yet.
}

int CScene::ReadCamera(CPackFile* file, CCamera* camera)
{
    camera->name = ReadName(file);
    camera->position = ReadVector(file);
    const D3DVECTOR targetPosition = ReadVector(file);
    camera->target = new (std::nothrow) CTargetObject();
    if (camera->name == nullptr || camera->target == nullptr) {
        ShowError("LibKVF : Not enough memory to read a camera");
        return 1;
    }
    camera->target->position = targetPosition;
    camera->parameter1 = ReadFloat(file);
    camera->parameter2 = ReadFloat(file);
    camera->fieldOfView = ReadFloat(file);
    return 0;
}
