#include "scene/mesh_builder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "scene/mesh_hash_table.h"

namespace {

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
    // Most positions are shared by several faces of one group: the table
    // starts small (a large one would not stay in the cache) and doubles
    // when it fills.
    MeshSlotTable table(static_cast<size_t>(faceCount) / 2 + 16);
    auto slotOf = [&](uint16_t v, int32_t smoothingGroup, int32_t materialId) -> int32_t& {
        return table.Find(NormalKeyHash(v, smoothingGroup, materialId), [&](int32_t e) {
            const NormalSum& s = sums[e];
            return s.position == v && s.smoothingGroup == smoothingGroup && s.materialId == materialId;
        });
    };

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
            int32_t& found = slotOf(v, face.smoothingGroup, face.materialId);
            int32_t slot = found;
            if (slot < 0) {
                slot = static_cast<int32_t>(sums.size());
                sums.push_back(NormalSum{v, face.smoothingGroup, face.materialId, D3DVECTOR{0.0f, 0.0f, 0.0f}, 0});
                if (!table.Full(sums.size())) {
                    found = slot;
                } else {
                    table = MeshSlotTable(sums.size() * 2);
                    for (size_t e = 0; e < sums.size(); ++e) {
                        slotOf(sums[e].position, sums[e].smoothingGroup, sums[e].materialId) = static_cast<int32_t>(e);
                    }
                }
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
    // Each candidate is its own position.
    const size_t count = faceCount > 0 ? static_cast<size_t>(faceCount) * 3 : 0;
    std::vector<D3DVECTOR> positions(count);
    std::vector<int32_t> positionIndices(count);
    for (size_t i = 0; i < count; ++i) {
        positions[i] = D3DVECTOR{candidates[i].x, candidates[i].y, candidates[i].z};
        positionIndices[i] = static_cast<int32_t>(i);
    }
    VertexWelder welder(positions.data(), static_cast<int>(count), faceCount, maxVertices, vertices);
    indices->assign(count, 0);
    for (int f = 0; f < faceCount; f += VertexWelder::kBlockFaces) {
        const int blockFaces = std::min(faceCount - f, static_cast<int>(VertexWelder::kBlockFaces));
        const size_t first = static_cast<size_t>(f) * 3;
        if (!welder.AddFaces(candidates + first, positionIndices.data() + first, blockFaces, indices->data() + first)) {
            return 1;
        }
    }
    return 0;
}

namespace {

// At most three vertices per face. The welding table has room for that
// many at once: sparse, most searches for a new vertex end at an empty slot
// without touching another vertex.
size_t MostVertices(int faceCount, int maxVertices)
{
    const size_t candidates = faceCount > 0 ? static_cast<size_t>(faceCount) * 3 : 0;
    return std::min(candidates, static_cast<size_t>(maxVertices) + 1);
}

// The vertex's 36 bytes as nine words, the eight floats' with -0.0 folded
// onto 0.0 so that vertices that compare equal hash equally, mixed by
// independent multiplies that can run side by side. A vertex with a NaN
// hashes like any other; it equals nothing, so it is never found.
uint64_t WeldHash(const MeshVertex& v)
{
    static_assert(sizeof(MeshVertex) == 9 * sizeof(uint32_t), "nine words");
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&v);
    // Two float words of the vertex as one 64-bit lane, the bits of a zero
    // (either sign) cleared without a branch.
    auto lane = [bytes](int word) {
        uint32_t lo, hi;
        std::memcpy(&lo, bytes + 4 * word, sizeof lo);
        std::memcpy(&hi, bytes + 4 * word + 4, sizeof hi);
        lo &= 0u - static_cast<uint32_t>((lo << 1) != 0);
        hi &= 0u - static_cast<uint32_t>((hi << 1) != 0);
        return static_cast<uint64_t>(lo) | static_cast<uint64_t>(hi) << 32;
    };
    // Words 0-5 the position and normal, 6 the colour, 7-8 u and v.
    const uint64_t a = lane(0) * 0x9E3779B97F4A7C15ull;
    const uint64_t b = lane(2) * 0xC2B2AE3D27D4EB4Full;
    const uint64_t c = lane(4) * 0x165667B19E3779F9ull;
    uint32_t colour;
    std::memcpy(&colour, bytes + 24, sizeof colour);
    const uint64_t d = lane(7) * 0xD6E8FEB86659FD93ull;
    const uint64_t e = (static_cast<uint64_t>(colour) + 1) * 0xFF51AFD7ED558CCDull;
    return MeshHashFinish((a ^ (b >> 29 | b << 35)) + ((c >> 13 | c << 51) ^ (d >> 41 | d << 23)) + e);
}

} // namespace

namespace {

// A search compares a candidate with at most this many vertices at its
// position before it turns to the hash table.
constexpr int kListSearch = 8;

// Everything but the position: normal, u, v compared as floats, the colour
// as an integer.
bool SameAttributes(const MeshVertex& a, const MeshVertex& b)
{
    return a.nx == b.nx && a.ny == b.ny && a.nz == b.nz && a.u == b.u && a.v == b.v && a.colour == b.colour;
}

} // namespace

VertexWelder::VertexWelder(const D3DVECTOR* positions, int positionCount, int faceCount, int maxVertices,
                           std::vector<MeshVertex>* vertices)
    : m_vertices(vertices), m_maxVertices(maxVertices), m_table(0)
{
    vertices->clear();
    vertices->reserve(MostVertices(faceCount, maxVertices));
    m_older.reserve(MostVertices(faceCount, maxVertices));

    // Positions that compare equal as floats share a class.
    const size_t count = positionCount > 0 ? static_cast<size_t>(positionCount) : 0;
    m_classOf.assign(count, -1);
    std::vector<int32_t> representative; // class -> its first position
    MeshSlotTable classes(count);
    for (size_t i = 0; i < count; ++i) {
        const D3DVECTOR& p = positions[i];
        if (HasNaN(p)) {
            continue;
        }
        int32_t& slot = classes.Find(PositionHash(p), [&](int32_t c) {
            const D3DVECTOR& q = positions[representative[c]];
            return q.x == p.x && q.y == p.y && q.z == p.z;
        });
        if (slot < 0) {
            slot = static_cast<int32_t>(representative.size());
            representative.push_back(static_cast<int32_t>(i));
        }
        m_classOf[i] = slot;
    }
    m_newest.assign(representative.size(), -1);
}

int32_t& VertexWelder::SlotOf(const MeshVertex& vertex, uint64_t hash)
{
    const MeshVertex* built = m_vertices->data();
    return m_table.Find(hash, [&](int32_t e) { return VerticesEqual(built[e], vertex); });
}

void VertexWelder::BuildTable()
{
    m_table = MeshSlotTable(m_vertices->capacity());
    // In build order, so that of equal vertices the last keeps the slot.
    for (size_t i = 0; i < m_vertices->size(); ++i) {
        SlotOf((*m_vertices)[i], WeldHash((*m_vertices)[i])) = static_cast<int32_t>(i);
    }
    m_tableBuilt = true;
}

int32_t VertexWelder::FindEqual(const MeshVertex& vertex, int32_t positionClass)
{
    if (positionClass < 0) {
        return -1;
    }
    const MeshVertex* built = m_vertices->data();
    int searched = 0;
    for (int32_t e = m_newest[positionClass]; e >= 0; e = m_older[e]) {
        if (SameAttributes(built[e], vertex)) {
            return e;
        }
        if (++searched == kListSearch && m_older[e] >= 0) {
            if (!m_tableBuilt) {
                BuildTable();
            }
            return SlotOf(vertex, WeldHash(vertex));
        }
    }
    return -1;
}

bool VertexWelder::AddFaces(const MeshVertex* corners, const int32_t* positionIndices, int faceCount, uint16_t* indices)
{
    const int count = std::min(faceCount, static_cast<int>(kBlockFaces)) * 3;
    for (int f = 0; f * 3 < count; ++f) {
        const MeshVertex* corner = corners + f * 3;
        int32_t positionClass[3];
        int32_t found[3];
        // All three corners are looked up before any of them is added.
        for (int k = 0; k < 3; ++k) {
            positionClass[k] = m_classOf[positionIndices[f * 3 + k]];
            found[k] = FindEqual(corner[k], positionClass[k]);
        }
        for (int k = 0; k < 3; ++k) {
            int32_t index = found[k];
            if (index < 0) {
                if (static_cast<int>(m_vertices->size()) >= m_maxVertices) {
                    return false;
                }
                index = static_cast<int32_t>(m_vertices->size());
                m_vertices->push_back(corner[k]);
                const int32_t c = positionClass[k];
                m_older.push_back(c >= 0 ? m_newest[c] : -1);
                if (c >= 0) {
                    m_newest[c] = index;
                }
                if (m_tableBuilt) {
                    SlotOf(corner[k], WeldHash(corner[k])) = index;
                }
            }
            indices[f * 3 + k] = static_cast<uint16_t>(index);
        }
    }
    return true;
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
    // When every face has face 0's id no swap ever happens.
    if (std::all_of(materialIds, materialIds + count, [&](int32_t id) { return id == materialIds[0]; })) {
        for (size_t i = 0; i < count; ++i) {
            order[i] = static_cast<int32_t>(i);
        }
        return;
    }
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
