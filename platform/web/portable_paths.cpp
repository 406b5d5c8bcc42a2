// The browser build's stand-ins for the engine's x86-only paths: WebAssembly
// has no AVX-512, so the wide skin is never chosen and the end of a
// deformation pass runs vertex by vertex, with the same results as the
// desktop build's paths.
#include <cmath>

#include "math/processor_features.h"
#include "modifiers/skin_wide.h"
#include "scene/deformed_box.h"

bool ProcessorHasAvx512()
{
    return false;
}

void KeepFinite(MeshVertex* v, const MeshVertex& base)
{
    if (!std::isfinite(v->x) || !std::isfinite(v->y) || !std::isfinite(v->z)) {
        v->x = base.x;
        v->y = base.y;
        v->z = base.z;
    }
}

void FinishDeformation(MeshVertex* deformed, const MeshVertex* base, int n, D3DVECTOR* boxMin, D3DVECTOR* boxMax)
{
    D3DVECTOR lo{1000000.0f, 1000000.0f, 1000000.0f};
    D3DVECTOR hi{-1000000.0f, -1000000.0f, -1000000.0f};
    for (int i = 0; i < n; ++i) {
        KeepFinite(&deformed[i], base[i]);
        const MeshVertex& v = deformed[i];
        lo.x = v.x < lo.x ? v.x : lo.x;
        lo.y = v.y < lo.y ? v.y : lo.y;
        lo.z = v.z < lo.z ? v.z : lo.z;
        hi.x = v.x > hi.x ? v.x : hi.x;
        hi.y = v.y > hi.y ? v.y : hi.y;
        hi.z = v.z > hi.z ? v.z : hi.z;
    }
    *boxMin = lo;
    *boxMax = hi;
}

// Reached only on processors with AVX-512.
void SkinWideTable::KeepBase(const MeshVertex*, int) {}
void SkinWideTable::SetMatrices(const D3DMATRIX*, int, size_t) {}
void SkinWideGroups(const SkinWideTable&, int, int, int, bool, bool, bool, const MeshVertex*, MeshVertex*) {}
