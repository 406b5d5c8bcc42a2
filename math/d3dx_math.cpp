#include "math/d3dx_math.h"

#include <cmath>

namespace {

void SetIdentity(D3DXMATRIX* m) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            m->m[r][c] = (r == c) ? 1.0f : 0.0f;
        }
    }
}

float Dot(const D3DVECTOR& a, const D3DVECTOR& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

D3DVECTOR Cross(const D3DVECTOR& a, const D3DVECTOR& b) {
    return D3DVECTOR{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// A zero vector stays zero rather than becoming NaNs.
D3DVECTOR Normalize(const D3DVECTOR& v) {
    float length = std::sqrt(Dot(v, v));
    if (length == 0.0f) {
        return D3DVECTOR{0.0f, 0.0f, 0.0f};
    }
    float inv = 1.0f / length;
    return D3DVECTOR{v.x * inv, v.y * inv, v.z * inv};
}

} // namespace

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
    SetIdentity(out);
    return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
    D3DXMATRIX product;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            product.m[r][c] = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] +
                              a->m[r][2] * b->m[2][c] + a->m[r][3] * b->m[3][c];
        }
    }
    *out = product;
    return out;
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, float* determinant, const D3DXMATRIX* m) {
    // Cofactor expansion through the 2x2 minors of the top and bottom row
    // pairs, in double so that well-conditioned float input inverts exactly
    // to float precision.
    double a[16];
    for (int i = 0; i < 16; ++i) {
        a[i] = m->m[i / 4][i % 4];
    }
    double s0 = a[0] * a[5] - a[4] * a[1];
    double s1 = a[0] * a[6] - a[4] * a[2];
    double s2 = a[0] * a[7] - a[4] * a[3];
    double s3 = a[1] * a[6] - a[5] * a[2];
    double s4 = a[1] * a[7] - a[5] * a[3];
    double s5 = a[2] * a[7] - a[6] * a[3];
    double c5 = a[10] * a[15] - a[14] * a[11];
    double c4 = a[9] * a[15] - a[13] * a[11];
    double c3 = a[9] * a[14] - a[13] * a[10];
    double c2 = a[8] * a[15] - a[12] * a[11];
    double c1 = a[8] * a[14] - a[12] * a[10];
    double c0 = a[8] * a[13] - a[12] * a[9];
    double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (determinant != nullptr) {
        *determinant = static_cast<float>(det);
    }
    if (det == 0.0 || !std::isfinite(det)) {
        return nullptr;
    }
    double inv = 1.0 / det;
    double r[16] = {
        (a[5] * c5 - a[6] * c4 + a[7] * c3),   (-a[1] * c5 + a[2] * c4 - a[3] * c3),
        (a[13] * s5 - a[14] * s4 + a[15] * s3), (-a[9] * s5 + a[10] * s4 - a[11] * s3),
        (-a[4] * c5 + a[6] * c2 - a[7] * c1),  (a[0] * c5 - a[2] * c2 + a[3] * c1),
        (-a[12] * s5 + a[14] * s2 - a[15] * s1), (a[8] * s5 - a[10] * s2 + a[11] * s1),
        (a[4] * c4 - a[5] * c2 + a[7] * c0),   (-a[0] * c4 + a[1] * c2 - a[3] * c0),
        (a[12] * s4 - a[13] * s2 + a[15] * s0), (-a[8] * s4 + a[9] * s2 - a[11] * s0),
        (-a[4] * c3 + a[5] * c1 - a[6] * c0),  (a[0] * c3 - a[1] * c1 + a[2] * c0),
        (-a[12] * s3 + a[13] * s1 - a[14] * s0), (a[8] * s3 - a[9] * s1 + a[10] * s0),
    };
    for (int i = 0; i < 16; ++i) {
        out->m[i / 4][i % 4] = static_cast<float>(r[i] * inv);
    }
    return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz) {
    SetIdentity(out);
    out->_11 = sx;
    out->_22 = sy;
    out->_33 = sz;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
    SetIdentity(out);
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle) {
    float c = std::cos(angle);
    float s = std::sin(angle);
    SetIdentity(out);
    out->_22 = c;
    out->_23 = s;
    out->_32 = -s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle) {
    float c = std::cos(angle);
    float s = std::sin(angle);
    SetIdentity(out);
    out->_11 = c;
    out->_13 = -s;
    out->_31 = s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle) {
    float c = std::cos(angle);
    float s = std::sin(angle);
    SetIdentity(out);
    out->_11 = c;
    out->_12 = s;
    out->_21 = -s;
    out->_22 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q) {
    float x = q->x, y = q->y, z = q->z, w = q->w;
    SetIdentity(out);
    out->_11 = 1.0f - 2.0f * (y * y + z * z);
    out->_12 = 2.0f * (x * y + w * z);
    out->_13 = 2.0f * (x * z - w * y);
    out->_21 = 2.0f * (x * y - w * z);
    out->_22 = 1.0f - 2.0f * (x * x + z * z);
    out->_23 = 2.0f * (y * z + w * x);
    out->_31 = 2.0f * (x * z + w * y);
    out->_32 = 2.0f * (y * z - w * x);
    out->_33 = 1.0f - 2.0f * (x * x + y * y);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zNear,
                                       float zFar) {
    float yScale = 1.0f / std::tan(fovy * 0.5f);
    float xScale = yScale / aspect;
    float depth = zFar - zNear;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out->m[r][c] = 0.0f;
        }
    }
    out->_11 = xScale;
    out->_22 = yScale;
    out->_33 = zFar / depth;
    out->_34 = 1.0f;
    out->_43 = -zNear * zFar / depth;
    return out;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
    D3DVECTOR zaxis = Normalize(D3DVECTOR{at->x - eye->x, at->y - eye->y, at->z - eye->z});
    D3DVECTOR xaxis = Normalize(Cross(*up, zaxis));
    D3DVECTOR yaxis = Cross(zaxis, xaxis);
    out->_11 = xaxis.x; out->_12 = yaxis.x; out->_13 = zaxis.x; out->_14 = 0.0f;
    out->_21 = xaxis.y; out->_22 = yaxis.y; out->_23 = zaxis.y; out->_24 = 0.0f;
    out->_31 = xaxis.z; out->_32 = yaxis.z; out->_33 = zaxis.z; out->_34 = 0.0f;
    out->_41 = -Dot(xaxis, *eye);
    out->_42 = -Dot(yaxis, *eye);
    out->_43 = -Dot(zaxis, *eye);
    out->_44 = 1.0f;
    return out;
}
