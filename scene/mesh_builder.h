// The load-time building of a mesh: normals from smoothing groups, welding of
// identical face corners into shared vertices, grouping of the faces by
// material and the bounding box. Each step gives exactly the result of the
// straightforward pass it replaces (comparing every face with every face,
// every corner with every built vertex, and grouping by repeated swaps), bit
// for bit, but runs in close to linear time: welding (by lists of the
// vertices at each position) and the normal sums use hash tables whose keys
// follow float comparison (-0.0 equals 0.0, NaN equals nothing), and the
// grouping computes the swaps' final order directly.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d8/d3d8_types.h"
#include "scene/mesh_hash_table.h"
#include "scene/mesh_vertex.h"

// The largest vertex count that 16-bit indices can address.
constexpr int kMaxMeshVertices = 65535;

// The normal given to a corner whose summed normal has no direction (only
// degenerate faces around it).
constexpr D3DVECTOR kDefaultNormal = {0.0f, 1.0f, 0.0f};

// Sets the unit face normal of each file face from the positions of its
// corners: (p1 - p0) x (p2 - p0) divided by its length. A face without area
// (or with non-finite positions) gets the zero vector, so it adds nothing to
// the corner normals around it. Corner indices must be below the position
// count.
void ComputeFaceNormals(const D3DVECTOR* positions, MeshFace* faces, int faceCount);

// The normal of one corner from the sum of `count` face normals: the sum
// divided by count, then by its length; kDefaultNormal when that length is
// zero or not finite.
D3DVECTOR AverageToUnitNormal(const D3DVECTOR& sum, int count);

// Three normals per face, in engine corner order. The normal of corner k of
// face f averages the face normals of every face g (in increasing order, f
// included) with f's smoothing group and material id that has f's k-th
// position index among its corners.
void ComputeCornerNormals(const MeshFace* faces, int faceCount, D3DVECTOR* cornerNormals);

// Eight floats compared as floats and the colour as an integer.
bool VerticesEqual(const MeshVertex& a, const MeshVertex& b);

// Welds 3 * faceCount candidate vertices, three per face in corner order.
// Every candidate takes the index of the last vertex built by earlier faces
// that equals it; the others of the face are appended in corner order.
// `indices` receives one vertex index per candidate. Returns 0, or 1 (with
// the outputs incomplete) as soon as more than maxVertices would be built.
int WeldVertices(const MeshVertex* candidates, int faceCount, int maxVertices,
                 std::vector<MeshVertex>* vertices, std::vector<uint16_t>* indices);

// The same welding with the candidates given a block of faces at a time, so
// that they need not all be held at once. Every candidate names the
// position (of `positions`) it took its x, y and z from. Equal vertices
// have equal positions, so the built vertices are kept in lists by position
// value, newest first, and a candidate is compared with the few vertices at
// its position only; a position that gathers many vertices falls back to a
// hash table of all of them, so no mesh makes the search slow.
class VertexWelder {
public:
    // Room for `faceCount` faces; `vertices` is emptied and receives the
    // built vertices.
    VertexWelder(const D3DVECTOR* positions, int positionCount, int faceCount, int maxVertices,
                 std::vector<MeshVertex>* vertices);

    // The most faces AddFaces takes at once.
    static constexpr int kBlockFaces = 32;

    // Welds the candidates of the next `faceCount` faces (at most
    // kBlockFaces; three each, in corner order, `positionIndices` naming
    // their positions) into `indices`, face by face; false (nothing more can
    // be added) when more than maxVertices would be built.
    bool AddFaces(const MeshVertex* corners, const int32_t* positionIndices, int faceCount, uint16_t* indices);

private:
    // The newest built vertex equal to `vertex`, whose position is in
    // class `positionClass`, or -1.
    int32_t FindEqual(const MeshVertex& vertex, int32_t positionClass);
    int32_t& SlotOf(const MeshVertex& vertex, uint64_t hash);
    void BuildTable();

    std::vector<MeshVertex>* m_vertices;
    int m_maxVertices;
    std::vector<int32_t> m_classOf; // position -> its value's class; -1 for a NaN, equal to nothing
    std::vector<int32_t> m_newest;  // class -> newest vertex at that position, or -1
    std::vector<int32_t> m_older;   // vertex -> next older vertex at its position, or -1
    bool m_tableBuilt = false;
    MeshSlotTable m_table; // once a position gathers many vertices: every vertex value -> the last built
};

// The order that grouping the faces by material id leaves: order[i] is the
// file index of the face that ends at position i. It is the result of this
// procedure, computed without its quadratic cost: for k from 0 to F - 3,
// when face k + 1's id differs from face k's, every later face l (k + 2 to
// F - 1, increasing) with face k's id is swapped with face k + 1. Within a
// group, the faces directly after the group's first face keep their order
// and the rest follow in reverse; faces of other ids move behind.
void MaterialGroupOrder(const int32_t* materialIds, int faceCount, int32_t* order);

// Box of the vertex positions, starting from 1000000 / -1000000 on each axis;
// a coordinate moves a bound only when strictly beyond it.
void ComputeBoundingBox(const MeshVertex* vertices, int count, D3DVECTOR* boxMin, D3DVECTOR* boxMax);

// Finds the vertices at a position (x, y and z compared as floats) for
// matching the positions of a mesh record to its built vertices. All the
// vertices at one position are claimed together: the first claim returns
// them and marks them, later claims of that position return none.
class VertexPositionIndex {
public:
    VertexPositionIndex(const MeshVertex* vertices, int count);

    // The unclaimed vertices at `position`, in increasing index; *count
    // receives how many (0 when none, and for a NaN position).
    const int32_t* Claim(const D3DVECTOR& position, int* count);

private:
    struct Group {
        D3DVECTOR position;
        int32_t first;
        int32_t count;
        bool claimed;
    };
    int32_t* FindGroup(const D3DVECTOR& position);

    std::vector<Group> m_groups;
    std::vector<int32_t> m_members;
    MeshSlotTable m_table;
};
