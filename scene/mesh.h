// A triangle mesh of a scene (object kind 0): read from its record, moved by
// its node, optionally deformed by its modifiers and drawn from one vertex
// buffer and one 16-bit index buffer, one draw per run of faces that share a
// material.
#pragma once

#include <cstdint>
#include <vector>

#include "modifiers/modifier.h"
#include "scene/mesh_vertex.h"
#include "scene/object_list.h"
#include "scene/scene_object.h"

class CMaterial;
class FrustumPlanes;
class IDirect3DIndexBuffer8;
class IDirect3DVertexBuffer8;

// One draw call: a run of faces that share a material.
struct MeshSubset {
    CMaterial* material;   // of the run's first face; may be null
    int32_t minimumIndex;  // always 0
    int32_t vertexSpan;    // the mesh's vertex count
    int32_t startIndex;    // 3 x the run's first face
    int32_t faceCount;
};

class CMesh : public CSceneObject {
public:
    CMesh();
    // Destroys the modifiers first to last and releases the buffers.
    ~CMesh() override;

    // Refreshes the box, makes the vertex and index buffers (in the default
    // pool, once) and the subsets. Without a device only the box, the
    // deformed vertices and the subsets are made. 0, or 1 after a message
    // when the device refuses a buffer (what was made stays with the mesh).
    int Prepare(IDirect3DDevice8* device) override;
    // The opaque subsets, when the mesh is visible and in view; the modifier
    // chain is evaluated first. Lighting and the world transform are put back.
    void Draw(IDirect3DDevice8* device) override;
    // Whether Draw draws: visible, in view, with a device and both buffers.
    bool Drawable(IDirect3DDevice8* device) const;
    // The in-view flag from the box moved by the world matrix (times the
    // device's current world transform) against the frustum.
    void TestVisibility(IDirect3DDevice8* device, const FrustumPlanes& frustum);

    // Moves every base vertex position by `matrix` as a row vector (no
    // division by w); normals stay.
    void TransformVertices(const D3DMATRIX& matrix);

    // ---- The modifier chain ------------------------------------------------
    // The device-free steps of Prepare: the box from the base vertices and,
    // with modifiers, the deformed vertices as a copy of them.
    void PrepareDeformation();
    // Without modifiers the three below do nothing (DeformVertex copies).
    // Runs the chain over every vertex into the deformed vertices and
    // recomputes the box from them (no device needed). A position that comes
    // out of the chain not finite keeps its base value.
    void DeformVertices();
    // DeformVertices, then the deformed vertices replace the vertex buffer's
    // contents (when the mesh has one). Skipped when no modifier has changed
    // since the last upload into this buffer: the result would be the same.
    void EvaluateModifiers();
    // EvaluateModifiers in three steps, so that the chains of several meshes
    // can run at once: Begin (on the device's thread) checks whether the
    // chain must run and locks the buffer, false when there is nothing to do;
    // Run deforms and fills the locked buffer, touching only this mesh and
    // its modifiers, on any thread; End (on the device's thread) unlocks.
    bool BeginEvaluation();
    void RunEvaluation();
    void EndEvaluation();
    // The chain on the single vertex `index`, as the transparent pass runs
    // it: the first modifier from the base vertex, the later ones in place;
    // the same bits as DeformVertices gives that vertex.
    void DeformVertex(int index, MeshVertex* out);

    CObjectList<CModifier> modifiers;   // owned, file order
    D3DVECTOR boxMin;                   // object space
    D3DVECTOR boxMax;
    int32_t fileFaceCount;              // F of the record
    std::vector<MeshFace> fileFaces;    // as read: corners index the positions
    int32_t positionCount;              // P of the record
    std::vector<D3DVECTOR> positions;   // engine axes, as read
    int32_t vertexCount;
    std::vector<MeshVertex> baseVertices;     // built; moved once by TransformVertices
    std::vector<MeshVertex> deformedVertices; // written by the modifier chain
    int32_t faceCount;                  // built faces (0 after a face-map record)
    std::vector<MeshFace> faces;        // grouped by material, corners index the vertices
    std::vector<uint16_t> indices;      // 3 per built face, in face order
    uint8_t normalsFlag;
    uint8_t faceMapFlag;
    uint8_t flag3;
    uint8_t flag1;
    uint8_t lightingFlag;               // 0: drawn unlit
    int32_t primitiveType;              // D3DPT_TRIANGLELIST
    IDirect3DVertexBuffer8* vertexBuffer; // owned reference; null until prepared
    IDirect3DIndexBuffer8* indexBuffer;   // owned reference; null until prepared
    CObjectList<MeshSubset> subsets;    // built by Prepare

    // How many meshes were constructed and destroyed, for the debug trace.
    static int32_t s_constructed;
    static int32_t s_destroyed;

private:
    // The vertices the chain runs over: the vertex count, as far as the base
    // vertices hold it.
    int DeformableVertexCount() const;
    // The sum of the modifiers' stamps (each only grows).
    uint64_t ModifierStamp() const;

    // What the last upload of EvaluateModifiers wrote from: the buffer, the
    // modifiers' stamp sum and the box it left.
    IDirect3DVertexBuffer8* m_uploadedBuffer = nullptr;
    uint64_t m_uploadedStamp = 0;
    D3DVECTOR m_uploadedBoxMin = {0.0f, 0.0f, 0.0f};
    D3DVECTOR m_uploadedBoxMax = {0.0f, 0.0f, 0.0f};
    // Between BeginEvaluation and EndEvaluation: the stamp the chain runs
    // for and the locked buffer's memory (null when there is none to fill).
    uint64_t m_evaluationStamp = 0;
    BYTE* m_lockedVertices = nullptr;
    bool m_lockFailed = false;
};
