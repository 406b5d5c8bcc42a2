// KVF scenes: the input is read as a scene member, then everything a show
// does with a scene short of the device: the node controllers are prepared,
// the skins' bones bound by name, the gizmo modifiers given their box and
// centre and prepared, and the scene updated and every modifier chain run
// over its mesh at several frame times (inside, past and before the range).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/quiet_boxes.h"
#include "modifiers/modifier_skin.h"
#include "scene/mesh.h"
#include "scene/node.h"
#include "scene/scene.h"
#include "tests/scene/memory_stream.h"

namespace {

// The device-free part of the scene's preparation, in its order. Binding
// bones by name belongs to the scene's Prepare, which needs the device; here
// every bone follows one fixed matrix so that the skins can run.
void PrepareWithoutDevice(CScene* scene)
{
    static const D3DMATRIX kBoneWorld = {{{0.0f, 1.0f, 0.0f, 0.0f, -1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 2.0f, 0.0f,
                                           3.0f, -4.0f, 5.0f, 1.0f}}};
    for (CMesh* mesh : scene->meshes) {
        for (CModifier* modifier : mesh->modifiers) {
            if (modifier->m_type == CModifier::kSkin) {
                CModifierSkin* skin = static_cast<CModifierSkin*>(modifier);
                skin->prepare();
                for (int32_t i = 0; i < skin->m_nbBone; ++i) {
                    skin->setBoneMatrix(&kBoneWorld, static_cast<unsigned int>(i));
                }
            }
        }
    }
    for (CNode* root : scene->roots) {
        PrepareNode(root);
    }
    scene->Update(0.0f);
    for (CMesh* mesh : scene->meshes) {
        // The drawing step sizes the deformed copy when it makes the buffers.
        if (mesh->deformedVertices.size() < mesh->baseVertices.size()) {
            mesh->deformedVertices = mesh->baseVertices;
        }
        for (CModifier* modifier : mesh->modifiers) {
            if (modifier->m_type == CModifier::kSkin) {
                continue;
            }
            modifier->setBoundsMin(&mesh->boxMin);
            modifier->setBoundsMax(&mesh->boxMax);
            modifier->setCenter(&mesh->pivot);
            modifier->prepare();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceMessageBoxes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryStream stream(std::vector<uint8_t>(data, data + size));
    CScene scene;
    if (scene.ReadScene(&stream, "fuzz.kvf") != 0) {
        return 0;
    }
    PrepareWithoutDevice(&scene);
    const float frameTimes[] = {0.0f, 3.5f, 17.25f, static_cast<float>(scene.endFrame) + 1.0f, -2.0f, 1.0e7f};
    for (float t : frameTimes) {
        scene.Update(t);
        for (CMesh* mesh : scene.meshes) {
            mesh->DeformVertices();
            if (mesh->vertexCount > 0) {
                const int last = mesh->vertexCount - 1;
                MeshVertex vertex;
                mesh->DeformVertex(last, &vertex);
                // Each modifier alone on one position, as the transparent
                // pass and the bounds use them.
                for (CModifier* modifier : mesh->modifiers) {
                    D3DVECTOR point{vertex.x, vertex.y, vertex.z};
                    modifier->deformPoint(&point, &point, last);
                }
            }
        }
    }
    return 0;
}
