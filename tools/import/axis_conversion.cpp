#include "tools/import/axis_conversion.h"

#include <cmath>

namespace import {

kvf::Vec3 ToFile(const aiVector3D& v)
{
    return {v.x, -v.z, v.y};
}

kvf::Vec3 ScaleToFile(const aiVector3D& s)
{
    // The engine reads (x, y, z) as (x, z, y); the model's scale along Z is
    // the engine's along Z.
    return {s.x, s.z, s.y};
}

void RotationToFile(const aiQuaternion& rotation, kvf::Vec3* axis, float* angle)
{
    aiQuaternion q = rotation;
    q.Normalize();
    if (q.w < 0.0f) {
        q = aiQuaternion(-q.w, -q.x, -q.y, -q.z);
    }
    // atan2 keeps small angles exact where acos of w would not.
    const float s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    aiVector3D a(0.0f, 0.0f, 1.0f);
    if (s > 0.0f) {
        a = aiVector3D(q.x / s, q.y / s, q.z / s);
    }
    // The engine's frame is the model's mirrored in X, which turns a
    // rotation about a into one about (-ax, ay, az) by the opposite angle.
    *axis = ToFile(a);
    *angle = -2.0f * std::atan2(s, q.w);
}

kvf::Matrix43 MatrixToFile(const aiMatrix4x4& m)
{
    // Row-vector form of m is its transpose; the file's is G^T * m^T * G
    // with G the change of a row vector (x, y, z) -> (x, -z, y).
    const float t[4][3] = {
        {m.a1, m.b1, m.c1},
        {m.a2, m.b2, m.c2},
        {m.a3, m.b3, m.c3},
        {m.a4, m.b4, m.c4},
    };
    auto row = [](const float* r) { return kvf::Vec3{r[0], -r[2], r[1]}; };
    // G^T on the left exchanges and negates rows the same way.
    const kvf::Vec3 r0 = row(t[0]), r1 = row(t[1]), r2 = row(t[2]), r3 = row(t[3]);
    const kvf::Vec3 rows[4] = {r0, {-r2.x, -r2.y, -r2.z}, r1, r3};
    kvf::Matrix43 out;
    for (int i = 0; i < 4; ++i) {
        out.m[i * 3 + 0] = rows[i].x;
        out.m[i * 3 + 1] = rows[i].y;
        out.m[i * 3 + 2] = rows[i].z;
    }
    return out;
}

} // namespace import
