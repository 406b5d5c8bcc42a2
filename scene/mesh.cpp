#include "scene/mesh.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "math/engine_math.h"
#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/release_interface.h"
#include "platform/report/report.h"
#include "scene/mesh_builder.h"

namespace {

// Creates a write-only buffer in the default pool through `create` and fills
// it with `bytes` bytes of `data`, showing the message of the step that fails.
template <typename Buffer, typename Create>
int MakeFilledBuffer(Buffer** buffer, UINT bytes, const void* data, Create create, const char* createMessage,
                     const char* lockMessage, const char* unlockMessage)
{
    if (create(buffer) != D3D_OK || *buffer == nullptr) {
        *buffer = nullptr;
        ShowError("%s", createMessage);
        return 1;
    }
    BYTE* target = nullptr;
    if ((*buffer)->Lock(0, bytes, &target, 0) != D3D_OK || target == nullptr) {
        ShowError("%s", lockMessage);
        return 1;
    }
    std::memcpy(target, data, bytes);
    if ((*buffer)->Unlock() != D3D_OK) {
        ShowError("%s", unlockMessage);
        return 1;
    }
    return 0;
}

} // namespace

int32_t CMesh::s_constructed = 0;
int32_t CMesh::s_destroyed = 0;

CMesh::CMesh()
    : boxMin{0.0f, 0.0f, 0.0f},
      boxMax{0.0f, 0.0f, 0.0f},
      fileFaceCount(0),
      positionCount(0),
      vertexCount(0),
      faceCount(0),
      normalsFlag(0),
      faceMapFlag(0),
      flag3(0),
      flag1(0),
      lightingFlag(0),
      primitiveType(D3DPT_TRIANGLELIST),
      vertexBuffer(nullptr),
      indexBuffer(nullptr)
{
    ++s_constructed;
}

CMesh::~CMesh()
{
    ++s_destroyed;
    ReleaseInterface(vertexBuffer);
    ReleaseInterface(indexBuffer);
    // The list destroys the subsets and the modifiers in list order.
}

int CMesh::Prepare(IDirect3DDevice8* device)
{
    const int32_t vertices = static_cast<int32_t>(
        std::min(baseVertices.size(), static_cast<size_t>(vertexCount > 0 ? vertexCount : 0)));
    const int32_t faceTotal = static_cast<int32_t>(
        std::min(faces.size(), std::min(indices.size() / 3, static_cast<size_t>(faceCount > 0 ? faceCount : 0))));
    PrepareDeformation();

    if (device != nullptr && vertexBuffer == nullptr && indexBuffer == nullptr) {
        // A mesh without vertices (or faces) asks for an empty buffer, which
        // the device refuses: that is the mesh's failure.
        const UINT vertexBytes = static_cast<UINT>(vertices) * sizeof(MeshVertex);
        if (MakeFilledBuffer(
                &vertexBuffer, vertexBytes, baseVertices.data(),
                [&](IDirect3DVertexBuffer8** out) {
                    return device->CreateVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY, kMeshVertexFvf,
                                                      D3DPOOL_DEFAULT, out);
                },
                "LibKVF : Cannot create the mesh VertexBuffer", "LibKVF : Cannot Lock the mesh VertexBuffer",
                "LibKVF : Cannot UnLock the mesh VertexBuffer") != 0) {
            return 1;
        }
        const UINT indexBytes = static_cast<UINT>(faceTotal) * 3 * sizeof(uint16_t);
        if (MakeFilledBuffer(
                &indexBuffer, indexBytes, indices.data(),
                [&](IDirect3DIndexBuffer8** out) {
                    return device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                                     out);
                },
                "LibKVF : Cannot create the mesh IndexBuffer", "LibKVF : Cannot Lock the mesh IndexBuffer",
                "LibKVF : Cannot UnLock the mesh IndexBuffer") != 0) {
            return 1;
        }
    }

    // One subset per run of faces with the same material id.
    subsets.DeleteAll();
    for (int32_t d = 0; d < faceTotal;) {
        int32_t c = 1;
        while (d + c < faceTotal && faces[d + c].materialId == faces[d].materialId) {
            ++c;
        }
        MeshSubset* subset = new (std::nothrow) MeshSubset{faces[d].material, 0, vertices, 3 * d, c};
        if (subset == nullptr || subsets.Append(subset) != 0) {
            delete subset;
            ShowError("LibKVF : Not enough memory to prepare the mesh %s", name != nullptr ? name : "");
            return 1;
        }
        d += c;
    }
    return 0;
}

void CMesh::TransformVertices(const D3DMATRIX& matrix)
{
    for (MeshVertex& v : baseVertices) {
        const D3DVECTOR moved = transformPoint(matrix, D3DVECTOR{v.x, v.y, v.z});
        v.x = moved.x;
        v.y = moved.y;
        v.z = moved.z;
    }
}
