#include "scene/mesh_builder.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "scene/mesh_hash_table.h"

namespace {

bool HasNaN(const MeshVertex& v)
{
    const float f[8] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v};
    for (float value : f) {
        if (value != value) {
            return true;
        }
    }
    return false;
}

uint64_t VertexHash(const MeshVertex& v)
{
    uint64_t h = v.colour;
    const float f[8] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v};
    for (float value : f) {
        h = MeshHashCombine(h, MeshFloatKeyBits(value));
    }
    return MeshHashFinish(h);
}

bool HasNaN(const D3DVECTOR& p)
{
    return p.x != p.x || p.y != p.y || p.z != p.z;
}

uint64_t PositionHash(const D3DVECTOR& p)
{
    uint64_t h = MeshFloatKeyBits(p.x);
    h = MeshHashCombine(h, MeshFloatKeyBits(p.y));
    h = MeshHashCombine(h, MeshFloatKeyBits(p.z));
    return MeshHashFinish(h);
}

struct NormalSum {
    uint16_t position;
    int32_t smoothingGroup;
    int32_t materialId;
    D3DVECTOR sum;
    int count;
};

uint64_t NormalKeyHash(uint16_t position, int32_t smoothingGroup, int32_t materialId)
{
    uint64_t h = position;
    h = MeshHashCombine(h, static_cast<uint32_t>(smoothingGroup));
    h = MeshHashCombine(h, static_cast<uint32_t>(materialId));
    return MeshHashFinish(h);
}

} // namespace

void ComputeFaceNormals(const D3DVECTOR* positions, MeshFace* faces, int faceCount)
{
    for (int f = 0; f < faceCount; ++f) {
        MeshFace& face = faces[f];
        const D3DVECTOR& p0 = positions[face.corners[0]];
        const D3DVECTOR& p1 = positions[face.corners[1]];
        const D3DVECTOR& p2 = positions[face.corners[2]];
        const float ax = p1.x - p0.x, ay = p1.y - p0.y, az = p1.z - p0.z;
        const float bx = p2.x - p0.x, by = p2.y - p0.y, bz = p2.z - p0.z;
        const D3DVECTOR n = {ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
        const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (length > 0.0f && std::isfinite(length)) {
            face.normal = D3DVECTOR{n.x / length, n.y / length, n.z / length};
        } else {
            face.normal = D3DVECTOR{0.0f, 0.0f, 0.0f};
        }
    }
}

D3DVECTOR AverageToUnitNormal(const D3DVECTOR& sum, int count)
{
    const float divisor = static_cast<float>(count);
    const D3DVECTOR mean = {sum.x / divisor, sum.y / divisor, sum.z / divisor};
    const float length = std::sqrt(mean.x * mean.x + mean.y * mean.y + mean.z * mean.z);
    if (!(length > 0.0f) || !std::isfinite(length)) {
        return kDefaultNormal;
    }
    return D3DVECTOR{mean.x / length, mean.y / length, mean.z / length};
}

void ComputeCornerNormals(const MeshFace* faces, int faceCount, D3DVECTOR* cornerNormals)
{
    if (faceCount <= 0) {
        return;
    }
    const size_t cornerCount = static_cast<size_t>(faceCount) * 3;
    std::vector<NormalSum> sums;
    sums.reserve(cornerCount);
    std::vector<int32_t> sumOfCorner(cornerCount);
    MeshSlotTable table(cornerCount);

    // Faces are visited in increasing order, so each sum adds its face
    // normals in the same order as a scan over all faces would.
    for (int g = 0; g < faceCount; ++g) {
        const MeshFace& face = faces[g];
        for (int k = 0; k < 3; ++k) {
            const uint16_t v = face.corners[k];
            // A position that appears twice in a face counts the face once.
            if (k >= 1 && v == face.corners[0]) {
                sumOfCorner[g * 3 + k] = sumOfCorner[g * 3];
                continue;
            }
            if (k == 2 && v == face.corners[1]) {
                sumOfCorner[g * 3 + k] = sumOfCorner[g * 3 + 1];
                continue;
            }
            int32_t& slot = table.Find(NormalKeyHash(v, face.smoothingGroup, face.materialId), [&](int32_t e) {
                const NormalSum& s = sums[e];
                return s.position == v && s.smoothingGroup == face.smoothingGroup &&
                       s.materialId == face.materialId;
            });
            if (slot < 0) {
                slot = static_cast<int32_t>(sums.size());
                sums.push_back(NormalSum{v, face.smoothingGroup, face.materialId, D3DVECTOR{0.0f, 0.0f, 0.0f}, 0});
            }
            NormalSum& s = sums[slot];
            s.sum.x += face.normal.x;
            s.sum.y += face.normal.y;
            s.sum.z += face.normal.z;
            ++s.count;
            sumOfCorner[g * 3 + k] = slot;
        }
    }

    std::vector<D3DVECTOR> normals(sums.size());
    for (size_t i = 0; i < sums.size(); ++i) {
        normals[i] = AverageToUnitNormal(sums[i].sum, sums[i].count);
    }
    for (size_t i = 0; i < cornerCount; ++i) {
        cornerNormals[i] = normals[sumOfCorner[i]];
    }
}

bool VerticesEqual(const MeshVertex& a, const MeshVertex& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.nx == b.nx && a.ny == b.ny && a.nz == b.nz &&
           a.u == b.u && a.v == b.v && a.colour == b.colour;
}

int WeldVertices(const MeshVertex* candidates, int faceCount, int maxVertices,
                 std::vector<MeshVertex>* vertices, std::vector<uint16_t>* indices)
{
    return WeldVertices(
        [candidates](int face, MeshVertex corners[3]) {
            for (int k = 0; k < 3; ++k) {
                corners[k] = candidates[static_cast<size_t>(face) * 3 + k];
            }
        },
        faceCount, maxVertices, vertices, indices);
}

int WeldVertices(const FaceCornerFunction& corners, int faceCount, int maxVertices,
                 std::vector<MeshVertex>* vertices, std::vector<uint16_t>* indices)
{
    vertices->clear();
    indices->clear();
    if (faceCount <= 0) {
        return 0;
    }
    const size_t candidateCount = static_cast<size_t>(faceCount) * 3;
    indices->resize(candidateCount);
    vertices->reserve(std::min(candidateCount, static_cast<size_t>(maxVertices) + 1));
    // Maps a vertex value to the index of the last built vertex equal to it.
    MeshSlotTable table(std::min(candidateCount, static_cast<size_t>(maxVertices) + 1));

    for (int f = 0; f < faceCount; ++f) {
        MeshVertex corner[3];
        corners(f, corner);
        uint64_t hash[3];
        bool weldable[3];
        int32_t found[3];
        // All three corners are looked up before any of them is added.
        for (int k = 0; k < 3; ++k) {
            weldable[k] = !HasNaN(corner[k]);
            found[k] = -1;
            if (weldable[k]) {
                hash[k] = VertexHash(corner[k]);
                found[k] = table.Find(hash[k], [&](int32_t e) { return VerticesEqual((*vertices)[e], corner[k]); });
            }
        }
        for (int k = 0; k < 3; ++k) {
            int32_t index = found[k];
            if (index < 0) {
                if (static_cast<int>(vertices->size()) >= maxVertices) {
                    return 1;
                }
                index = static_cast<int32_t>(vertices->size());
                vertices->push_back(corner[k]);
                if (weldable[k]) {
                    table.Find(hash[k], [&](int32_t e) { return VerticesEqual((*vertices)[e], corner[k]); }) = index;
                }
            }
            (*indices)[static_cast<size_t>(f) * 3 + k] = static_cast<uint16_t>(index);
        }
    }
    return 0;
}

// How the swap procedure plays out. When position k holds a face of id m
// and k + 1 does not, the pass over l swaps k + 1 with each later m-face in
// turn: k + 1 ends with the last m-face, the non-m face from k + 1 lands in
// the first m-face's slot, and every other m-face moves on to the next
// m-slot. Position k + 1 then holds id m, so the same happens at k + 1 until
// no m-face is left. Position by position, a group thus takes first the
// m-faces directly after its first face (they need no swap), then the
// remaining m-faces from the back; each non-m face that the group's head
// meets is moved into the next unused m-slot. Only the moved faces change
// slots, so each group costs its own size plus the sort of its slots.
void MaterialGroupOrder(const int32_t* materialIds, int faceCount, int32_t* order)
{
    if (faceCount <= 0) {
        return;
    }
    const size_t count = static_cast<size_t>(faceCount);
    std::vector<int32_t> material(count);
    int32_t materialCount = 0;
    {
        std::unordered_map<int32_t, int32_t> dense;
        dense.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            auto inserted = dense.emplace(materialIds[i], materialCount);
            if (inserted.second) {
                ++materialCount;
            }
            material[i] = inserted.first->second;
        }
    }

    // slot -> face now in it
    std::vector<int32_t> face(count);
    for (size_t i = 0; i < count; ++i) {
        face[i] = static_cast<int32_t>(i);
    }

    // Per material, a linked list of slots that hold (or once held) one of
    // its faces; stale entries are filtered when the material's group forms.
    std::vector<int32_t> head(materialCount, -1);
    std::vector<int32_t> next;
    std::vector<int32_t> slotOf;
    next.reserve(count * 2);
    slotOf.reserve(count * 2);
    auto remember = [&](int32_t m, int32_t slot) {
        next.push_back(head[m]);
        slotOf.push_back(slot);
        head[m] = static_cast<int32_t>(slotOf.size()) - 1;
    };
    for (size_t i = count; i-- > 0;) {
        remember(material[i], static_cast<int32_t>(i));
    }

    std::vector<int32_t> slots;
    std::vector<int32_t> members;
    int32_t position = 0;
    const int32_t last = faceCount;
    while (position < last) {
        const int32_t m = material[face[position]];
        slots.clear();
        for (int32_t e = head[m]; e >= 0; e = next[e]) {
            const int32_t slot = slotOf[e];
            if (slot > position && material[face[slot]] == m) {
                slots.push_back(slot);
            }
        }
        head[m] = -1;
        std::sort(slots.begin(), slots.end());

        const size_t r = slots.size();
        members.resize(r);
        for (size_t i = 0; i < r; ++i) {
            members[i] = face[slots[i]];
        }
        size_t front = 0;
        size_t back = r;
        for (size_t i = 0; i < r; ++i) {
            const int32_t target = position + 1 + static_cast<int32_t>(i);
            const int32_t slot = slots[i];
            if (slot == target) {
                face[target] = members[front++];
            } else {
                const int32_t moved = face[target];
                face[slot] = moved;
                remember(material[moved], slot);
                face[target] = members[--back];
            }
        }
        position += static_cast<int32_t>(r) + 1;
    }
    std::copy(face.begin(), face.end(), order);
}

void ComputeBoundingBox(const MeshVertex* vertices, int count, D3DVECTOR* boxMin, D3DVECTOR* boxMax)
{
    D3DVECTOR lo = {1000000.0f, 1000000.0f, 1000000.0f};
    D3DVECTOR hi = {-1000000.0f, -1000000.0f, -1000000.0f};
    for (int i = 0; i < count; ++i) {
        const MeshVertex& v = vertices[i];
        if (v.x < lo.x) lo.x = v.x;
        if (v.y < lo.y) lo.y = v.y;
        if (v.z < lo.z) lo.z = v.z;
        if (v.x > hi.x) hi.x = v.x;
        if (v.y > hi.y) hi.y = v.y;
        if (v.z > hi.z) hi.z = v.z;
    }
    *boxMin = lo;
    *boxMax = hi;
}

VertexPositionIndex::VertexPositionIndex(const MeshVertex* vertices, int count)
    : m_table(count > 0 ? static_cast<size_t>(count) : 0)
{
    std::vector<int32_t> groupOf(count > 0 ? count : 0, -1);
    for (int i = 0; i < count; ++i) {
        const D3DVECTOR p = {vertices[i].x, vertices[i].y, vertices[i].z};
        if (HasNaN(p)) {
            continue; // equals nothing, so no position ever claims it
        }
        int32_t* slot = FindGroup(p);
        if (*slot < 0) {
            *slot = static_cast<int32_t>(m_groups.size());
            m_groups.push_back(Group{p, 0, 0, false});
        }
        ++m_groups[*slot].count;
        groupOf[i] = *slot;
    }
    int32_t offset = 0;
    for (Group& group : m_groups) {
        group.first = offset;
        offset += group.count;
        group.count = 0;
    }
    m_members.resize(offset);
    for (int i = 0; i < count; ++i) {
        if (groupOf[i] >= 0) {
            Group& group = m_groups[groupOf[i]];
            m_members[group.first + group.count++] = i;
        }
    }
}

int32_t* VertexPositionIndex::FindGroup(const D3DVECTOR& position)
{
    return &m_table.Find(PositionHash(position), [&](int32_t e) {
        const D3DVECTOR& q = m_groups[e].position;
        return q.x == position.x && q.y == position.y && q.z == position.z;
    });
}

const int32_t* VertexPositionIndex::Claim(const D3DVECTOR& position, int* count)
{
    *count = 0;
    if (HasNaN(position)) {
        return nullptr;
    }
    const int32_t slot = *FindGroup(position);
    if (slot < 0 || m_groups[slot].claimed) {
        return nullptr;
    }
    Group& group = m_groups[slot];
    group.claimed = true;
    *count = group.count;
    return m_members.data() + group.first;
}
