// Per-frame work of a mesh: the frustum test of its box and the opaque draw,
// one indexed call per subset whose material is opaque.
#include "math/d3dx_math.h"
#include "math/engine_math.h"
#include "platform/d3d8/d3d8.h"
#include "scene/material.h"
#include "scene/mesh.h"

void CMesh::TestVisibility(IDirect3DDevice8* device, const FrustumPlanes& frustum)
{
    const D3DVECTOR& n = boxMin;
    const D3DVECTOR& x = boxMax;
    const D3DVECTOR corners[8] = {
        {n.x, n.y, n.z}, {n.x, x.y, n.z}, {x.x, x.y, n.z}, {x.x, n.y, n.z},
        {n.x, n.y, x.z}, {n.x, x.y, x.z}, {x.x, x.y, x.z}, {x.x, n.y, x.z},
    };
    D3DMATRIX current;
    SetIdentity(&current);
    if (device != nullptr) {
        device->GetTransform(D3DTS_WORLD, &current);
    }
    D3DMATRIX w;
    D3DXMatrixMultiply(&w, &world, &current);
    D3DVECTOR moved[8];
    for (int i = 0; i < 8; ++i) {
        moved[i] = transformPoint(w, corners[i]);
    }
    inView = frustum.isVisible(moved, 8) ? 1 : 0;
}

bool CMesh::Drawable(IDirect3DDevice8* device) const
{
    return visible != 0 && inView != 0 && device != nullptr && vertexBuffer != nullptr && indexBuffer != nullptr;
}

void CMesh::Draw(IDirect3DDevice8* device)
{
    if (!Drawable(device)) {
        return;
    }
    EvaluateModifiers();

    D3DMATRIX savedWorld;
    device->GetTransform(D3DTS_WORLD, &savedWorld);
    D3DMATRIX w;
    D3DXMatrixMultiply(&w, &world, &savedWorld);
    device->SetTransform(D3DTS_WORLD, &w);
    device->SetStreamSource(0, vertexBuffer, sizeof(MeshVertex));
    device->SetVertexShader(kMeshVertexFvf);
    device->SetIndices(indexBuffer, 0);
    DWORD savedLighting = TRUE;
    device->GetRenderState(D3DRS_LIGHTING, &savedLighting);
    device->SetRenderState(D3DRS_LIGHTING, lightingFlag != 0 ? TRUE : FALSE);

    for (const MeshSubset* subset : subsets) {
        CMaterial* material = subset->material;
        if (material == nullptr || material->IsTransparent()) {
            continue;
        }
        material->Apply(device);
        device->DrawIndexedPrimitive(static_cast<D3DPRIMITIVETYPE>(primitiveType),
                                     static_cast<UINT>(subset->minimumIndex), static_cast<UINT>(subset->vertexSpan),
                                     static_cast<UINT>(subset->startIndex), static_cast<UINT>(subset->faceCount));
        material->Unapply(device);
    }

    device->SetRenderState(D3DRS_LIGHTING, savedLighting);
    device->SetTransform(D3DTS_WORLD, &savedWorld);
}
