// KVF scenes: the input is read as a scene member, then everything a show
// does with a scene short of the device: the node controllers are prepared,
// the skins' bones bound by name, the gizmo modifiers given their box and
// centre and prepared, and the scene updated and every modifier chain run
// over its mesh at several frame times (inside, past and before the range).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/quiet_boxes.h"
#include "scene/mesh.h"
#include "scene/scene.h"
#include "tests/scene/memory_stream.h"


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
    // Everything the scene's Prepare does for the modifiers, without a
    // device: bones bound by name, controllers prepared, frame 0 posed, the
    // gizmos given their box and centre, every chain evaluated once.
    if (scene.PrepareModifiers() != 0) {
        return 0;
    }
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
