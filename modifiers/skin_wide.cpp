// GCC 12's AVX-512 unpack and extract intrinsics start from an undefined
// register and draw a false "may be used uninitialized" at every use.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
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

bool SkinWideSupported()
{
    static const bool supported = __builtin_cpu_supports("avx512f");
    return supported;
}

namespace {

// Element e of every lane's bone, from the two halves of the element table.
ZOLT_AVX512 inline __m512 Pick(const float* element, __m512i bones)
{
    return _mm512_permutex2var_ps(_mm512_load_ps(element), bones, _mm512_load_ps(element + 16));
}

// Lane c of transformPoint for every lane: ((x * _1c + y * _2c) + z * _3c) + _4c.
ZOLT_AVX512 inline __m512 TransformColumn(const SkinWideTable& table, int c, __m512i bones, __m512 x, __m512 y,
                                          __m512 z)
{
    const __m512 xy = _mm512_add_ps(_mm512_mul_ps(x, Pick(table.elements[c], bones)),
                                    _mm512_mul_ps(y, Pick(table.elements[3 + c], bones)));
    return _mm512_add_ps(_mm512_add_ps(xy, _mm512_mul_ps(z, Pick(table.elements[6 + c], bones))),
                         Pick(table.elements[9 + c], bones));
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

// x, y, z of the vertex at byte offset `at` from the lanes; nx (and with
// kCopy the rest of the vertex) from `in`.
template <bool kCopy>
inline void StoreOne(__m128 lanes, const char* in, char* out, int32_t at)
{
    constexpr size_t kRest = sizeof(MeshVertex) - offsetof(MeshVertex, nx);
    uint8_t rest[kRest];
    std::memcpy(rest, in + at + offsetof(MeshVertex, nx), kRest);
    _mm_storeu_ps(reinterpret_cast<float*>(out + at), lanes);
    std::memcpy(out + at + offsetof(MeshVertex, nx), rest, kCopy ? kRest : sizeof(float));
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

template <bool kCopy, int kInfluences, bool kBlend>
ZOLT_AVX512 void Groups(const SkinWideTable& table, int first, int count, const MeshVertex* inVertices,
                        MeshVertex* outVertices)
{
    const char* in = reinterpret_cast<const char*>(inVertices);
    char* out = reinterpret_cast<char*>(outVertices);
    for (int g = first; g < first + count; ++g) {
        const SkinWideTable::Group& group = table.groups[static_cast<size_t>(g)];
        __m512 x = LoadFour(in, group.offset);
        __m512 y = LoadFour(in, group.offset + 4);
        __m512 z = LoadFour(in, group.offset + 8);
        __m512 w = LoadFour(in, group.offset + 12);
        Transpose(x, y, z, w); // x, y, z and nx of every lane
        const SkinWideTable::Slot* slot = &table.slots[static_cast<size_t>(group.firstSlot)];
        __m512 rx, ry, rz;
        if (kBlend) {
            // p + w * (T - p)
            const __m512i bones = _mm512_load_si512(slot->bone);
            const __m512 weight = _mm512_load_ps(slot->weight);
            rx = _mm512_add_ps(x, _mm512_mul_ps(weight, _mm512_sub_ps(TransformColumn(table, 0, bones, x, y, z), x)));
            ry = _mm512_add_ps(y, _mm512_mul_ps(weight, _mm512_sub_ps(TransformColumn(table, 1, bones, x, y, z), y)));
            rz = _mm512_add_ps(z, _mm512_mul_ps(weight, _mm512_sub_ps(TransformColumn(table, 2, bones, x, y, z), z)));
        } else {
            // ((0 + w0 T0) + w1 T1) + ...
            rx = ry = rz = _mm512_setzero_ps();
            for (int k = 0; k < kInfluences; ++k, ++slot) {
                const __m512i bones = _mm512_load_si512(slot->bone);
                const __m512 weight = _mm512_load_ps(slot->weight);
                rx = _mm512_add_ps(rx, _mm512_mul_ps(weight, TransformColumn(table, 0, bones, x, y, z)));
                ry = _mm512_add_ps(ry, _mm512_mul_ps(weight, TransformColumn(table, 1, bones, x, y, z)));
                rz = _mm512_add_ps(rz, _mm512_mul_ps(weight, TransformColumn(table, 2, bones, x, y, z)));
            }
        }
        Transpose(rx, ry, rz, w); // back to (x, y, z, nx) per vertex
        if (group.count == kSkinWideLanes) {
            StoreFour<kCopy>(rx, in, out, group.offset, 4);
            StoreFour<kCopy>(ry, in, out, group.offset + 4, 4);
            StoreFour<kCopy>(rz, in, out, group.offset + 8, 4);
            StoreFour<kCopy>(w, in, out, group.offset + 12, 4);
        } else {
            const int n = group.count;
            StoreFour<kCopy>(rx, in, out, group.offset, n);
            StoreFour<kCopy>(ry, in, out, group.offset + 4, n - 4);
            StoreFour<kCopy>(rz, in, out, group.offset + 8, n - 8);
            StoreFour<kCopy>(w, in, out, group.offset + 12, n - 12);
        }
    }
}

template <bool kCopy>
void GroupsOfCount(const SkinWideTable& table, int first, int count, int influences, bool blend,
                   const MeshVertex* in, MeshVertex* out)
{
    if (blend) {
        Groups<kCopy, 1, true>(table, first, count, in, out);
        return;
    }
    switch (influences) {
    case 1: Groups<kCopy, 1, false>(table, first, count, in, out); break;
    case 2: Groups<kCopy, 2, false>(table, first, count, in, out); break;
    case 3: Groups<kCopy, 3, false>(table, first, count, in, out); break;
    case 4: Groups<kCopy, 4, false>(table, first, count, in, out); break;
    default: break;
    }
}

} // namespace

void SkinWideGroups(const SkinWideTable& table, int first, int count, int influences, bool blend, bool copyRest,
                    const MeshVertex* in, MeshVertex* out)
{
    if (copyRest) {
        GroupsOfCount<true>(table, first, count, influences, blend, in, out);
    } else {
        GroupsOfCount<false>(table, first, count, influences, blend, in, out);
    }
}
