// The faces of a scene whose material is transparent, collected once and
// drawn every frame after the opaque meshes, farthest first, one triangle at
// a time with depth writes off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d8/d3d8_types.h"
#include "scene/object_list.h"

class CMaterial;
class CMesh;
class IDirect3DDevice8;
struct MeshFace;

struct TransparentFace {
    const MeshFace* face;   // a built face of the mesh
    CMesh* mesh;
    float depth;            // view-space depth of the centre, this frame
    D3DVECTOR centre;       // mean of the base-vertex corners, object space
    D3DVECTOR worldCentre;  // the centre moved by the mesh's world matrix
};

class TransparentFaceList {
public:
    TransparentFaceList() = default;
    TransparentFaceList(const TransparentFaceList&) = delete;
    TransparentFaceList& operator=(const TransparentFaceList&) = delete;

    // Collects, mesh by mesh and face by face, every face whose material is
    // transparent, with its centre. Returns 0.
    int Build(const CObjectList<CMesh>& meshes);
    // Depths along the view's z axis, then the faces in order of depth,
    // greatest first; faces of equal depth keep last frame's order.
    void Sort(const D3DMATRIX& view);
    // Each face in sorted order with its material, depth writes off. The
    // state of the last material applied stays on the device (see
    // LastMaterial).
    void Draw(IDirect3DDevice8* device);

    int32_t Count() const { return static_cast<int32_t>(m_order.size()); }
    // The faces in their current order.
    const std::vector<TransparentFace*>& Order() const { return m_order; }
    // The material the last Draw left applied, or null.
    CMaterial* LastMaterial() const { return m_lastMaterial; }

private:
    std::vector<TransparentFace> m_records;  // collection order
    std::vector<TransparentFace*> m_order;   // sorted in place every frame
    std::vector<TransparentFace*> m_scratch; // the sort's merge buffer
    CMaterial* m_lastMaterial = nullptr;
};

// Orders `items` by depth, greatest first, keeping the order of equal depths:
// exactly what moving each item forward past every shallower one gives, in
// O(n log n) (O(n) when already in order). `scratch` holds `count` pointers.
// A NaN depth must not occur (Sort replaces them).
void SortByDepthDescending(TransparentFace** items, TransparentFace** scratch, size_t count);
