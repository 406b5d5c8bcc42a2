// The scene's once-only preparation and its per-frame update and drawing.
#include <new>

#include "app/error_box.h"
#include "scene/camera.h"
#include "scene/helper_object.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/node.h"
#include "scene/scene.h"
#include "scene/shape.h"

namespace {

// The camera a scene without one views through: at (0, 0, -50) looking at
// the origin.
int AddDefaultCamera(CObjectList<CCamera>* cameras)
{
    CCamera* camera = new (std::nothrow) CCamera();
    if (camera != nullptr) {
        camera->target = new (std::nothrow) CTargetObject();
    }
    if (camera == nullptr || camera->target == nullptr || cameras->Append(camera) != 0) {
        delete camera;
        ShowError("LibKVF : Not enough memory to prepare the scene");
        return 1;
    }
    camera->position = D3DVECTOR{0.0f, 0.0f, -50.0f};
    camera->fieldOfView = 1.8f;
    camera->target->position = D3DVECTOR{0.0f, 0.0f, 0.0f};
    return 0;
}

} // namespace

int CScene::Prepare(IDirect3DDevice8* device)
{
    for (int32_t i = 0; i < materialCount; ++i) {
        materials[i].Prepare(device);
    }
    if (cameras.Empty() && AddDefaultCamera(&cameras) != 0) {
        return 1;
    }
    for (CLight* light : lights) {
        if (light->Prepare(device) != 0) {
            return 1;
        }
    }
    for (CShape* shape : shapes) {
        if (shape->Prepare(device) != 0) {
            return 1;
        }
    }
    for (CMesh* mesh : meshes) {
        if (mesh->Prepare(device) != 0) {
            return 1;
        }
        if (PrepareMeshModifiers(mesh) != 0) {
            return 1;
        }
    }
    for (CNode* root : roots) {
        PrepareNode(root);
    }
    Update(0.0f);
    // The transparent-face list belongs to the drawing step, which is not
    // part of the engine yet.
    PrepareModifierChains();
    return 0;
}

void CScene::Update(float frameTime)
{
    for (CNode* root : roots) {
        UpdateNode(root, frameTime);
    }
    for (CMesh* mesh : meshes) {
        for (CModifier* modifier : mesh->modifiers) {
            // A stretch keeps the box it was prepared with.
            if (modifier->m_type != CModifier::kStretch) {
                modifier->setBoundsMin(&mesh->boxMin);
                modifier->setBoundsMax(&mesh->boxMax);
            }
            modifier->setTime(&frameTime);
            modifier->update();
        }
    }
    for (int32_t i = 0; i < materialCount; ++i) {
        materials[i].Update(frameTime);
    }
}

void CScene::Draw(IDirect3DDevice8* /*device*/)
{
    // Drawing (camera, lights, shapes, culled meshes) is a later step.
}

void CScene::Render(IDirect3DDevice8* device)
{
    Draw(device);
    // The sorted transparent faces follow here once meshes are drawn.
}
