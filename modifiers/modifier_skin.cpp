#include "modifiers/modifier_skin.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "math/d3dx_math.h"
#include "math/engine_math.h"
#include "math/processor_features.h"
#include "modifiers/skin_wide.h"
#include "platform/report/report.h"

namespace {

// The skin's warnings carry fixed words in the box and the particular
// message in its title bar.
void SkinWarning(const char* title)
{
    Report(ReportSeverity::Warning, title, "CModifierSkin warning:");
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
    // Then block by block of kBlockVertices vertices (whose positions stay
    // in the first-level cache while the block's kinds run over them), kind
    // by kind within a block. Kinds 1 to 4 run two vertices at a time, so a
    // pair's influences are interleaved slot by slot (first vertex, second
    // vertex); a run's odd last vertex has its own influences in order.
    m_order.clear();
    m_firstInfluence.clear();
    m_influences.clear();
    m_runStart.clear();
    m_wide.Clear();
    m_runWideGroup.clear();
    m_wideReady = s_wideEnabled && ProcessorHasAvx512() && m_nbBone <= kSkinWideMaxBones &&
                  m_bones.size() <= static_cast<size_t>(kSkinWideMaxBones);
    std::vector<Influence> pair;
    for (size_t blockStart = 0; blockStart < vertexCount; blockStart += static_cast<size_t>(kBlockVertices)) {
        const size_t blockEnd = std::min(vertexCount, blockStart + static_cast<size_t>(kBlockVertices));
        for (int kind = 0; kind < kKindCount; ++kind) {
            // Kinds 1 to 4 keep their influences in one table only: the
            // sixteen-lane one when it serves, else the flat one.
            const bool wideKind = m_wideReady && kind != kUnmoved && kind != kSumOther;
            const int32_t start = static_cast<int32_t>(m_order.size());
            m_runStart.push_back(start);
            for (size_t v = blockStart; v < blockEnd; ++v) {
                if (kinds[v] == kind) {
                    m_order.push_back(static_cast<int32_t>(v));
                    m_firstInfluence.push_back(static_cast<int32_t>(m_influences.size()));
                    if (!wideKind) {
                        m_influences.insert(m_influences.end(), checked[v].begin(), checked[v].end());
                    }
                }
            }
            m_runWideGroup.push_back(static_cast<int32_t>(m_wide.groups.size()));
            if (wideKind) {
                // Vertices with the same bones side by side, so that lanes
                // often share a bone and take its matrix whole.
                std::vector<int32_t> run(m_order.begin() + start, m_order.end());
                std::stable_sort(run.begin(), run.end(), [&](int32_t a, int32_t b) {
                    const std::vector<Influence>& ia = checked[static_cast<size_t>(a)];
                    const std::vector<Influence>& ib = checked[static_cast<size_t>(b)];
                    return std::lexicographical_compare(
                        ia.begin(), ia.end(), ib.begin(), ib.end(),
                        [](const Influence& x, const Influence& y) { return x.bone < y.bone; });
                });
                const int32_t length = static_cast<int32_t>(run.size());
                for (int32_t g = 0; g < length; g += kSkinWideLanes) {
                    const int32_t* at = run.data() + g;
                    auto influence = [&](int s, int k) {
                        return checked[static_cast<size_t>(at[s])][static_cast<size_t>(k)];
                    };
                    m_wide.AddGroup(
                        at, std::min(kSkinWideLanes, length - g), kind,
                        [&](int s, int k) { return influence(s, k).bone; },
                        [&](int s, int k) { return influence(s, k).weight; });
                }
            }
            const int32_t pairs = (static_cast<int32_t>(m_order.size()) - start) / 2;
            if (wideKind || kind == kUnmoved || kind == kSumOther || pairs == 0) {
                continue;
            }
            const int n = kind;
            Influence* block = m_influences.data() + m_firstInfluence[static_cast<size_t>(start)];
            pair.resize(static_cast<size_t>(2 * n));
            for (int32_t p = 0; p < pairs; ++p, block += 2 * n) {
                for (int k = 0; k < n; ++k) {
                    pair[static_cast<size_t>(2 * k)] = block[k];
                    pair[static_cast<size_t>(2 * k + 1)] = block[n + k];
                }
                std::copy(pair.begin(), pair.end(), block);
            }
        }
    }
    m_runStart.push_back(static_cast<int32_t>(m_order.size()));
    m_runWideGroup.push_back(static_cast<int32_t>(m_wide.groups.size()));
    m_firstInfluence.push_back(static_cast<int32_t>(m_influences.size()));
    // The vectorised paths start from the bones' own matrices (the identity
    // until the first update), as the per-vertex path does.
    m_rows.resize(m_bones.size());
    CopySkinningMatrices();
}

void CModifierSkin::CopySkinningMatrices()
{
    for (size_t b = 0; b < m_rows.size() && b < m_bones.size(); ++b) {
        std::memcpy(m_rows[b].m, &m_bones[b].m_skinningMatrix, sizeof m_rows[b].m);
    }
    if (m_wideReady && !m_bones.empty()) {
        m_wide.SetMatrices(&m_bones.front().m_skinningMatrix, static_cast<int>(m_bones.size()), sizeof(SkinBone));
    }
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
    CopySkinningMatrices();
    if (changed) {
        Restamp();
    }
}

void CModifierSkin::setTime(const float*) {}

bool CModifierSkin::s_wideEnabled = true;

void CModifierSkin::EnableWidePath(bool enabled)
{
    s_wideEnabled = enabled;
}

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

// Puts the result lanes (x, y, z, anything) of vertex v in place: x, y, z
// from the lanes, nx and (with kCopy) the rest of the vertex from `in`.
template <bool kCopy>
inline void StoreSkinned(__m128 result, const MeshVertex* in, MeshVertex* out, int v)
{
    uint32_t rest[6];
    std::memcpy(rest, &in[v].nx, sizeof rest);
    _mm_storeu_ps(&out[v].x, result);
    std::memcpy(&out[v].nx, rest, kCopy ? sizeof rest : sizeof rest[0]);
}

// The weighted skinned place of the point in lanes 0 to 2 of p by `n`
// influences `stride` entries apart: ((0 + w0 T0) + w1 T1) + ...,
// or with Blend p + w (T - p) for the one influence.
template <int Influences, bool Blend, typename Influence, typename Rows>
inline __m128 SkinPoint(__m128 p, const Influence* influence, int n, int stride, const Rows* rows)
{
    const __m128 x = _mm_shuffle_ps(p, p, _MM_SHUFFLE(0, 0, 0, 0));
    const __m128 y = _mm_shuffle_ps(p, p, _MM_SHUFFLE(1, 1, 1, 1));
    const __m128 z = _mm_shuffle_ps(p, p, _MM_SHUFFLE(2, 2, 2, 2));
    if (Blend) {
        const __m128 t = TransformLanes(rows[influence->bone].m, x, y, z);
        return _mm_add_ps(p, _mm_mul_ps(_mm_set1_ps(influence->weight), _mm_sub_ps(t, p)));
    }
    __m128 result = _mm_setzero_ps();
#pragma GCC unroll 4
    for (int k = 0; k < (Influences > 0 ? Influences : n); ++k, influence += stride) {
        const __m128 t = TransformLanes(rows[influence->bone].m, x, y, z);
        result = _mm_add_ps(result, _mm_mul_ps(_mm_set1_ps(influence->weight), t));
    }
    return result;
}

// The vertices `order[0..count)` of one kind, each with `Influences`
// influences from `influence` on (kind 1 blends, the others add up; 0: any
// number, from `first`). Fixed counts run two vertices at a time, their
// influences interleaved, so that the two independent sums overlap. The
// position is read as (x, y, z, nx) and written back with nx unchanged;
// with kCopy the rest of the vertex is copied too.
template <int Influences, bool Blend, bool kCopy, typename Influence, typename Rows>
void SkinKind(const int32_t* order, int count, const Influence* influence, const int32_t* first, const Rows* rows,
              const MeshVertex* in, MeshVertex* out)
{
    constexpr int n = Blend ? 1 : Influences;
    int j = 0;
    if (n > 0) {
        for (; j + 1 < count; j += 2, influence += 2 * n) {
            const int v0 = order[j];
            const int v1 = order[j + 1];
            const __m128 p0 = _mm_loadu_ps(&in[v0].x);
            const __m128 p1 = _mm_loadu_ps(&in[v1].x);
            const __m128 r0 = SkinPoint<n, Blend>(p0, influence, n, 2, rows);
            const __m128 r1 = SkinPoint<n, Blend>(p1, influence + 1, n, 2, rows);
            StoreSkinned<kCopy>(r0, in, out, v0);
            StoreSkinned<kCopy>(r1, in, out, v1);
        }
    }
    for (; j < count; ++j) {
        const int v = order[j];
        const int influenceCount = n > 0 ? n : first[j + 1] - first[j];
        const __m128 p = _mm_loadu_ps(&in[v].x);
        const __m128 r = SkinPoint<n, Blend>(p, influence, influenceCount, 1, rows);
        influence += influenceCount;
        StoreSkinned<kCopy>(r, in, out, v);
    }
}

// Asks for the cache lines of vertices [begin, begin + blockVertices) of
// `out` and, with readIn, of `in`, within the first vertexCount.
inline void PrefetchBlock(const MeshVertex* in, MeshVertex* out, bool readIn, int begin, int vertexCount,
                          int blockVertices)
{
    if (begin >= vertexCount) {
        return;
    }
    const int end = std::min(vertexCount, begin + blockVertices);
    const char* from = reinterpret_cast<const char*>(out + begin);
    const char* to = reinterpret_cast<const char*>(out + end);
    const ptrdiff_t apart = reinterpret_cast<const char*>(in) - reinterpret_cast<const char*>(out);
    readIn = readIn && apart != 0;
    for (const char* line = from; line < to; line += 64) {
        _mm_prefetch(line, _MM_HINT_T0);
        if (readIn) {
            _mm_prefetch(line + apart, _MM_HINT_T0);
        }
    }
}

// Every run of the table: run r holds vertices of kind r % kKindCount, from
// order[runStart[r]] to order[runStart[r + 1] - 1]. Unmoved vertices are
// copied when out is not in (only their positions without kCopy). With
// `wide`, kinds 1 to 4 run sixteen at a time, run r being
// wide->groups[wideGroup[r]] to [wideGroup[r + 1] - 1], and with fromBase
// they read their positions from its lanes rather than from `in`.
template <bool kCopy, int kKinds, int kBlockVertices, typename Influence, typename Rows>
void SkinAllRuns(const int32_t* order, const int32_t* runStart, int runs, const Influence* influences,
                 const int32_t* first, const Rows* rows, const SkinWideTable* wide, const int32_t* wideGroup,
                 bool fromBase, const MeshVertex* in, MeshVertex* out, int vertexCount)
{
    for (int r = 0; r < runs; r += kKinds) {
        // The kinds of a block reach its vertices in no particular order, too
        // late for the processor to guess: ask for the next block ahead.
        PrefetchBlock(in, out, wide == nullptr || !fromBase, (r / kKinds + 1) * kBlockVertices, vertexCount,
                      kBlockVertices);
        const int32_t* start = runStart + r;
        auto count = [&](int kind) { return start[kind + 1] - start[kind]; };
        auto from = [&](int kind) { return influences + first[start[kind]]; };
        if (in != out) {
            for (int j = start[0]; j < start[1]; ++j) {
                if (kCopy) {
                    out[order[j]] = in[order[j]];
                } else {
                    std::memcpy(&out[order[j]].x, &in[order[j]].x, 3 * sizeof(float));
                }
            }
        }
        if (wide != nullptr) {
            for (int kind = 1; kind <= 4; ++kind) {
                const int32_t* groups = wideGroup + r + kind;
                SkinWideGroups(*wide, groups[0], groups[1] - groups[0], kind, kind == 1, kCopy, fromBase, in, out);
            }
        } else {
            SkinKind<1, true, kCopy>(order + start[1], count(1), from(1), first + start[1], rows, in, out);
            SkinKind<2, false, kCopy>(order + start[2], count(2), from(2), first + start[2], rows, in, out);
            SkinKind<3, false, kCopy>(order + start[3], count(3), from(3), first + start[3], rows, in, out);
            SkinKind<4, false, kCopy>(order + start[4], count(4), from(4), first + start[4], rows, in, out);
        }
        SkinKind<0, false, kCopy>(order + start[5], count(5), from(5), first + start[5], rows, in, out);
    }
}

} // namespace

void CModifierSkin::applyAll(const MeshVertex* in, MeshVertex* out, int count)
{
    Apply(in, out, count, out != in, false);
}

void CModifierSkin::applyFromBase(const MeshVertex* base, MeshVertex* out, int count)
{
    // The sixteen-lane path keeps the base positions laid out by lanes.
    Apply(base, out, count, false, m_wideReady && out != base);
}

void CModifierSkin::Apply(const MeshVertex* in, MeshVertex* out, int count, bool copyRest, bool fromBase)
{
    // Without a table from prepare, or for a mesh of another vertex count,
    // the literal per-vertex path.
    if (m_rows.size() != m_bones.size() || m_order.size() != m_vertices.size() ||
        static_cast<size_t>(count) != m_vertices.size() || m_runStart.empty()) {
        CModifier::applyAll(in, out, count);
        return;
    }
    const int runs = static_cast<int>(m_runStart.size()) - 1;
    const SkinWideTable* wide = m_wideReady ? &m_wide : nullptr;
    if (fromBase) {
        m_wide.KeepBase(in, count);
    }
    if (copyRest) {
        SkinAllRuns<true, kKindCount, kBlockVertices>(m_order.data(), m_runStart.data(), runs, m_influences.data(),
                                                      m_firstInfluence.data(), m_rows.data(), wide,
                                                      m_runWideGroup.data(), fromBase, in, out, count);
    } else {
        SkinAllRuns<false, kKindCount, kBlockVertices>(m_order.data(), m_runStart.data(), runs,
                                                       m_influences.data(), m_firstInfluence.data(), m_rows.data(),
                                                       wide, m_runWideGroup.data(), fromBase, in, out, count);
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
