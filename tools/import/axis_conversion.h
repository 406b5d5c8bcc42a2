// The importer's one change of axes. Models come from the library in its own
// right-handed frame with +Y up; the engine is left-handed with +Y up and
// reads KVF files in right-handed Z-up axes ((x, y, z) -> (-x, z, -y)).
// A model point (X, Y, Z) is stored as (-X, Z, Y), which the engine reads as
// (X, Y, -Z): +X and +Y stay, +Z turns towards the default camera, and the
// file keeps the model's winding (the change is a rotation, not a mirror).
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
