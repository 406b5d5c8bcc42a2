#include "scene/mesh.h"

#include "math/engine_math.h"
#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/release_interface.h"

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

int CMesh::Prepare(IDirect3DDevice8*)
{
    return 0;
}

void CMesh::Draw(IDirect3DDevice8*) {}

void CMesh::TransformVertices(const D3DMATRIX& matrix)
{
    for (MeshVertex& v : baseVertices) {
        const D3DVECTOR moved = transformPoint(matrix, D3DVECTOR{v.x, v.y, v.z});
        v.x = moved.x;
        v.y = moved.y;
        v.z = moved.z;
    }
}
