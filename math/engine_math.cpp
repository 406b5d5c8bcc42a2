#include "math/engine_math.h"

#include <cmath>

#include "math/d3dx_math.h"
#include "platform/d3d8/d3d8.h"

// ---- Vectors ---------------------------------------------------------------

D3DVECTOR VectorAdd(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return D3DVECTOR{a.x + b.x, a.y + b.y, a.z + b.z};
}

D3DVECTOR VectorSubtract(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return D3DVECTOR{a.x - b.x, a.y - b.y, a.z - b.z};
}

D3DVECTOR VectorScale(const D3DVECTOR& v, float s)
{
    return D3DVECTOR{v.x * s, v.y * s, v.z * s};
}

D3DVECTOR VectorCross(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return D3DVECTOR{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float VectorDot(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

float VectorLength(const D3DVECTOR& v)
{
    return std::sqrt(VectorDot(v, v));
}

// ---- Matrices --------------------------------------------------------------

void SetIdentity(D3DMATRIX* m)
{
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            m->m[row][column] = row == column ? 1.0f : 0.0f;
        }
    }
}

// ---- Quaternions -----------------------------------------------------------

float length(const Quaternion& q)
{
    const float l = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    return l == 0.0f ? 1.0f : l;
}

float dot(const Quaternion& p, const Quaternion& q)
{
    return p.x * q.x + p.y * q.y + p.z * q.z + p.w * q.w;
}

float cosAngle(const Quaternion& p, const Quaternion& q)
{
    return dot(p, q) / (length(p) * length(q));
}

Quaternion multiply(const Quaternion& p, const Quaternion& q)
{
    Quaternion r;
    r.w = p.w * q.w - (p.x * q.x + p.y * q.y + p.z * q.z);
    r.x = q.w * p.x + p.w * q.x + (p.y * q.z - p.z * q.y);
    r.y = q.w * p.y + p.w * q.y + (p.z * q.x - p.x * q.z);
    r.z = q.w * p.z + p.w * q.z + (p.x * q.y - p.y * q.x);
    return r;
}

Quaternion inverse(const Quaternion& q)
{
    float n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    if (n == 0.0f) {
        n = 1.0f;
    }
    return Quaternion{-q.x / n, -q.y / n, -q.z / n, q.w / n};
}

void invertInPlace(Quaternion* q)
{
    const float l = length(*q);
    *q = Quaternion{-q->x / l, -q->y / l, -q->z / l, q->w / l};
}

Quaternion Exp(const D3DVECTOR& v)
{
    const float theta = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    const float s = theta > 0.0f ? std::sin(theta) / theta : 1.0f;
    return Quaternion{v.x * s, v.y * s, v.z * s, std::cos(theta)};
}

Quaternion logPure(const Quaternion& q)
{
    const float vectorLength = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    const float f = q.w != 0.0f ? std::atan(vectorLength / q.w) : kHalfPi;
    return Quaternion{q.x * f, q.y * f, q.z * f, 0.0f};
}

Quaternion LnDif(const Quaternion& p, const Quaternion& q)
{
    const Quaternion r = multiply(inverse(p), q);
    const float c = cosAngle(p, q);
    const float a = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
    float phi = c != 0.0f ? std::atan(a / c) : kHalfPi;
    if (a != 0.0f) {
        phi /= a;
    }
    return Quaternion{r.x * phi, r.y * phi, r.z * phi, 0.0f};
}

Quaternion fromAxisAngle(const D3DVECTOR& axis, float angle)
{
    const float s = std::sin(angle * 0.5f);
    return Quaternion{axis.x * s, axis.y * s, axis.z * s, std::cos(angle * 0.5f)};
}

Quaternion SlerpSpin(const Quaternion& p, const Quaternion& q, float t, float spin)
{
    const float c = dot(p, q);
    float a;
    float b;
    if (1.0f - std::fabs(c) >= 0.001f) {
        const float theta = std::acos(c);
        const float phi = t * (theta + spin * kPi);
        const float s = std::sin(theta);
        a = std::sin(phi) / s;
        b = std::sin(theta - phi) / s;
    } else {
        a = t;
        b = 1.0f - t;
    }
    return Quaternion{a * q.x + b * p.x, a * q.y + b * p.y, a * q.z + b * p.z, a * q.w + b * p.w};
}

void toMatrix(const Quaternion& q, D3DMATRIX* out)
{
    const float n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    const float s = n != 0.0f ? 2.0f / n : 1.0f;
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    out->_11 = 1.0f - s * (y * y + z * z);
    out->_12 = s * (x * y + w * z);
    out->_13 = s * (x * z - w * y);
    out->_14 = 0.0f;
    out->_21 = s * (x * y - w * z);
    out->_22 = 1.0f - s * (x * x + z * z);
    out->_23 = s * (y * z + w * x);
    out->_24 = 0.0f;
    out->_31 = s * (x * z + w * y);
    out->_32 = s * (y * z - w * x);
    out->_33 = 1.0f - s * (x * x + y * y);
    out->_34 = 0.0f;
    out->_41 = 0.0f;
    out->_42 = 0.0f;
    out->_43 = 0.0f;
    out->_44 = 1.0f;
}

// ---- Frustum ---------------------------------------------------------------

FrustumPlanes::FrustumPlanes() : planes{}
{
}

void FrustumPlanes::extract(IDirect3DDevice8* device)
{
    D3DMATRIX view;
    D3DMATRIX projection;
    SetIdentity(&view);
    SetIdentity(&projection);
    device->GetTransform(D3DTS_VIEW, &view);
    device->GetTransform(D3DTS_PROJECTION, &projection);
    build(view, projection);
}

void FrustumPlanes::build(const D3DMATRIX& view, const D3DMATRIX& projection)
{
    D3DXMATRIX m;
    D3DXMatrixMultiply(&m, &view, &projection);
    // Column k of m is (m[0][k], m[1][k], m[2][k], m[3][k]).
    auto combine = [&m](Plane* plane, int column, float sign) {
        plane->a = m.m[0][3] + sign * m.m[0][column];
        plane->b = m.m[1][3] + sign * m.m[1][column];
        plane->c = m.m[2][3] + sign * m.m[2][column];
        plane->d = m.m[3][3] + sign * m.m[3][column];
    };
    combine(&planes[kRight], 0, -1.0f);
    combine(&planes[kLeft], 0, 1.0f);
    combine(&planes[kBottom], 1, 1.0f);
    combine(&planes[kTop], 1, -1.0f);
    combine(&planes[kFar], 2, -1.0f);
    combine(&planes[kNear], 2, 1.0f);
    for (Plane& plane : planes) {
        const float l = std::sqrt(plane.a * plane.a + plane.b * plane.b + plane.c * plane.c);
        if (l != 0.0f) {
            plane.a /= l;
            plane.b /= l;
            plane.c /= l;
            plane.d /= l;
        }
    }
}

bool FrustumPlanes::isVisible(const D3DVECTOR* points, int count) const
{
    for (const Plane& plane : planes) {
        bool inside = false;
        for (int i = 0; i < count && !inside; ++i) {
            inside = plane.a * points[i].x + plane.b * points[i].y + plane.c * points[i].z + plane.d > 0.0f;
        }
        if (!inside) {
            return false;
        }
    }
    return true;
}
