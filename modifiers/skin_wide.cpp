// GCC 12's AVX-512 unpack and extract intrinsics start from an undefined
// register and draw a false "may be used uninitialized" at every use.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include "modifiers/skin_wide.h"

#include <immintrin.h>

#include <cstddef>
#include <cstring>

#define ZOLT_AVX512 __attribute__((target("avx512f")))

void SkinWideTable::SetMatrices(const D3DMATRIX* skinning, int boneCount, size_t stride)
{
    const int bones = boneCount < kSkinWideMaxBones ? boneCount : kSkinWideMaxBones;
    const char* at = reinterpret_cast<const char*>(skinning);
    for (int b = 0; b < bones; ++b, at += stride) {
        const D3DMATRIX& m = *reinterpret_cast<const D3DMATRIX*>(at);
        for (int e = 0; e < 12; ++e) {
            elements[e][b] = m.m[e / 3][e % 3];
        }
    }
}

void SkinWideTable::KeepBase(const MeshVertex* vertices, int count)
{
    if (baseSource == vertices && baseCount == count && base.size() == groups.size()) {
        return;
    }
    base.resize(groups.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        for (int lane = 0; lane < kSkinWideLanes; ++lane) {
            const MeshVertex& v =
                vertices[groups[g].offset[SkinWideSlotOfLane(lane)] / static_cast<int32_t>(sizeof(MeshVertex))];
            base[g].x[lane] = v.x;
            base[g].y[lane] = v.y;
            base[g].z[lane] = v.z;
            base[g].nx[lane] = v.nx;
        }
    }
    baseSource = vertices;
    baseCount = count;
}

namespace {

// Column c of transformPoint for every lane, ((x * _1c + y * _2c) + z * _3c)
// + _4c, with the matrix of the slot's bones: broadcast when every lane has
// the same bone, else picked per lane from the element table (bones 0 to 15
// in its first half, 16 to 31 in its second).
ZOLT_AVX512 inline __m512 TransformColumn(const SkinWideTable& table, const SkinWideTable::Slot& slot, bool uniform,
                                          int c, __m512 x, __m512 y, __m512 z)
{
    __m512 e[4];
    if (uniform) {
        const int bone = slot.bone[0];
#pragma GCC unroll 4
        for (int r = 0; r < 4; ++r) {
            e[r] = _mm512_set1_ps(table.elements[3 * r + c][bone]);
        }
    } else {
        const __m512i bones = _mm512_cvtepu8_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(slot.bone)));
#pragma GCC unroll 4
        for (int r = 0; r < 4; ++r) {
            const float* element = table.elements[3 * r + c];
            e[r] = _mm512_permutex2var_ps(_mm512_load_ps(element), bones, _mm512_load_ps(element + 16));
        }
    }
    const __m512 xy = _mm512_add_ps(_mm512_mul_ps(x, e[0]), _mm512_mul_ps(y, e[1]));
    return _mm512_add_ps(_mm512_add_ps(xy, _mm512_mul_ps(z, e[2])), e[3]);
}

// The 4 x 4 transposition inside each 128-bit lane of a, b, c and d.
ZOLT_AVX512 inline void Transpose(__m512& a, __m512& b, __m512& c, __m512& d)
{
    const __m512d t0 = _mm512_castps_pd(_mm512_unpacklo_ps(a, b));
    const __m512d t1 = _mm512_castps_pd(_mm512_unpackhi_ps(a, b));
    const __m512d t2 = _mm512_castps_pd(_mm512_unpacklo_ps(c, d));
    const __m512d t3 = _mm512_castps_pd(_mm512_unpackhi_ps(c, d));
    a = _mm512_castpd_ps(_mm512_unpacklo_pd(t0, t2));
    b = _mm512_castpd_ps(_mm512_unpackhi_pd(t0, t2));
    c = _mm512_castpd_ps(_mm512_unpacklo_pd(t1, t3));
    d = _mm512_castpd_ps(_mm512_unpackhi_pd(t1, t3));
}

// The vertices at byte offsets at[0] to at[3] as (x, y, z, nx), one per
// 128-bit lane.
ZOLT_AVX512 inline __m512 LoadFour(const char* in, const int32_t* at)
{
    __m512 r = _mm512_castps128_ps512(_mm_loadu_ps(reinterpret_cast<const float*>(in + at[0])));
    r = _mm512_insertf32x4(r, _mm_loadu_ps(reinterpret_cast<const float*>(in + at[1])), 1);
    r = _mm512_insertf32x4(r, _mm_loadu_ps(reinterpret_cast<const float*>(in + at[2])), 2);
    return _mm512_insertf32x4(r, _mm_loadu_ps(reinterpret_cast<const float*>(in + at[3])), 3);
}

// x, y, z and nx of the vertex at byte offset `at` from the lanes (nx is
// the input's, carried through the transpositions); with kCopy the rest of
// the vertex from `in`.
template <bool kCopy>
inline void StoreOne(__m128 lanes, const char* in, char* out, int32_t at)
{
    constexpr size_t kRest = sizeof(MeshVertex) - offsetof(MeshVertex, ny);
    uint8_t rest[kRest];
    if (kCopy) {
        std::memcpy(rest, in + at + offsetof(MeshVertex, ny), kRest);
    }
    _mm_storeu_ps(reinterpret_cast<float*>(out + at), lanes);
    if (kCopy) {
        std::memcpy(out + at + offsetof(MeshVertex, ny), rest, kRest);
    }
}

// The first `n` (at most four) of the vertices at byte offsets v[0..3]
// from the 128-bit lanes of r.
template <bool kCopy>
ZOLT_AVX512 inline void StoreFour(__m512 r, const char* in, char* out, const int32_t* v, int n)
{
    if (n > 0) {
        StoreOne<kCopy>(_mm512_castps512_ps128(r), in, out, v[0]);
    }
    if (n > 1) {
        StoreOne<kCopy>(_mm512_extractf32x4_ps(r, 1), in, out, v[1]);
    }
    if (n > 2) {
        StoreOne<kCopy>(_mm512_extractf32x4_ps(r, 2), in, out, v[2]);
    }
    if (n > 3) {
        StoreOne<kCopy>(_mm512_extractf32x4_ps(r, 3), in, out, v[3]);
    }
}

// kGroups groups from table.groups[g] on, side by side so that the
// processor works on one while the other waits for its results. Every loop
// over the groups is unrolled, so that their registers stay registers
// rather than arrays on the stack.
template <bool kCopy, bool kFromBase, int kInfluences, bool kBlend, int kGroups>
ZOLT_AVX512 inline void SkinGroups(const SkinWideTable& table, int g, const char* in, char* out)
{
    const SkinWideTable::Group* group[kGroups];
    const SkinWideTable::Slot* slot[kGroups];
    __m512 x[kGroups], y[kGroups], z[kGroups], w[kGroups];
    __m512 rx[kGroups], ry[kGroups], rz[kGroups];
#pragma GCC unroll 4
    for (int i = 0; i < kGroups; ++i) {
        group[i] = &table.groups[static_cast<size_t>(g + i)];
        slot[i] = &table.slots[static_cast<size_t>(group[i]->firstSlot)];
        if (kFromBase) {
            const SkinWideTable::Lanes& lanes = table.base[static_cast<size_t>(g + i)];
            x[i] = _mm512_load_ps(lanes.x);
            y[i] = _mm512_load_ps(lanes.y);
            z[i] = _mm512_load_ps(lanes.z);
            w[i] = _mm512_load_ps(lanes.nx);
        } else {
            x[i] = LoadFour(in, group[i]->offset);
            y[i] = LoadFour(in, group[i]->offset + 4);
            z[i] = LoadFour(in, group[i]->offset + 8);
            w[i] = LoadFour(in, group[i]->offset + 12);
            Transpose(x[i], y[i], z[i], w[i]); // x, y, z and nx of every lane
        }
        rx[i] = ry[i] = rz[i] = _mm512_setzero_ps();
    }
#pragma GCC unroll 4
    for (int k = 0; k < kInfluences; ++k) {
#pragma GCC unroll 4
        for (int i = 0; i < kGroups; ++i) {
            const SkinWideTable::Slot& s = slot[i][k];
            const bool uniform = (group[i]->uniform >> k & 1u) != 0;
            const __m512 weight = _mm512_loadu_ps(s.weight);
            const __m512 tx = TransformColumn(table, s, uniform, 0, x[i], y[i], z[i]);
            const __m512 ty = TransformColumn(table, s, uniform, 1, x[i], y[i], z[i]);
            const __m512 tz = TransformColumn(table, s, uniform, 2, x[i], y[i], z[i]);
            if (kBlend) {
                // p + w * (T - p)
                rx[i] = _mm512_add_ps(x[i], _mm512_mul_ps(weight, _mm512_sub_ps(tx, x[i])));
                ry[i] = _mm512_add_ps(y[i], _mm512_mul_ps(weight, _mm512_sub_ps(ty, y[i])));
                rz[i] = _mm512_add_ps(z[i], _mm512_mul_ps(weight, _mm512_sub_ps(tz, z[i])));
            } else {
                // ((0 + w0 T0) + w1 T1) + ...
                rx[i] = _mm512_add_ps(rx[i], _mm512_mul_ps(weight, tx));
                ry[i] = _mm512_add_ps(ry[i], _mm512_mul_ps(weight, ty));
                rz[i] = _mm512_add_ps(rz[i], _mm512_mul_ps(weight, tz));
            }
        }
    }
#pragma GCC unroll 4
    for (int i = 0; i < kGroups; ++i) {
        Transpose(rx[i], ry[i], rz[i], w[i]); // back to (x, y, z, nx) per vertex
        const int32_t* at = group[i]->offset;
        const int n = group[i]->count;
        if (n == kSkinWideLanes) {
            StoreFour<kCopy>(rx[i], in, out, at, 4);
            StoreFour<kCopy>(ry[i], in, out, at + 4, 4);
            StoreFour<kCopy>(rz[i], in, out, at + 8, 4);
            StoreFour<kCopy>(w[i], in, out, at + 12, 4);
        } else {
            StoreFour<kCopy>(rx[i], in, out, at, n);
            StoreFour<kCopy>(ry[i], in, out, at + 4, n - 4);
            StoreFour<kCopy>(rz[i], in, out, at + 8, n - 8);
            StoreFour<kCopy>(w[i], in, out, at + 12, n - 12);
        }
    }
}

template <bool kCopy, bool kFromBase, int kInfluences, bool kBlend>
ZOLT_AVX512 void Groups(const SkinWideTable& table, int first, int count, const MeshVertex* inVertices,
                        MeshVertex* outVertices)
{
    const char* in = reinterpret_cast<const char*>(inVertices);
    char* out = reinterpret_cast<char*>(outVertices);
    int g = first;
    for (; g + 1 < first + count; g += 2) {
        SkinGroups<kCopy, kFromBase, kInfluences, kBlend, 2>(table, g, in, out);
    }
    if (g < first + count) {
        SkinGroups<kCopy, kFromBase, kInfluences, kBlend, 1>(table, g, in, out);
    }
}

template <bool kCopy, bool kFromBase>
void GroupsOfCount(const SkinWideTable& table, int first, int count, int influences, bool blend,
                   const MeshVertex* in, MeshVertex* out)
{
    if (blend) {
        Groups<kCopy, kFromBase, 1, true>(table, first, count, in, out);
        return;
    }
    switch (influences) {
    case 1: Groups<kCopy, kFromBase, 1, false>(table, first, count, in, out); break;
    case 2: Groups<kCopy, kFromBase, 2, false>(table, first, count, in, out); break;
    case 3: Groups<kCopy, kFromBase, 3, false>(table, first, count, in, out); break;
    case 4: Groups<kCopy, kFromBase, 4, false>(table, first, count, in, out); break;
    default: break;
    }
}

} // namespace

void SkinWideGroups(const SkinWideTable& table, int first, int count, int influences, bool blend, bool copyRest,
                    bool fromBase, const MeshVertex* in, MeshVertex* out)
{
    if (fromBase) {
        GroupsOfCount<false, true>(table, first, count, influences, blend, in, out);
    } else if (copyRest) {
        GroupsOfCount<true, false>(table, first, count, influences, blend, in, out);
    } else {
        GroupsOfCount<false, false>(table, first, count, influences, blend, in, out);
    }
}
