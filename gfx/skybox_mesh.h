// The skybox's device resources: one vertex buffer and one index buffer for
// the six quads of the box, and the six face textures.
#pragma once

#include "platform/d3d8/d3d8.h"

class SkyBoxMesh {
public:
    SkyBoxMesh() = default;
    ~SkyBoxMesh();
    SkyBoxMesh(const SkyBoxMesh&) = delete;
    SkyBoxMesh& operator=(const SkyBoxMesh&) = delete;

    // Loads the six faces unfiltered from the pack, in face order. 0 when all
    // six loaded; 1 at the first failure, after its message (the later faces
    // are not attempted and stay empty).
    int LoadFaces(IDirect3DDevice8* device, const char* const names[6]);
    // Creates and fills the vertex and index buffers. 0 on success, 1 at the
    // first failing step, after its message.
    int CreateBuffers(IDirect3DDevice8* device);

    IDirect3DVertexBuffer8* GetVertexBuffer() const { return m_vertexBuffer; }
    IDirect3DIndexBuffer8* GetIndexBuffer() const { return m_indexBuffer; }
    IDirect3DTexture8* GetFaceTexture(int face) const { return m_faces[face]; }

private:
    IDirect3DVertexBuffer8* m_vertexBuffer = nullptr;
    IDirect3DIndexBuffer8* m_indexBuffer = nullptr;
    IDirect3DTexture8* m_faces[6] = {};
};
