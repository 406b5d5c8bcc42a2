#include "modifiers/modifier_skin.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "math/d3dx_math.h"
#include "math/engine_math.h"
#include "platform/message_box.h"

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

// transformPoint of (x, y, z) by the matrix at `rows`, the three results in
// lanes 0 to 2: lane k is ((x * _1k + y * _2k) + z * _3k) + _4k, the same
// operations in the same order as the scalar transform.
inline __m128 TransformLanes(const float* rows, __m128 x, __m128 y, __m128 z)
{
    const __m128 r0 = _mm_loadu_ps(rows);
    const __m128 r1 = _mm_loadu_ps(rows + 4);
    const __m128 r2 = _mm_loadu_ps(rows + 8);
    const __m128 r3 = _mm_loadu_ps(rows + 12);
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
    const size_t vertexCount = m_vertices.size();
    m_blend.assign(vertexCount, kUnmoved);
    m_firstInfluence.assign(vertexCount + 1, 0);
    m_influences.clear();
    for (size_t v = 0; v < vertexCount; ++v) {
        const SkinVertex& vertex = m_vertices[v];
        m_firstInfluence[v] = static_cast<int32_t>(m_influences.size());
        if (vertex.m_nbBone == 1) {
            if (!vertex.m_boneIndices.empty() && !vertex.m_weights.empty() && HasBone(vertex.m_boneIndices[0])) {
                m_blend[v] = kBlendOne;
                m_influences.push_back(Influence{vertex.m_boneIndices[0], vertex.m_weights[0]});
            }
        } else if (vertex.m_nbBone > 1) {
            m_blend[v] = kBlendSum;
            const size_t count = std::min({static_cast<size_t>(vertex.m_nbBone), vertex.m_boneIndices.size(),
                                           vertex.m_weights.size()});
            for (size_t i = 0; i < count; ++i) {
                if (HasBone(vertex.m_boneIndices[i])) {
                    m_influences.push_back(Influence{vertex.m_boneIndices[i], vertex.m_weights[i]});
                }
            }
        }
    }
    m_firstInfluence[vertexCount] = static_cast<int32_t>(m_influences.size());
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

void CModifierSkin::applyAll(const MeshVertex* in, MeshVertex* out, int count)
{
    // Without a table from prepare, or for vertices beyond it, the literal
    // per-vertex path.
    if (m_firstInfluence.empty()) {
        CModifier::applyAll(in, out, count);
        return;
    }
    const int tabled = std::min(count, static_cast<int>(m_blend.size()));
    const Influence* influences = m_influences.data();
    const SkinBone* bones = m_bones.data();
    for (int i = 0; i < tabled; ++i) {
        const MeshVertex& source = in[i];
        const float px = source.x, py = source.y, pz = source.z;
        if (out != in) {
            out[i] = source;
        }
        const uint8_t blend = m_blend[i];
        if (blend == kUnmoved) {
            continue;
        }
        const __m128 x = _mm_set1_ps(px);
        const __m128 y = _mm_set1_ps(py);
        const __m128 z = _mm_set1_ps(pz);
        const int first = m_firstInfluence[i];
        const int end = m_firstInfluence[i + 1];
        __m128 result;
        if (blend == kBlendOne) {
            const Influence& influence = influences[first];
            const __m128 t = TransformLanes(&bones[influence.bone].m_skinningMatrix._11, x, y, z);
            const __m128 p = _mm_setr_ps(px, py, pz, 0.0f);
            result = _mm_add_ps(p, _mm_mul_ps(_mm_set1_ps(influence.weight), _mm_sub_ps(t, p)));
        } else {
            result = _mm_setzero_ps();
            for (int k = first; k < end; ++k) {
                const Influence& influence = influences[k];
                const __m128 t = TransformLanes(&bones[influence.bone].m_skinningMatrix._11, x, y, z);
                result = _mm_add_ps(result, _mm_mul_ps(_mm_set1_ps(influence.weight), t));
            }
        }
        alignas(16) float lanes[4];
        _mm_store_ps(lanes, result);
        out[i].x = lanes[0];
        out[i].y = lanes[1];
        out[i].z = lanes[2];
    }
    for (int i = tabled; i < count; ++i) {
        if (out != in) {
            out[i] = in[i];
        }
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
