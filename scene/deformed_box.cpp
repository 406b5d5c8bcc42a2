// GCC 12's masked AVX-512 intrinsics start from an undefined register and
// draw a false "may be used uninitialized" at every use.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include "scene/deformed_box.h"

#include <immintrin.h>

#include <cmath>
#include <cstdint>

#include "math/processor_features.h"

void KeepFinite(MeshVertex* v, const MeshVertex& base)
{
    if (!std::isfinite(v->x) || !std::isfinite(v->y) || !std::isfinite(v->z)) {
        v->x = base.x;
        v->y = base.y;
        v->z = base.z;
    }
}

namespace {

// Vertex by vertex. The rule is exactly what _mm_min_ps(v, lo) and
// _mm_max_ps(v, hi) compute lane by lane.
void FinishInOrder(MeshVertex* deformed, const MeshVertex* base, int n, D3DVECTOR* boxMin, D3DVECTOR* boxMax)
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

// Coordinate c of the first vertex where it is +0 or -0 (there is one).
float FirstZero(const MeshVertex* deformed, int n, int c)
{
    for (int i = 0; i < n; ++i) {
        const float value = c == 0 ? deformed[i].x : c == 1 ? deformed[i].y : deformed[i].z;
        if (value == 0.0f) {
            return value;
        }
    }
    return 0.0f;
}

constexpr int kBlockVertices = 16; // 16 vertices are 144 floats: nine 512-bit registers
constexpr int kBlockRegisters = 9;

// The lanes of register r of a block that hold x, y or z.
struct PositionLanes {
    uint16_t mask[kBlockRegisters];
};

constexpr PositionLanes MakePositionLanes()
{
    PositionLanes lanes{};
    for (int r = 0; r < kBlockRegisters; ++r) {
        for (int lane = 0; lane < 16; ++lane) {
            lanes.mask[r] = static_cast<uint16_t>(lanes.mask[r] | ((16 * r + lane) % 9 < 3 ? 1u : 0u) << lane);
        }
    }
    return lanes;
}

constexpr PositionLanes kPositionLanes = MakePositionLanes();

// The box of deformed[0..n) sixteen vertices at a time, reading the array as
// a stream of floats: register r of a block always holds the same fields in
// the same lanes, so each keeps its own minimum and maximum and the fields
// are gathered at the end: apart from the sign of a zero, a minimum or a
// maximum does not depend on the order it is taken in. Returns false,
// having changed nothing, when a position is NaN or infinite, which the
// in-order pass puts back vertex by vertex.
__attribute__((target("avx512f"))) bool FinishWide(const MeshVertex* deformed, int n, D3DVECTOR* boxMin,
                                                   D3DVECTOR* boxMax)
{
    __m512 lo[kBlockRegisters];
    __m512 hi[kBlockRegisters];
    for (int r = 0; r < kBlockRegisters; ++r) {
        lo[r] = _mm512_set1_ps(1000000.0f);
        hi[r] = _mm512_set1_ps(-1000000.0f);
    }
    // Position lanes that held a NaN; an infinity shows as a side of the box.
    __mmask16 nan = 0;
    const float* at = &deformed[0].x;
    const int blocks = n / kBlockVertices;
    for (int b = 0; b < blocks; ++b, at += kBlockVertices * 9) {
#pragma GCC unroll 9
        for (int r = 0; r < kBlockRegisters; ++r) {
            const __m512 v = _mm512_loadu_ps(at + 16 * r);
            nan |= _mm512_mask_cmp_ps_mask(kPositionLanes.mask[r], v, v, _CMP_UNORD_Q);
            lo[r] = _mm512_min_ps(v, lo[r]);
            hi[r] = _mm512_max_ps(v, hi[r]);
        }
    }
    if (nan != 0) {
        return false;
    }
    alignas(64) float los[kBlockRegisters * 16];
    alignas(64) float his[kBlockRegisters * 16];
    for (int r = 0; r < kBlockRegisters; ++r) {
        _mm512_store_ps(los + 16 * r, lo[r]);
        _mm512_store_ps(his + 16 * r, hi[r]);
    }
    float low[3] = {1000000.0f, 1000000.0f, 1000000.0f};
    float high[3] = {-1000000.0f, -1000000.0f, -1000000.0f};
    for (int i = 0; i < kBlockRegisters * 16; ++i) {
        const int field = i % 9;
        if (field < 3) {
            low[field] = los[i] < low[field] ? los[i] : low[field];
            high[field] = his[i] > high[field] ? his[i] : high[field];
        }
    }
    for (int i = blocks * kBlockVertices; i < n; ++i) {
        const float p[3] = {deformed[i].x, deformed[i].y, deformed[i].z};
        for (int c = 0; c < 3; ++c) {
            if (!std::isfinite(p[c])) {
                return false;
            }
            low[c] = p[c] < low[c] ? p[c] : low[c];
            high[c] = p[c] > high[c] ? p[c] : high[c];
        }
    }
    for (int c = 0; c < 3; ++c) {
        if (!std::isfinite(low[c]) || !std::isfinite(high[c])) {
            return false;
        }
        // A side at zero is, by the in-order rule, the first zero of that
        // coordinate with its sign: later zeros are not strictly less or
        // greater.
        if (low[c] == 0.0f || high[c] == 0.0f) {
            const float zero = FirstZero(deformed, n, c);
            low[c] = low[c] == 0.0f ? zero : low[c];
            high[c] = high[c] == 0.0f ? zero : high[c];
        }
    }
    *boxMin = D3DVECTOR{low[0], low[1], low[2]};
    *boxMax = D3DVECTOR{high[0], high[1], high[2]};
    return true;
}

} // namespace

void FinishDeformation(MeshVertex* deformed, const MeshVertex* base, int n, D3DVECTOR* boxMin, D3DVECTOR* boxMax)
{
    if (n >= kBlockVertices && ProcessorHasAvx512() && FinishWide(deformed, n, boxMin, boxMax)) {
        return;
    }
    FinishInOrder(deformed, base, n, boxMin, boxMax);
}
