// The modifier chain of a mesh: every modifier over every vertex in list
// order, the box refreshed from the result and the vertex buffer rewritten.
#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d8/d3d8.h"
#include "scene/mesh.h"
#include "scene/mesh_builder.h"

namespace {

// A NaN or infinite weight, matrix or parameter anywhere in the chain would
// put a position into the vertex buffer that poisons the box and the frustum
// test built on it: such a position keeps its base value instead.
inline void KeepFinite(MeshVertex* v, const MeshVertex& base)
{
    if (!std::isfinite(v->x) || !std::isfinite(v->y) || !std::isfinite(v->z)) {
        v->x = base.x;
        v->y = base.y;
        v->z = base.z;
    }
}

// KeepFinite on every vertex and the box of the result, in one pass. The box
// rule (a coordinate replaces the minimum when strictly less, the maximum
// when strictly greater, from 1000000 and -1000000) is exactly what
// _mm_min_ps(v, lo) and _mm_max_ps(v, hi) compute lane by lane.
void FinishDeformation(MeshVertex* deformed, const MeshVertex* base, int n, D3DVECTOR* boxMin, D3DVECTOR* boxMax)
{
    __m128 lo = _mm_set1_ps(1000000.0f);
    __m128 hi = _mm_set1_ps(-1000000.0f);
    for (int i = 0; i < n; ++i) {
        __m128 p = _mm_loadu_ps(&deformed[i].x); // x, y, z and nx, unused
        // p - p is 0 for finite lanes and NaN otherwise.
        const __m128 zero = _mm_sub_ps(p, p);
        if ((_mm_movemask_ps(_mm_cmpunord_ps(zero, zero)) & 7) != 0) {
            KeepFinite(&deformed[i], base[i]);
            p = _mm_loadu_ps(&deformed[i].x);
        }
        lo = _mm_min_ps(p, lo);
        hi = _mm_max_ps(p, hi);
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, lo);
    *boxMin = D3DVECTOR{lanes[0], lanes[1], lanes[2]};
    _mm_store_ps(lanes, hi);
    *boxMax = D3DVECTOR{lanes[0], lanes[1], lanes[2]};
}

bool SameBits(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

void CMesh::PrepareDeformation()
{
    const int n = std::max(0, std::min(vertexCount, static_cast<int>(baseVertices.size())));
    ComputeBoundingBox(baseVertices.data(), n, &boxMin, &boxMax);
    if (!modifiers.Empty()) {
        deformedVertices.assign(baseVertices.begin(), baseVertices.begin() + n);
    }
}

uint64_t CMesh::ModifierStamp() const
{
    uint64_t sum = 0;
    for (const CModifier* modifier : modifiers) {
        sum += modifier->stamp();
    }
    return sum;
}

void CMesh::DeformVertices()
{
    if (modifiers.Empty()) {
        return;
    }
    const int n = std::max(0, std::min(vertexCount, static_cast<int>(baseVertices.size())));
    // Prepare allocates the deformed vertices; a mesh deformed without it
    // gets them once here.
    if (deformedVertices.size() != static_cast<size_t>(n)) {
        deformedVertices.assign(baseVertices.begin(), baseVertices.begin() + n);
    }
    // The deformed copy differs from the base only in positions (modifiers
    // write nothing else), so the first modifier writes just those and the
    // others work in place.
    const MeshVertex* base = baseVertices.data();
    MeshVertex* deformed = deformedVertices.data();
    bool first = true;
    for (CModifier* modifier : modifiers) {
        if (first) {
            modifier->applyPositions(base, deformed, n);
        } else {
            modifier->applyAll(deformed, deformed, n);
        }
        first = false;
    }
    FinishDeformation(deformed, baseVertices.data(), n, &boxMin, &boxMax);
}

void CMesh::EvaluateModifiers()
{
    if (modifiers.Empty()) {
        return;
    }
    // The chain is a function of the base vertices (fixed) and the modifiers'
    // state (their stamps): when neither changed since the last upload into
    // this buffer, the buffer and the box already hold the result.
    const uint64_t stamp = ModifierStamp();
    if (vertexBuffer != nullptr && vertexBuffer == m_uploadedBuffer && stamp == m_uploadedStamp &&
        SameBits(boxMin, m_uploadedBoxMin) && SameBits(boxMax, m_uploadedBoxMax)) {
        return;
    }
    DeformVertices();
    if (vertexBuffer == nullptr || deformedVertices.empty()) {
        return;
    }
    const UINT bytes = static_cast<UINT>(deformedVertices.size() * sizeof(MeshVertex));
    BYTE* data = nullptr;
    // A buffer that cannot be locked keeps last frame's contents.
    if (vertexBuffer->Lock(0, bytes, &data, 0) != D3D_OK || data == nullptr) {
        m_uploadedBuffer = nullptr;
        return;
    }
    std::memcpy(data, deformedVertices.data(), bytes);
    vertexBuffer->Unlock();
    m_uploadedBuffer = vertexBuffer;
    m_uploadedStamp = stamp;
    m_uploadedBoxMin = boxMin;
    m_uploadedBoxMax = boxMax;
}

void CMesh::DeformVertex(int index, MeshVertex* out)
{
    if (index < 0 || static_cast<size_t>(index) >= baseVertices.size()) {
        *out = MeshVertex{};
        return;
    }
    const MeshVertex& base = baseVertices[static_cast<size_t>(index)];
    *out = base;
    bool first = true;
    for (CModifier* modifier : modifiers) {
        modifier->apply(first ? &base : out, out, index);
        first = false;
    }
    if (!modifiers.Empty()) {
        KeepFinite(out, base);
    }
}
