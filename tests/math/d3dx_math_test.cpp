#include "math/d3dx_math.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

D3DXMATRIX FromRows(std::initializer_list<float> values) {
    D3DXMATRIX m;
    int i = 0;
    for (float v : values) {
        m.m[i / 4][i % 4] = v;
        ++i;
    }
    return m;
}

void ExpectMatrixNear(const D3DXMATRIX& expected, const D3DXMATRIX& actual, float tolerance) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(expected.m[r][c], actual.m[r][c], tolerance) << "element _" << r + 1 << c + 1;
        }
    }
}

D3DXVECTOR3 TransformPoint(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
    return D3DXVECTOR3(p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41,
                       p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42,
                       p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43);
}

const D3DXMATRIX kSample = FromRows({2, 1, 0, 0, 0, 3, 1, 0, 1, 0, 4, 0, 5, -2, 7, 1});

} // namespace

TEST(D3DXMatrixMultiply, RowVectorConventionAppliesTheLeftMatrixFirst) {
    D3DXMATRIX scale, move, combined;
    D3DXMatrixScaling(&scale, 2, 3, 4);
    D3DXMatrixTranslation(&move, 10, 20, 30);
    EXPECT_EQ(&combined, D3DXMatrixMultiply(&combined, &scale, &move));
    D3DXVECTOR3 p = TransformPoint(D3DXVECTOR3(1, 1, 1), combined);
    EXPECT_FLOAT_EQ(12, p.x);
    EXPECT_FLOAT_EQ(23, p.y);
    EXPECT_FLOAT_EQ(34, p.z);
}

TEST(D3DXMatrixMultiply, OutputMayAliasEitherInput) {
    D3DXMATRIX b = FromRows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    D3DXMATRIX expected;
    D3DXMatrixMultiply(&expected, &kSample, &b);

    D3DXMATRIX a = kSample;
    D3DXMatrixMultiply(&a, &a, &b);
    ExpectMatrixNear(expected, a, 0.0f);

    D3DXMATRIX b2 = b;
    D3DXMatrixMultiply(&b2, &kSample, &b2);
    ExpectMatrixNear(expected, b2, 0.0f);

    // Squaring in place: both inputs are the output.
    D3DXMATRIX square;
    D3DXMatrixMultiply(&square, &kSample, &kSample);
    D3DXMATRIX self = kSample;
    D3DXMatrixMultiply(&self, &self, &self);
    ExpectMatrixNear(square, self, 0.0f);
    EXPECT_FLOAT_EQ(4 + 0 + 0 + 0, square._11);
    EXPECT_FLOAT_EQ(2 * 1 + 1 * 3, square._12);
}

TEST(D3DXMatrixInverse, ProductWithOriginalIsIdentityAndDeterminantIsReported) {
    D3DXMATRIX inverse, product, identity;
    float determinant = 0;
    ASSERT_EQ(&inverse, D3DXMatrixInverse(&inverse, &determinant, &kSample));
    // det of the upper 3x3 [[2,1,0],[0,3,1],[1,0,4]] = 2*12 - 1*(-1) = 25.
    EXPECT_FLOAT_EQ(25.0f, determinant);
    D3DXMatrixMultiply(&product, &kSample, &inverse);
    ExpectMatrixNear(*D3DXMatrixIdentity(&identity), product, 1e-6f);
    D3DXMatrixMultiply(&product, &inverse, &kSample);
    ExpectMatrixNear(identity, product, 1e-6f);
}

TEST(D3DXMatrixInverse, InvertsAFullGeneralMatrix) {
    // No zero column: every cofactor term takes part.
    D3DXMATRIX m = FromRows({4, 7, 2, 3, 0, 5, -1, 2, 3, 1, 6, -2, 1, 2, 3, 8});
    D3DXMATRIX inverse, product, identity;
    ASSERT_NE(nullptr, D3DXMatrixInverse(&inverse, nullptr, &m));
    D3DXMatrixMultiply(&product, &m, &inverse);
    ExpectMatrixNear(*D3DXMatrixIdentity(&identity), product, 1e-5f);
}

TEST(D3DXMatrixInverse, SingularMatrixGivesNullAndLeavesOutputUnchanged) {
    D3DXMATRIX singular = FromRows({1, 2, 3, 0, 2, 4, 6, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    D3DXMATRIX out = kSample;
    float determinant = 99;
    EXPECT_EQ(nullptr, D3DXMatrixInverse(&out, &determinant, &singular));
    ExpectMatrixNear(kSample, out, 0.0f);
    EXPECT_EQ(0.0f, determinant);

    D3DXMATRIX zero = FromRows({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(nullptr, D3DXMatrixInverse(&out, nullptr, &zero));
    ExpectMatrixNear(kSample, out, 0.0f);
}

TEST(D3DXMatrixConstructors, ScalingAndTranslationLayout) {
    D3DXMATRIX m;
    EXPECT_EQ(&m, D3DXMatrixScaling(&m, 2, 3, 4));
    ExpectMatrixNear(FromRows({2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}), m, 0.0f);
    EXPECT_EQ(&m, D3DXMatrixTranslation(&m, 5, 6, 7));
    ExpectMatrixNear(FromRows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1}), m, 0.0f);
}

TEST(D3DXMatrixConstructors, AxisRotationsAreLeftHanded) {
    const float a = 0.3f;
    const float c = std::cos(a), s = std::sin(a);
    D3DXMATRIX m;
    D3DXMatrixRotationX(&m, a);
    ExpectMatrixNear(FromRows({1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1}), m, 1e-7f);
    D3DXMatrixRotationY(&m, a);
    ExpectMatrixNear(FromRows({c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1}), m, 1e-7f);
    D3DXMatrixRotationZ(&m, a);
    ExpectMatrixNear(FromRows({c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}), m, 1e-7f);

    // The quarter turns the scene loader uses: +pi/2 about X takes +y to +z.
    D3DXMatrixRotationX(&m, 1.570796f);
    D3DXVECTOR3 p = TransformPoint(D3DXVECTOR3(0, 1, 0), m);
    EXPECT_NEAR(0, p.x, 1e-6f);
    EXPECT_NEAR(0, p.y, 1e-6f);
    EXPECT_NEAR(1, p.z, 1e-6f);
}

TEST(D3DXMatrixRotationQuaternion, MatchesAxisRotationsAndQuaternionFormula) {
    const float a = 0.8f;
    D3DXMATRIX fromQuaternion, fromAxis;
    D3DXQUATERNION qx = {std::sin(a / 2), 0, 0, std::cos(a / 2)};
    D3DXMatrixRotationQuaternion(&fromQuaternion, &qx);
    ExpectMatrixNear(*D3DXMatrixRotationX(&fromAxis, a), fromQuaternion, 1e-6f);
    D3DXQUATERNION qy = {0, std::sin(a / 2), 0, std::cos(a / 2)};
    D3DXMatrixRotationQuaternion(&fromQuaternion, &qy);
    ExpectMatrixNear(*D3DXMatrixRotationY(&fromAxis, a), fromQuaternion, 1e-6f);
    D3DXQUATERNION qz = {0, 0, std::sin(a / 2), std::cos(a / 2)};
    D3DXMatrixRotationQuaternion(&fromQuaternion, &qz);
    ExpectMatrixNear(*D3DXMatrixRotationZ(&fromAxis, a), fromQuaternion, 1e-6f);

    // A general unit quaternion against the element formulas.
    D3DXQUATERNION q = {0.5f, 0.5f, 0.5f, 0.5f};
    D3DXMatrixRotationQuaternion(&fromQuaternion, &q);
    // 120 degrees about (1,1,1): x -> y -> z -> x.
    ExpectMatrixNear(FromRows({0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1}), fromQuaternion,
                     1e-7f);
}

TEST(D3DXMatrixPerspectiveFovLH, ElementsFollowTheProjectionFormula) {
    const float fovy = 0.785398f, aspect = 640.0f / 480.0f, zn = 1.0f, zf = 1000.0f;
    D3DXMATRIX m;
    EXPECT_EQ(&m, D3DXMatrixPerspectiveFovLH(&m, fovy, aspect, zn, zf));
    const float yScale = 1.0f / std::tan(fovy / 2);
    D3DXMATRIX expected = FromRows({yScale / aspect, 0, 0, 0, 0, yScale, 0, 0, 0, 0, zf / (zf - zn),
                                    1, 0, 0, -zn * zf / (zf - zn), 0});
    ExpectMatrixNear(expected, m, 1e-5f);

    // Depth maps the near plane to 0 and the far plane to 1 after the divide.
    for (float z : {zn, zf}) {
        float clipZ = z * m._33 + m._43;
        float clipW = z * m._34 + m._44;
        EXPECT_NEAR(z == zn ? 0.0f : 1.0f, clipZ / clipW, 1e-6f);
    }
}

TEST(D3DXMatrixLookAtLH, BuildsAnOrthonormalViewThatPutsTheTargetOnPlusZ) {
    D3DXVECTOR3 eye(1, 2, -5), at(1, 2, 5), up(0, 1, 0);
    D3DXMATRIX m;
    EXPECT_EQ(&m, D3DXMatrixLookAtLH(&m, &eye, &at, &up));
    // Looking down +z from (1,2,-5): a pure translation by -eye.
    ExpectMatrixNear(FromRows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, -2, 5, 1}), m, 1e-6f);

    D3DXVECTOR3 eye2(3, 4, 5), at2(0, 0, 0), up2(0, 1, 0);
    D3DXMatrixLookAtLH(&m, &eye2, &at2, &up2);
    D3DXVECTOR3 target = TransformPoint(at2, m);
    EXPECT_NEAR(0, target.x, 1e-5f);
    EXPECT_NEAR(0, target.y, 1e-5f);
    EXPECT_NEAR(std::sqrt(50.0f), target.z, 1e-5f);
    D3DXVECTOR3 origin = TransformPoint(eye2, m);
    EXPECT_NEAR(0, origin.x, 1e-5f);
    EXPECT_NEAR(0, origin.y, 1e-5f);
    EXPECT_NEAR(0, origin.z, 1e-5f);
    // Left-handed: +x of the view is to the right of the viewing direction,
    // so a point above the eye lands at positive view y.
    D3DXVECTOR3 above = TransformPoint(D3DXVECTOR3(0, 10, 0), m);
    EXPECT_GT(above.y, 0.0f);
}
