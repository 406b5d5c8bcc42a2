// The end of a deformation pass: positions that came out NaN or infinite get
// their base value back (one would poison the box and the frustum test built
// on it), and the box of the result.
#pragma once

#include "platform/d3d8/d3d8_types.h"
#include "scene/mesh_vertex.h"

// Puts back the base position of `v` when a coordinate is NaN or infinite.
void KeepFinite(MeshVertex* v, const MeshVertex& base);

// KeepFinite on the n vertices and the box of the result, by the box rule (a
// coordinate replaces the minimum when strictly less, the maximum when
// strictly greater, from 1000000 and -1000000, in vertex order).
void FinishDeformation(MeshVertex* deformed, const MeshVertex* base, int n, D3DVECTOR* boxMin, D3DVECTOR* boxMax);
