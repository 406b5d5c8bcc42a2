// The small squares that show where a targeted spot light stands and what it
// aims at. They face the camera: the view's rotation is undone in their world
// matrix, whose translation is the marked point.
#include "math/d3dx_math.h"
#include "platform/d3d8/d3d8.h"
#include "scene/light.h"
#include "scene/mesh_vertex.h"

void DrawLightMarker(IDirect3DDevice8* device, const D3DVECTOR& point, DWORD colour)
{
    D3DMATRIX savedWorld;
    device->GetTransform(D3DTS_WORLD, &savedWorld);
    D3DMATRIX view;
    device->GetTransform(D3DTS_VIEW, &view);
    D3DMATRIX facing;
    SetIdentity(&facing);
    D3DXMatrixInverse(&facing, nullptr, &view); // a singular view leaves the identity
    D3DMATRIX m;
    D3DXMatrixMultiply(&m, &facing, &savedWorld);
    m._41 = point.x;
    m._42 = point.y;
    m._43 = point.z;
    m._44 = 1.0f;

    DWORD savedLighting = TRUE;
    device->GetRenderState(D3DRS_LIGHTING, &savedLighting);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetTexture(0, nullptr);

    const MeshVertex square[4] = {
        {-2.0f, -2.0f, 0.0f, 0.0f, 0.0f, 1.0f, colour, 0.0f, 1.0f},
        {-2.0f, 2.0f, 0.0f, 0.0f, 0.0f, 1.0f, colour, 0.0f, 0.0f},
        {2.0f, -2.0f, 0.0f, 0.0f, 0.0f, 1.0f, colour, 1.0f, 1.0f},
        {2.0f, 2.0f, 0.0f, 0.0f, 0.0f, 1.0f, colour, 1.0f, 0.0f},
    };
    device->SetTransform(D3DTS_WORLD, &m);
    device->SetVertexShader(kMeshVertexFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, square, sizeof(MeshVertex));

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetTransform(D3DTS_WORLD, &savedWorld);
    device->SetRenderState(D3DRS_LIGHTING, savedLighting);
}
