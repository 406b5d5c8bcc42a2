// The scene's preparation of its meshes' modifier chains: skins bound to
// their bones by name, the other modifiers given the mesh's box and pivot,
// and every chain evaluated once. Prepare runs these between its device
// steps; PrepareModifiers runs them alone for tools without a device.
#include "modifiers/modifier_skin.h"
#include "platform/report/report.h"
#include "scene/helper_object.h"
#include "scene/mesh.h"
#include "scene/node.h"
#include "scene/scene.h"

int CScene::PrepareMeshModifiers(CMesh* mesh)
{
    mesh->PrepareDeformation();
    for (CModifier* modifier : mesh->modifiers) {
        if (modifier->m_type != CModifier::kSkin) {
            continue;
        }
        CModifierSkin* skin = static_cast<CModifierSkin*>(modifier);
        skin->prepare();
        for (int32_t i = 0; i < skin->m_nbBone; ++i) {
            const char* boneName = skin->getBoneName(static_cast<unsigned int>(i));
            // A mesh that serves as a bone is not drawn.
            CSceneObject* bone = boneName != nullptr ? RetrieveMesh(boneName) : nullptr;
            if (bone != nullptr) {
                bone->visible = 0;
            } else if (boneName != nullptr) {
                bone = RetrieveHelper(boneName);
            }
            if (bone == nullptr) {
                ShowError("LibKVF : Cannot find the bone : %s", boneName != nullptr ? boneName : "");
                return 1;
            }
            skin->setBoneMatrix(&bone->world, static_cast<unsigned int>(i));
        }
    }
    return 0;
}

void CScene::PrepareModifierChains()
{
    for (CMesh* mesh : meshes) {
        for (CModifier* modifier : mesh->modifiers) {
            if (modifier->m_type == CModifier::kSkin) {
                continue;
            }
            modifier->setBoundsMin(&mesh->boxMin);
            modifier->setBoundsMax(&mesh->boxMax);
            modifier->setCenter(&mesh->pivot);
            modifier->prepare();
        }
        mesh->EvaluateModifiers();
    }
}

int CScene::PrepareModifiers()
{
    for (CMesh* mesh : meshes) {
        if (PrepareMeshModifiers(mesh) != 0) {
            return 1;
        }
    }
    for (CNode* root : roots) {
        PrepareNode(root);
    }
    Update(0.0f);
    PrepareModifierChains();
    return 0;
}
