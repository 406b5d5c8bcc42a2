// The importer's one change of axes. Models come from the library in its own
// right-handed frame with +Y up; KVF files are right-handed with +Z up, the
// axes of the modelling tool the engine's scenes come from, which the engine
// reads as (x, y, z) -> (-x, z, -y). A model point (X, Y, Z) is stored as
// (X, -Z, Y), the usual turn from Y-up to Z-up (it takes a 3DS model back to
// the tool's own coordinates), and the engine reads it as (-X, Y, Z). The
// change is a rotation, not a mirror, so the file keeps the model's winding
// and the engine's own mirror and winding reversal do the rest.
#pragma once

#include <assimp/types.h>

#include "tools/kvf_writer/kvf_writer.h"

namespace import {

// A model-frame point or direction in file axes.
kvf::Vec3 ToFile(const aiVector3D& v);
// A model-frame scale in the file's scale layout (the engine swaps y and z).
kvf::Vec3 ScaleToFile(const aiVector3D& s);
// A model-frame rotation as the file's axis and angle (radians): the axis in
// file axes, the angle as the engine turns about it.
void RotationToFile(const aiQuaternion& q, kvf::Vec3* axis, float* angle);
// A model-frame transform (column vectors, the library's layout) as the
// file's twelve floats (row vectors, file axes).
kvf::Matrix43 MatrixToFile(const aiMatrix4x4& m);

} // namespace import
