#include "math/engine_math.h"

#include <gtest/gtest.h>

#include <cmath>

#include "math/d3dx_math.h"

namespace {

constexpr float kTolerance = 1e-5f;

void ExpectQuaternionNear(const Quaternion& expected, const Quaternion& actual, float tolerance = kTolerance)
{
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
    EXPECT_NEAR(expected.w, actual.w, tolerance);
}

void ExpectMatrixNear(const D3DMATRIX& expected, const D3DMATRIX& actual, float tolerance = kTolerance)
{
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(expected.m[r][c], actual.m[r][c], tolerance) << "element " << r + 1 << c + 1;
        }
    }
}

D3DMATRIX Identity()
{
    D3DMATRIX m;
    SetIdentity(&m);
    return m;
}

TEST(QuaternionMatrix, ZeroAndScaledIdentityGiveTheIdentityMatrix)
{
    D3DMATRIX m;
    toMatrix(Quaternion{0, 0, 0, 0}, &m);
    ExpectMatrixNear(Identity(), m, 0.0f);
    toMatrix(Quaternion{0, 0, 0, 2}, &m);
    ExpectMatrixNear(Identity(), m, 0.0f);
}

TEST(QuaternionMatrix, NonUnitQuaternionStillGivesAPureRotation)
{
    // An axis of length 2 makes a quaternion of length other than 1.
    const Quaternion q = fromAxisAngle(D3DVECTOR{0, 2, 0}, 0.7f);
    ASSERT_GT(std::fabs(length(q) - 1.0f), 0.1f);
    D3DMATRIX m;
    toMatrix(q, &m);
    // Same rotation as the unit quaternion about y.
    const Quaternion unit = fromAxisAngle(D3DVECTOR{0, 1, 0}, 2.0f * std::atan2(2.0f * std::sin(0.35f), std::cos(0.35f)));
    D3DXMATRIX reference;
    const D3DXQUATERNION u{unit.x, unit.y, unit.z, unit.w};
    D3DXMatrixRotationQuaternion(&reference, &u);
    ExpectMatrixNear(reference, m);
}

TEST(QuaternionMatrix, UnitQuaternionMatchesTheAxisRotation)
{
    D3DMATRIX m;
    toMatrix(fromAxisAngle(D3DVECTOR{0, 1, 0}, 0.5f), &m);
    D3DXMATRIX rotation;
    D3DXMatrixRotationY(&rotation, 0.5f);
    ExpectMatrixNear(rotation, m);
}

TEST(QuaternionAlgebra, HamiltonProductAndInverses)
{
    const Quaternion i{1, 0, 0, 0}, j{0, 1, 0, 0}, k{0, 0, 1, 0};
    ExpectQuaternionNear(k, multiply(i, j), 0.0f);
    ExpectQuaternionNear(Quaternion{0, 0, -1, 0}, multiply(j, i), 0.0f);

    const Quaternion q{1, 2, 3, 4};
    ExpectQuaternionNear(Quaternion{0, 0, 0, 1}, multiply(q, inverse(q)));
    // invertInPlace divides by the length, not the squared length.
    Quaternion r = q;
    invertInPlace(&r);
    const float l = std::sqrt(30.0f);
    ExpectQuaternionNear(Quaternion{-1 / l, -2 / l, -3 / l, 4 / l}, r);
    // The zero quaternion has length 1 by convention and no NaN inverse.
    EXPECT_EQ(1.0f, length(Quaternion{0, 0, 0, 0}));
    ExpectQuaternionNear(Quaternion{0, 0, 0, 0}, inverse(Quaternion{0, 0, 0, 0}), 0.0f);
}

TEST(QuaternionAlgebra, LogarithmsAndExponential)
{
    // The logarithm of a half turn about a pure axis.
    ExpectQuaternionNear(Quaternion{kHalfPi, 0, 0, 0}, logPure(Quaternion{1, 0, 0, 0}));
    // LnDif is the logarithm of p^-1 * q: exp brings back the relative turn.
    const Quaternion p = fromAxisAngle(D3DVECTOR{1, 0, 0}, 0.4f);
    const Quaternion q = multiply(p, fromAxisAngle(D3DVECTOR{0, 0, 1}, 1.0f));
    const Quaternion log = LnDif(p, q);
    EXPECT_EQ(0.0f, log.w);
    ExpectQuaternionNear(Quaternion{0, 0, 0.5f, 0}, log);
    ExpectQuaternionNear(fromAxisAngle(D3DVECTOR{0, 0, 1}, 1.0f), Exp(D3DVECTOR{log.x, log.y, log.z}));
    ExpectQuaternionNear(Quaternion{0, 0, 0, 1}, Exp(D3DVECTOR{0, 0, 0}), 0.0f);
    // Equal inputs: no rotation between them.
    ExpectQuaternionNear(Quaternion{0, 0, 0, 0}, LnDif(p, p));
}

TEST(QuaternionSlerp, EqualInputsBlendLinearly)
{
    const Quaternion p = fromAxisAngle(D3DVECTOR{0, 1, 0}, 0.3f);
    for (float t : {0.0f, 0.25f, 0.8f, 1.0f}) {
        ExpectQuaternionNear(p, SlerpSpin(p, p, t, 0.0f));
    }
}

TEST(QuaternionSlerp, SweepsTheArcAndAddsSpinHalfTurns)
{
    const Quaternion p{0, 0, 0, 1};
    const Quaternion q = fromAxisAngle(D3DVECTOR{0, 0, 1}, kPi / 2);
    ExpectQuaternionNear(fromAxisAngle(D3DVECTOR{0, 0, 1}, kPi / 4), SlerpSpin(p, q, 0.5f, 0.0f));
    ExpectQuaternionNear(q, SlerpSpin(p, q, 1.0f, 0.0f));
    // One spin at t = 1 sweeps theta + pi: the far side of q.
    ExpectQuaternionNear(Quaternion{-q.x, -q.y, -q.z, -q.w}, SlerpSpin(p, q, 1.0f, 1.0f), 1e-4f);
    // No sign flip when the inputs point apart: the long arc is taken.
    const Quaternion negated{-q.x, -q.y, -q.z, -q.w};
    const Quaternion half = SlerpSpin(p, negated, 0.5f, 0.0f);
    // Halfway along the long arc: three eighths of a turn the other way.
    ExpectQuaternionNear(fromAxisAngle(D3DVECTOR{0, 0, 1}, -3 * kPi / 4), half, 1e-4f);
}

TEST(PointTransform, IgnoresTheFourthColumn)
{
    D3DMATRIX m = Identity();
    m._11 = 2.0f;
    m._41 = 1.0f;
    m._42 = 2.0f;
    m._43 = 3.0f;
    m._14 = 5.0f;
    m._44 = 9.0f;
    const D3DVECTOR p = transformPoint(m, D3DVECTOR{1, 1, 1});
    EXPECT_EQ(3.0f, p.x);
    EXPECT_EQ(3.0f, p.y);
    EXPECT_EQ(4.0f, p.z);
}

class FrustumTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Eye at the origin looking down +z.
        const D3DXVECTOR3 eye(0, 0, 0), at(0, 0, 1), up(0, 1, 0);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, kPi / 2, 1.0f, 1.0f, 100.0f);
        frustum.build(view, projection);
    }

    bool Visible(float x, float y, float z) const
    {
        const D3DVECTOR p{x, y, z};
        return frustum.isVisible(&p, 1);
    }

    D3DXMATRIX view;
    D3DXMATRIX projection;
    FrustumPlanes frustum;
};

TEST_F(FrustumTest, PlanesAreNormalisedAndFaceInwards)
{
    for (const Plane& plane : frustum.planes) {
        EXPECT_NEAR(1.0f, std::sqrt(plane.a * plane.a + plane.b * plane.b + plane.c * plane.c), kTolerance);
    }
    EXPECT_LT(frustum.planes[FrustumPlanes::kRight].a, 0.0f);
    EXPECT_GT(frustum.planes[FrustumPlanes::kLeft].a, 0.0f);
    EXPECT_GT(frustum.planes[FrustumPlanes::kBottom].b, 0.0f);
    EXPECT_LT(frustum.planes[FrustumPlanes::kTop].b, 0.0f);
    EXPECT_LT(frustum.planes[FrustumPlanes::kFar].c, 0.0f);
}

TEST_F(FrustumTest, PointsInsideAndBeyondEachPlane)
{
    EXPECT_TRUE(Visible(0, 0, 50));
    EXPECT_FALSE(Visible(0, 0, 0));       // at the eye's depth: outside the near plane
    EXPECT_FALSE(Visible(0, 0, 100.5f));  // just beyond the far distance
    EXPECT_TRUE(Visible(0, 0, 99.5f));
    EXPECT_FALSE(Visible(11, 0, 10));     // right of a 90-degree view
    EXPECT_FALSE(Visible(-11, 0, 10));
    EXPECT_FALSE(Visible(0, 11, 10));
    EXPECT_FALSE(Visible(0, -11, 10));
    EXPECT_TRUE(Visible(9, 9, 10));
}

TEST_F(FrustumTest, PointSetsAreTestedPlaneByPlane)
{
    EXPECT_FALSE(frustum.isVisible(nullptr, 0));
    // A box around the whole view is visible although no corner is inside.
    const D3DVECTOR box[2] = {{-500, -500, 5}, {500, 500, 5}};
    EXPECT_TRUE(frustum.isVisible(box, 2));
    // Both points behind the eye.
    const D3DVECTOR behind[2] = {{0, 0, -5}, {3, 3, -1}};
    EXPECT_FALSE(frustum.isVisible(behind, 2));
}

} // namespace
