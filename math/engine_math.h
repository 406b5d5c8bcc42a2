// The engine's own math: quaternions as the animation controllers use them,
// the view-frustum planes with their visibility test, and the point
// transform. Everything works on 32-bit floats in plain structures and
// allocates nothing.
#pragma once

#include "platform/d3d8/d3d8_types.h"

class IDirect3DDevice8;

// Vector part first, scalar last; (0, 0, 0, 1) is the identity rotation.
struct Quaternion {
    float x, y, z, w;
};

constexpr float kHalfPi = 1.5707964f;
constexpr float kPi = 3.14159265f;

// ---- Vectors ---------------------------------------------------------------

inline D3DVECTOR MakeVector(float x, float y, float z)
{
    return D3DVECTOR{x, y, z};
}
D3DVECTOR VectorAdd(const D3DVECTOR& a, const D3DVECTOR& b);
D3DVECTOR VectorSubtract(const D3DVECTOR& a, const D3DVECTOR& b);
D3DVECTOR VectorScale(const D3DVECTOR& v, float s);
D3DVECTOR VectorCross(const D3DVECTOR& a, const D3DVECTOR& b);
float VectorDot(const D3DVECTOR& a, const D3DVECTOR& b);
float VectorLength(const D3DVECTOR& v);

// ---- Matrices --------------------------------------------------------------

void SetIdentity(D3DMATRIX* m);
// (p.x, p.y, p.z, 1) * M without the fourth column and without division by w.
inline D3DVECTOR transformPoint(const D3DMATRIX& m, const D3DVECTOR& p)
{
    return D3DVECTOR{p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41,
                     p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42,
                     p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43};
}

// ---- Quaternions -----------------------------------------------------------

inline Quaternion MakeQuaternion(float x, float y, float z, float w)
{
    return Quaternion{x, y, z, w};
}
// The length, or 1 for the zero quaternion.
float length(const Quaternion& q);
float dot(const Quaternion& p, const Quaternion& q);
float cosAngle(const Quaternion& p, const Quaternion& q);
// The Hamilton product p * q.
Quaternion multiply(const Quaternion& p, const Quaternion& q);
// The conjugate divided by the squared length (the zero quaternion stays zero).
Quaternion inverse(const Quaternion& q);
// q becomes its conjugate divided by its length (not its squared length).
void invertInPlace(Quaternion* q);
// exp of the pure quaternion (v, 0).
Quaternion Exp(const D3DVECTOR& v);
Quaternion logPure(const Quaternion& q);
// The logarithm of inverse(p) * q, with the angle taken from cosAngle(p, q).
Quaternion LnDif(const Quaternion& p, const Quaternion& q);
// (axis * sin(angle / 2), cos(angle / 2)); the axis is used as given.
Quaternion fromAxisAngle(const D3DVECTOR& axis, float angle);
// Spherical blend from p (t = 0) to q (t = 1) sweeping spin extra half turns;
// the sign of q is never flipped and nearly equal inputs blend linearly.
Quaternion SlerpSpin(const Quaternion& p, const Quaternion& q, float t, float spin);
// The rotation matrix of q scaled to unit length (2 / squared length); the
// zero quaternion gives the identity.
void toMatrix(const Quaternion& q, D3DMATRIX* out);

// ---- Frustum ---------------------------------------------------------------

struct Plane {
    float a, b, c, d;
};

// The six planes, inside where a*x + b*y + c*z + d > 0.
class FrustumPlanes {
public:
    enum { kRight = 0, kLeft, kBottom, kTop, kFar, kNear, kPlaneCount };

    FrustumPlanes();
    // Rebuilds the planes from the device's current view and projection.
    void extract(IDirect3DDevice8* device);
    // Rebuilds the planes from view * projection.
    void build(const D3DMATRIX& view, const D3DMATRIX& projection);
    // False when some plane has every point on or behind it (an empty set is
    // never visible); conservative otherwise.
    bool isVisible(const D3DVECTOR* points, int count) const;

    Plane planes[kPlaneCount];
};
