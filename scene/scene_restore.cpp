// Returning a prepared scene to the state its preparation left, so that a
// program jumping to a time draws what a fresh load would draw there.
#include "scene/mesh.h"
#include "scene/scene.h"
#include "scene/transparent_face_list.h"

int CScene::RestorePreparedState()
{
    for (CMesh* mesh : meshes) {
        mesh->PrepareDeformation();
    }
    Update(0.0f);
    // The sort keeps the previous order among faces of equal depth.
    if (transparentFaces != nullptr && transparentFaces->Build(meshes) != 0) {
        return 1;
    }
    PrepareModifierChains();
    return 0;
}
