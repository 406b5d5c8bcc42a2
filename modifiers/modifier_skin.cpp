#include "modifiers/modifier_skin.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "math/d3dx_math.h"
#include "math/engine_math.h"
#include "platform/win32/message_box.h"

namespace {

// The skin's warnings carry fixed words in the box and the particular
// message in its title bar.
void SkinWarning(const char* title)
{
    MessageBoxA(nullptr, "CModifierSkin warning:", title, MB_OK | MB_ICONWARNING);
}

// The inverse of m, or the identity when m cannot be inverted.
D3DMATRIX InverseOrIdentity(const D3DMATRIX& m)
{
    D3DMATRIX inverse;
    SetIdentity(&inverse);
    D3DXMatrixInverse(&inverse, nullptr, &m);
    return inverse;
}

// transformPoint of (x, y, z) by the matrix at `rows` (16-byte aligned), the
// three results in lanes 0 to 2: lane k is ((x * _1k + y * _2k) + z * _3k) +
// _4k, the same operations in the same order as the scalar transform.
inline __m128 TransformLanes(const float* rows, __m128 x, __m128 y, __m128 z)
{
    const __m128 r0 = _mm_load_ps(rows);
    const __m128 r1 = _mm_load_ps(rows + 4);
    const __m128 r2 = _mm_load_ps(rows + 8);
    const __m128 r3 = _mm_load_ps(rows + 12);
    return _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(x, r0), _mm_mul_ps(y, r1)), _mm_mul_ps(z, r2)), r3);
}

} // namespace

SkinBone::SkinBone() : m_world(nullptr)
{
    SetIdentity(&m_bindMatrix);
    SetIdentity(&m_offsetMatrix);
    SetIdentity(&m_skinningMatrix);
}

CModifierSkin::CModifierSkin() : CModifier(kSkin), m_nbVertex(0), m_nbBone(0)
{
    SetIdentity(&m_meshMatrix);
    SetIdentity(&m_inverseMeshMatrix);
}

CModifierSkin::~CModifierSkin()
{
    m_nbVertex = 0;
    m_nbBone = 0;
}

bool CModifierSkin::HasBone(int32_t bone) const
{
    return bone >= 0 && bone < m_nbBone && static_cast<size_t>(bone) < m_bones.size();
}

void CModifierSkin::prepare()
{
    m_inverseMeshMatrix = InverseOrIdentity(m_meshMatrix);
    for (SkinBone& bone : m_bones) {
        const D3DMATRIX inverseBind = InverseOrIdentity(bone.m_bindMatrix);
        D3DXMatrixMultiply(&bone.m_offsetMatrix, &m_meshMatrix, &inverseBind);
    }
    BuildInfluenceTable();
    Restamp();
}

void CModifierSkin::BuildInfluenceTable()
{
    // Each vertex's checked influences and its kind, in vertex order first.
    const size_t vertexCount = m_vertices.size();
    std::vector<uint8_t> kinds(vertexCount, kUnmoved);
    std::vector<std::vector<Influence>> checked(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) {
        const SkinVertex& vertex = m_vertices[v];
        const size_t count = std::min({static_cast<size_t>(vertex.m_nbBone > 0 ? vertex.m_nbBone : 0),
                                       vertex.m_boneIndices.size(), vertex.m_weights.size()});
        for (size_t i = 0; i < count; ++i) {
            if (HasBone(vertex.m_boneIndices[i])) {
                checked[v].push_back(Influence{vertex.m_boneIndices[i], vertex.m_weights[i]});
            }
        }
        if (vertex.m_nbBone == 1) {
            kinds[v] = checked[v].empty() ? kUnmoved : kBlendOne;
        } else if (vertex.m_nbBone > 1) {
            const size_t valid = checked[v].size();
            kinds[v] = static_cast<uint8_t>(valid >= 2 && valid <= 4 ? static_cast<int>(valid) : static_cast<int>(kSumOther));
        }
    }
    // Then kind by kind.
    m_order.clear();
    m_firstInfluence.clear();
    m_influences.clear();
    for (int kind = 0; kind < kKindCount; ++kind) {
        m_kindStart[kind] = static_cast<int32_t>(m_order.size());
        for (size_t v = 0; v < vertexCount; ++v) {
            if (kinds[v] == kind) {
                m_order.push_back(static_cast<int32_t>(v));
                m_firstInfluence.push_back(static_cast<int32_t>(m_influences.size()));
                m_influences.insert(m_influences.end(), checked[v].begin(), checked[v].end());
            }
        }
    }
    m_kindStart[kKindCount] = static_cast<int32_t>(m_order.size());
    m_firstInfluence.push_back(static_cast<int32_t>(m_influences.size()));
    m_rows.resize(m_bones.size());
}

void CModifierSkin::update()
{
    bool changed = false;
    for (SkinBone& bone : m_bones) {
        D3DMATRIX skinning;
        if (bone.m_world != nullptr) {
            D3DXMatrixMultiply(&skinning, &bone.m_offsetMatrix, bone.m_world);
            D3DXMatrixMultiply(&skinning, &skinning, &m_inverseMeshMatrix);
        } else {
            SetIdentity(&skinning);
        }
        if (std::memcmp(&skinning, &bone.m_skinningMatrix, sizeof skinning) != 0) {
            bone.m_skinningMatrix = skinning;
            changed = true;
        }
    }
    for (size_t b = 0; b < m_rows.size() && b < m_bones.size(); ++b) {
        std::memcpy(m_rows[b].m, &m_bones[b].m_skinningMatrix, sizeof m_rows[b].m);
    }
    if (changed) {
        Restamp();
    }
}

void CModifierSkin::setTime(const float*) {}

void CModifierSkin::apply(const MeshVertex* in, MeshVertex* out, int index)
{
    ApplyThroughDeformPoint(in, out, index);
}

void CModifierSkin::deformPoint(const D3DVECTOR* in, D3DVECTOR* out, int index)
{
    const D3DVECTOR p = *in;
    if (index < 0 || static_cast<size_t>(index) >= m_vertices.size()) {
        *out = p;
        return;
    }
    const SkinVertex& vertex = m_vertices[static_cast<size_t>(index)];
    const size_t count =
        std::min({static_cast<size_t>(vertex.m_nbBone > 0 ? vertex.m_nbBone : 0), vertex.m_boneIndices.size(),
                  vertex.m_weights.size()});
    if (vertex.m_nbBone == 1) {
        if (count == 0 || !HasBone(vertex.m_boneIndices[0])) {
            *out = p;
            return;
        }
        const D3DVECTOR t = transformPoint(m_bones[vertex.m_boneIndices[0]].m_skinningMatrix, p);
        const float w = vertex.m_weights[0];
        out->x = p.x + w * (t.x - p.x);
        out->y = p.y + w * (t.y - p.y);
        out->z = p.z + w * (t.z - p.z);
        return;
    }
    if (vertex.m_nbBone <= 0) {
        *out = p;
        return;
    }
    D3DVECTOR sum = {0.0f, 0.0f, 0.0f};
    for (size_t i = 0; i < count; ++i) {
        if (!HasBone(vertex.m_boneIndices[i])) {
            continue;
        }
        const D3DVECTOR t = transformPoint(m_bones[vertex.m_boneIndices[i]].m_skinningMatrix, p);
        const float w = vertex.m_weights[i];
        sum.x += w * t.x;
        sum.y += w * t.y;
        sum.z += w * t.z;
    }
    *out = sum;
}

namespace {

// The vertices `order[0..count)` of one kind, each with `Influences`
// influences from `influence` on (kind 1 blends, the others add up; 0: any
// number, from `first`). The position is read as (x, y, z, nx) and written
// back with nx unchanged; with kCopy the rest of the vertex is copied too.
template <int Influences, bool Blend, bool kCopy, typename Influence, typename Rows>
void SkinKind(const int32_t* order, int count, const Influence* influence, const int32_t* first, const Rows* rows,
              const MeshVertex* in, MeshVertex* out)
{
    for (int j = 0; j < count; ++j) {
        const int v = order[j];
        const __m128 p = _mm_loadu_ps(&in[v].x);
        const __m128 x = _mm_shuffle_ps(p, p, _MM_SHUFFLE(0, 0, 0, 0));
        const __m128 y = _mm_shuffle_ps(p, p, _MM_SHUFFLE(1, 1, 1, 1));
        const __m128 z = _mm_shuffle_ps(p, p, _MM_SHUFFLE(2, 2, 2, 2));
        __m128 result;
        if (Blend) {
            // p + w * (T - p)
            const __m128 t = TransformLanes(rows[influence->bone].m, x, y, z);
            result = _mm_add_ps(p, _mm_mul_ps(_mm_set1_ps(influence->weight), _mm_sub_ps(t, p)));
            ++influence;
        } else {
            // ((0 + w0 T0) + w1 T1) + ...
            const int n = Influences > 0 ? Influences : first[j + 1] - first[j];
            result = _mm_setzero_ps();
#pragma GCC unroll 4
            for (int k = 0; k < n; ++k, ++influence) {
                const __m128 t = TransformLanes(rows[influence->bone].m, x, y, z);
                result = _mm_add_ps(result, _mm_mul_ps(_mm_set1_ps(influence->weight), t));
            }
        }
        // The four lanes land on x, y, z and nx; nx and the rest of the
        // vertex are then put (back) in place.
        uint32_t rest[6];
        std::memcpy(rest, &in[v].nx, sizeof rest);
        _mm_storeu_ps(&out[v].x, result);
        if (kCopy) {
            std::memcpy(&out[v].nx, rest, sizeof rest);
        } else {
            std::memcpy(&out[v].nx, rest, sizeof rest[0]);
        }
    }
}

template <bool kCopy, typename Influence, typename Rows>
void SkinAllKinds(const int32_t* order, const int32_t* kindStart, const Influence* influences,
                  const int32_t* first, const Rows* rows, const MeshVertex* in, MeshVertex* out)
{
    auto run = [&](int kind) { return kindStart[kind + 1] - kindStart[kind]; };
    auto at = [&](int kind) { return order + kindStart[kind]; };
    auto from = [&](int kind) { return influences + first[kindStart[kind]]; };
    auto starts = [&](int kind) { return first + kindStart[kind]; };
    SkinKind<1, true, kCopy>(at(1), run(1), from(1), starts(1), rows, in, out);
    SkinKind<2, false, kCopy>(at(2), run(2), from(2), starts(2), rows, in, out);
    SkinKind<3, false, kCopy>(at(3), run(3), from(3), starts(3), rows, in, out);
    SkinKind<4, false, kCopy>(at(4), run(4), from(4), starts(4), rows, in, out);
    SkinKind<0, false, kCopy>(at(5), run(5), from(5), starts(5), rows, in, out);
}

} // namespace

void CModifierSkin::applyAll(const MeshVertex* in, MeshVertex* out, int count)
{
    // Without a table from prepare, or for a mesh of another vertex count,
    // the literal per-vertex path.
    if (m_rows.size() != m_bones.size() || m_order.size() != m_vertices.size() ||
        static_cast<size_t>(count) != m_vertices.size()) {
        CModifier::applyAll(in, out, count);
        return;
    }
    if (out != in) {
        for (int j = m_kindStart[kUnmoved]; j < m_kindStart[kUnmoved + 1]; ++j) {
            out[m_order[j]] = in[m_order[j]];
        }
        SkinAllKinds<true>(m_order.data(), m_kindStart, m_influences.data(), m_firstInfluence.data(), m_rows.data(),
                           in, out);
    } else {
        SkinAllKinds<false>(m_order.data(), m_kindStart, m_influences.data(), m_firstInfluence.data(),
                            m_rows.data(), in, out);
    }
}

// ---- Bone binding ----------------------------------------------------------

void CModifierSkin::setBoneMatrix(const D3DMATRIX* world, unsigned int index)
{
    if (m_bones.empty() || m_nbBone == 0) {
        SkinWarning("setBoneMatrix: no bone");
        return;
    }
    if (index >= static_cast<unsigned int>(m_nbBone) || index >= m_bones.size()) {
        SkinWarning("setBoneMatrix: not so much bone");
        return;
    }
    m_bones[index].m_world = world;
}

const char* CModifierSkin::getBoneName(unsigned int index) const
{
    if (m_bones.empty() || m_nbBone == 0) {
        SkinWarning("getBoneName: no bone");
        return nullptr;
    }
    if (index >= static_cast<unsigned int>(m_nbBone) || index >= m_bones.size()) {
        SkinWarning("getBoneMatrix: not so much bone");
        return nullptr;
    }
    return m_bones[index].m_name.c_str();
}
