// The scene's once-only preparation and its per-frame update and drawing.
#include <new>

#include "platform/d3d8/d3d8.h"
#include "platform/report/report.h"
#include "scene/camera.h"
#include "scene/chains_together.h"
#include "scene/helper_object.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/node.h"
#include "scene/scene.h"
#include "scene/shape.h"
#include "scene/transparent_face_list.h"

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
    m_chainsToRun.reserve(static_cast<size_t>(meshes.Count()));
    for (CNode* root : roots) {
        PrepareNode(root);
    }
    Update(0.0f);
    delete transparentFaces;
    transparentFaces = new (std::nothrow) TransparentFaceList();
    if (transparentFaces == nullptr) {
        ShowError("LibKVF : Not enough memory to prepare the scene");
        return 1;
    }
    if (transparentFaces->Build(meshes) != 0) {
        return 1;
    }
    // The gizmo modifiers get their box and centre, then each chain is
    // evaluated once into its mesh's buffer.
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

void CScene::Draw(IDirect3DDevice8* device)
{
    if (device == nullptr) {
        return;
    }
    device->SetRenderState(D3DRS_AMBIENT, ambientColour);
    if (CCamera* camera = cameras.First()) {
        camera->Draw(device);
    }
    frustum.extract(device);
    DWORD enabled = 0;
    if (!lights.Empty()) {
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        for (CLight* light : lights) {
            enabled += light->Enable(device, enabled);
        }
    } else {
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
    }
    // Lights that an earlier scene enabled beyond this scene's own would
    // otherwise light this one too (during a crossfade, or after a scene
    // with more lights). Scenes enable indices from 0 up, so the leftovers
    // are the enabled run that follows. This scene's own lights stay on
    // after the frame: what is drawn with its camera afterwards is lit by them.
    for (DWORD i = enabled;; ++i) {
        BOOL on = FALSE;
        if (device->GetLightEnable(i, &on) != D3D_OK || !on) {
            break;
        }
        device->LightEnable(i, FALSE);
    }
    for (CShape* shape : shapes) {
        shape->Draw(device);
    }
    // Each mesh's test reads only its own box and the world transform, which
    // every Draw puts back, so all tests can come first. The chains of the
    // meshes that draw then run together, and each Draw finds its buffer up
    // to date.
    m_chainsToRun.clear();
    for (CMesh* mesh : meshes) {
        mesh->TestVisibility(device, frustum);
        if (!mesh->modifiers.Empty() && mesh->Drawable(device)) {
            m_chainsToRun.push_back(mesh);
        }
    }
    EvaluateChainsTogether(&m_chainsToRun);
    for (CMesh* mesh : meshes) {
        mesh->Draw(device);
    }
}

namespace {

// The render states materials set and leave set, put back after a scene.
constexpr D3DRENDERSTATETYPE kMaterialStates[] = {
    D3DRS_CULLMODE, D3DRS_FILLMODE, D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND,
};
constexpr size_t kMaterialStateCount = sizeof kMaterialStates / sizeof kMaterialStates[0];

} // namespace

void CScene::Render(IDirect3DDevice8* device)
{
    if (device == nullptr) {
        return;
    }
    DWORD saved[kMaterialStateCount];
    for (size_t i = 0; i < kMaterialStateCount; ++i) {
        saved[i] = 0;
        device->GetRenderState(kMaterialStates[i], &saved[i]);
    }

    Draw(device);
    CCamera* camera = cameras.First();
    if (transparentFaces != nullptr && camera != nullptr) {
        transparentFaces->Sort(camera->world);
        transparentFaces->Draw(device);
        // The last transparent material keeps its textures and texture
        // transforms on the device until they are emptied here.
        if (CMaterial* last = transparentFaces->LastMaterial()) {
            last->Unapply(device);
        }
    }

    for (size_t i = 0; i < kMaterialStateCount; ++i) {
        device->SetRenderState(kMaterialStates[i], saved[i]);
    }
}
