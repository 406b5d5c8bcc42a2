#include "gfx/skybox_mesh.h"

#include <cstring>

#include "gfx/skybox_vertices.h"
#include "gfx/texture_loader.h"
#include "platform/d3d8/release_interface.h"
#include "platform/report/report.h"

namespace {
constexpr DWORD kSkyBoxFvf = D3DFVF_XYZ | D3DFVF_TEX1; // 0x102
constexpr UINT kVertexBytes = kSkyBoxVertexCount * sizeof(SkyBoxVertex);
constexpr UINT kIndexBytes = kSkyBoxIndexCount * sizeof(uint16_t);
} // namespace

SkyBoxMesh::~SkyBoxMesh()
{
    ReleaseInterface(m_vertexBuffer);
    ReleaseInterface(m_indexBuffer);
    for (IDirect3DTexture8*& face : m_faces) {
        ReleaseInterface(face);
    }
}

int SkyBoxMesh::LoadFaces(IDirect3DDevice8* device, const char* const names[6])
{
    for (int i = 0; i < kSkyBoxFaceCount; ++i) {
        ReleaseInterface(m_faces[i]);
        if (LoadTextureNoFilter(device, names[i], &m_faces[i]) != 0) {
            ShowError("LibDX : Cannot load : %s ", names[i] ? names[i] : "");
            m_faces[i] = nullptr;
            return 1;
        }
    }
    return 0;
}

int SkyBoxMesh::CreateBuffers(IDirect3DDevice8* device)
{
    ReleaseInterface(m_vertexBuffer);
    if (device->CreateVertexBuffer(kVertexBytes, D3DUSAGE_WRITEONLY, kSkyBoxFvf, D3DPOOL_DEFAULT, &m_vertexBuffer) !=
            D3D_OK ||
        !m_vertexBuffer) {
        m_vertexBuffer = nullptr;
        ShowError("LibDX : Impossible to create the Vertex Buffer");
        return 1;
    }
    BYTE* vertices = nullptr;
    if (m_vertexBuffer->Lock(0, kVertexBytes, &vertices, 0) != D3D_OK || !vertices) {
        ShowError("LibDX : Impossible to Lock the Vertex Buffer");
        return 1;
    }
    std::memcpy(vertices, kSkyBoxVertices, kVertexBytes);
    if (m_vertexBuffer->Unlock() != D3D_OK) {
        ShowError("LibDX : Impossible to UnLock the Vertex Buffer");
        return 1;
    }

    ReleaseInterface(m_indexBuffer);
    if (device->CreateIndexBuffer(kIndexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &m_indexBuffer) !=
            D3D_OK ||
        !m_indexBuffer) {
        m_indexBuffer = nullptr;
        ShowError("LibDX : Impossible to build the Index Buffer");
        return 1;
    }
    BYTE* bytes = nullptr;
    if (m_indexBuffer->Lock(0, kIndexBytes, &bytes, 0) != D3D_OK || !bytes) {
        ShowError("LibDX : Impossible to Lock the Index Buffer");
        return 1;
    }
    // Two triangles per quad, sharing the quad's first and third corners.
    uint16_t indices[kSkyBoxIndexCount];
    for (int f = 0; f < kSkyBoxFaceCount; ++f) {
        const uint16_t base = static_cast<uint16_t>(4 * f);
        const uint16_t quad[6] = {base, uint16_t(base + 1), uint16_t(base + 2),
                                  base, uint16_t(base + 2), uint16_t(base + 3)};
        std::memcpy(indices + 6 * f, quad, sizeof quad);
    }
    std::memcpy(bytes, indices, kIndexBytes);
    if (m_indexBuffer->Unlock() != D3D_OK) {
        ShowError("LibDX : Impossible to UnLock the Index Buffer");
        return 1;
    }
    return 0;
}
