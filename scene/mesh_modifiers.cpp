// The modifier chain of a mesh: every modifier over every vertex in list
// order, the box refreshed from the result and the vertex buffer rewritten.
#include <cstring>

#include "platform/d3d8.h"
#include "scene/mesh.h"
#include "scene/mesh_builder.h"

void CMesh::DeformVertices()
{
    if (modifiers.Empty() || deformedVertices.size() < static_cast<size_t>(vertexCount)
        || baseVertices.size() < static_cast<size_t>(vertexCount)) {
        return;
    }
    const int n = vertexCount;
    bool first = true;
    for (CModifier* modifier : modifiers) {
        if (first) {
            for (int i = 0; i < n; ++i) {
                modifier->apply(&baseVertices[i], &deformedVertices[i], i);
            }
            first = false;
        } else {
            for (int i = 0; i < n; ++i) {
                modifier->apply(&deformedVertices[i], &deformedVertices[i], i);
            }
        }
    }
    ComputeBoundingBox(deformedVertices.data(), n, &boxMin, &boxMax);
}

void CMesh::EvaluateModifiers()
{
    if (modifiers.Empty()) {
        return;
    }
    DeformVertices();
    if (vertexBuffer == nullptr || vertexCount <= 0
        || deformedVertices.size() < static_cast<size_t>(vertexCount)) {
        return;
    }
    const UINT bytes = static_cast<UINT>(vertexCount) * sizeof(MeshVertex);
    BYTE* data = nullptr;
    // A buffer that cannot be locked keeps last frame's contents.
    if (vertexBuffer->Lock(0, bytes, &data, 0) != D3D_OK || data == nullptr) {
        return;
    }
    std::memcpy(data, deformedVertices.data(), bytes);
    vertexBuffer->Unlock();
}

void CMesh::DeformVertex(int index, MeshVertex* out)
{
    *out = baseVertices[static_cast<size_t>(index)];
    bool first = true;
    for (CModifier* modifier : modifiers) {
        if (first) {
            modifier->apply(&baseVertices[static_cast<size_t>(index)], out, index);
            first = false;
        } else {
            modifier->apply(out, out, index);
        }
    }
}
