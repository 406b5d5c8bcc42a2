// The bend, stretch, twist, wave and ripple deformations against values
// worked out by hand: two frames of animated parameters, the three axis
// codes, the gizmo's centre, matrix and scale track, and the degenerate
// values whose formulas would divide by zero.
#include <cmath>
#include <limits>

#include "modifiers/modifier_gizmo.h"
#include "tests/modifiers/deform_helpers.h"

namespace {

const float kPi = 3.14159265f;
const float kHalfRoot2 = 0.70710678f;

D3DVECTOR V(float x, float y, float z)
{
    return D3DVECTOR{x, y, z};
}

TEST(GizmoDeform, BendFollowsAnArcAtTwoFramesAndAboutEachAxis)
{
    // Axis 2 (no turn): the box spans y from 0 to 2; 90 then 180 degrees.
    auto mesh = ReadModifierEntries({GizmoEntry(kvf::kBend, 2, {Ramp(90, 180), kvf::ConstantParameter(0)})});
    CModifier* bend = mesh->modifiers.First();
    Ready(bend, V(-1, 0, -1), V(1, 2, 1));
    const float r90 = 2.0f / (kPi / 2.0f);
    EXPECT_POINT_NEAR(r90, r90, 0.0f, DeformAt(bend, 0.0f, V(0, 2, 0)));
    EXPECT_POINT_NEAR(0.0f, 0.0f, 0.0f, DeformAt(bend, 0.0f, V(0, 0, 0)));
    // Halfway up the arc: phi = 3 pi / 4.
    EXPECT_POINT_NEAR(r90 * (1.0f - kHalfRoot2), r90 * kHalfRoot2, 0.5f, DeformAt(bend, 0.0f, V(0, 1, 0.5f)));
    EXPECT_POINT_NEAR(r90, r90 - 0.5f, 0.0f, DeformAt(bend, 0.0f, V(0.5f, 2, 0)));
    const float r180 = 2.0f / kPi;
    EXPECT_POINT_NEAR(2.0f * r180, 0.0f, 0.0f, DeformAt(bend, 10.0f, V(0, 2, 0)));
    EXPECT_POINT_NEAR(2.0f * r180 - 0.5f, 0.0f, 0.0f, DeformAt(bend, 10.0f, V(0.5f, 2, 0)));

    // Axis 0: the deformation's y is the mesh's -x, but the extent is the
    // box's z (here 2).
    mesh = ReadModifierEntries({GizmoEntry(kvf::kBend, 0, {kvf::ConstantParameter(90), kvf::ConstantParameter(0)})});
    bend = mesh->modifiers.First();
    Ready(bend, V(-2, 0, 0), V(0, 1, 2));
    EXPECT_POINT_NEAR(-r90, r90, 0.0f, DeformAt(bend, 0.0f, V(-2, 0, 0)));
    // Axis 1: the deformation's y is the mesh's -z, the extent the box's x.
    mesh = ReadModifierEntries({GizmoEntry(kvf::kBend, 1, {kvf::ConstantParameter(90), kvf::ConstantParameter(0)})});
    bend = mesh->modifiers.First();
    Ready(bend, V(0, 0, -2), V(2, 1, 0));
    EXPECT_POINT_NEAR(r90, 0.0f, -r90, DeformAt(bend, 0.0f, V(0, 0, -2)));

    // A direction of 90 degrees turns the bend toward -z.
    mesh = ReadModifierEntries({GizmoEntry(kvf::kBend, 2, {kvf::ConstantParameter(90), kvf::ConstantParameter(90)})});
    bend = mesh->modifiers.First();
    Ready(bend, V(-1, 0, -1), V(1, 2, 1));
    EXPECT_POINT_NEAR(0.0f, r90, -r90, DeformAt(bend, 0.0f, V(0, 2, 0)));
}

TEST(GizmoDeform, CentreMatrixAndScaleTrackPlaceTheDeformationSpace)
{
    const float r90 = 2.0f / (kPi / 2.0f);
    // The centre moves the deformation space: a box from -1 to 1 about a
    // centre at y = 1 bends from its bottom.
    auto mesh = ReadModifierEntries({GizmoEntry(kvf::kBend, 2, {kvf::ConstantParameter(90), kvf::ConstantParameter(0)})});
    CModifier* bend = mesh->modifiers.First();
    Ready(bend, V(-1, -1, -1), V(1, 1, 1), V(0, 1, 0));
    EXPECT_POINT_NEAR(r90, r90 - 1.0f, 0.0f, DeformAt(bend, 0.0f, V(0, 1, 0)));
    EXPECT_POINT_NEAR(0.0f, -1.0f, 0.0f, DeformAt(bend, 0.0f, V(0, -1, 0)));

    // The modifier matrix doubles y: a box up to y = 1 measures 2, and the
    // point comes back through the inverse.
    static_cast<CModifierGizmo*>(bend)->m_modifierMatrix._22 = 2.0f;
    Ready(bend, V(-1, 0, -1), V(1, 1, 1));
    EXPECT_POINT_NEAR(r90, r90 / 2.0f, 0.0f, DeformAt(bend, 0.0f, V(0, 1, 0)));

    // A scale track written (1, 1, 1) in the file is held as (-1, 1, -1):
    // the bend turns toward -x.
    kvf::Modifier mirrored = GizmoEntry(kvf::kBend, 2, {kvf::ConstantParameter(90), kvf::ConstantParameter(0)});
    mirrored.gizmo.scale = kvf::ConstantVector(1, 1, 1);
    mesh = ReadModifierEntries({mirrored});
    bend = mesh->modifiers.First();
    Ready(bend, V(-1, 0, -1), V(1, 2, 1));
    EXPECT_POINT_NEAR(-r90, r90, 0.0f, DeformAt(bend, 0.0f, V(0, 2, 0)));

    // Position and offset tracks move the points by minus their sum; the
    // extent still comes from the box.
    kvf::Modifier moved = GizmoEntry(kvf::kBend, 2, {kvf::ConstantParameter(90), kvf::ConstantParameter(0)});
    moved.gizmo.position = kvf::ConstantVector(0, 0, -0.5f); // engine y = -0.5
    moved.gizmo.offset = kvf::ConstantVector(0, 0, -0.5f);
    mesh = ReadModifierEntries({moved});
    bend = mesh->modifiers.First();
    Ready(bend, V(-1, 1, -1), V(1, 3, 1));
    EXPECT_POINT_NEAR(0.0f, -1.0f, 0.0f, DeformAt(bend, 0.0f, V(0, -1, 0)));
    EXPECT_POINT_NEAR(r90, r90 - 1.0f, 0.0f, DeformAt(bend, 0.0f, V(0, 1, 0)));
}

TEST(GizmoDeform, StretchScalesAlongTheAxisAndSqueezesTheMiddle)
{
    auto mesh = ReadModifierEntries({GizmoEntry(kvf::kStretch, 2, {Ramp(1, -1), Ramp(0, 1)})});
    CModifier* stretch = mesh->modifiers.First();
    Ready(stretch, V(-1, 0, -1), V(1, 2, 1));
    // Stretch 1, amplify 0: h = 2, the middle scaled by g = 0.5.
    EXPECT_POINT_NEAR(0.5f, 2.0f, 0.0f, DeformAt(stretch, 0.0f, V(1, 1, 0)));
    EXPECT_POINT_NEAR(0.0f, 2.0f, 0.5f, DeformAt(stretch, 0.0f, V(0, 1, 1)));
    EXPECT_POINT_NEAR(1.0f, 0.0f, 0.0f, DeformAt(stretch, 0.0f, V(1, 0, 0)));
    EXPECT_POINT_NEAR(1.0f, 4.0f, 0.0f, DeformAt(stretch, 0.0f, V(1, 2, 0)));
    // Stretch -1, amplify 1: factor 2, g = 3, h = 0.5.
    EXPECT_POINT_NEAR(3.0f, 0.5f, 0.0f, DeformAt(stretch, 10.0f, V(1, 1, 0)));
    EXPECT_POINT_NEAR(1.0f, 1.0f, 0.0f, DeformAt(stretch, 10.0f, V(1, 2, 0)));

    // A negative amplify divides: factor 1 / (1 + 1), g = 2 / 3.
    mesh = ReadModifierEntries({GizmoEntry(kvf::kStretch, 2, {kvf::ConstantParameter(1), kvf::ConstantParameter(-1)})});
    stretch = mesh->modifiers.First();
    Ready(stretch, V(-1, 0, -1), V(1, 2, 1));
    EXPECT_POINT_NEAR(2.0f / 3.0f, 2.0f, 0.0f, DeformAt(stretch, 0.0f, V(1, 1, 0)));

    // Axis 0 stretches along x (the deformation's y is -x, the span the
    // box's x); axis 1 along z.
    for (int32_t axis : {0, 1}) {
        mesh = ReadModifierEntries({GizmoEntry(kvf::kStretch, axis, {kvf::ConstantParameter(1), kvf::ConstantParameter(0)})});
        stretch = mesh->modifiers.First();
        Ready(stretch, V(-1, -1, -1), V(1, 1, 1));
        if (axis == 0) {
            EXPECT_POINT_NEAR(1.0f, 0.1875f, 0.0f, DeformAt(stretch, 0.0f, V(0.5f, 0.3f, 0)));
        } else {
            EXPECT_POINT_NEAR(0.1875f, 0.0f, 1.0f, DeformAt(stretch, 0.0f, V(0.3f, 0, 0.5f)));
        }
    }
}

TEST(GizmoDeform, TwistTurnsWithTheHeightAndItsBias)
{
    auto mesh = ReadModifierEntries({GizmoEntry(kvf::kTwist, 2, {Ramp(90, 180), kvf::ConstantParameter(0)})});
    CModifier* twist = mesh->modifiers.First();
    Ready(twist, V(-1, 0, -1), V(1, 2, 1));
    EXPECT_POINT_NEAR(0.0f, 2.0f, -1.0f, DeformAt(twist, 0.0f, V(1, 2, 0)));
    EXPECT_POINT_NEAR(1.0f, 0.0f, 0.0f, DeformAt(twist, 0.0f, V(1, 0, 0)));
    EXPECT_POINT_NEAR(-1.0f, 2.0f, 0.0f, DeformAt(twist, 10.0f, V(1, 2, 0)));
    EXPECT_POINT_NEAR(0.0f, 1.0f, -1.0f, DeformAt(twist, 10.0f, V(1, 1, 0)));

    // Bias 50: b = 0.25, exponent 2; a quarter of 180 degrees at half the
    // height, turning the other way below the centre.
    mesh = ReadModifierEntries({GizmoEntry(kvf::kTwist, 2, {kvf::ConstantParameter(180), kvf::ConstantParameter(50)})});
    twist = mesh->modifiers.First();
    Ready(twist, V(-1, -2, -1), V(1, 2, 1));
    EXPECT_POINT_NEAR(kHalfRoot2, 2.0f, -kHalfRoot2, DeformAt(twist, 0.0f, V(1, 2, 0)));
    EXPECT_POINT_NEAR(kHalfRoot2, -2.0f, kHalfRoot2, DeformAt(twist, 0.0f, V(1, -2, 0)));

    // Axis 1 twists about z (height from the box's z), axis 0 about x.
    mesh = ReadModifierEntries({GizmoEntry(kvf::kTwist, 1, {kvf::ConstantParameter(90), kvf::ConstantParameter(0)})});
    twist = mesh->modifiers.First();
    Ready(twist, V(-1, -1, -1), V(1, 1, 1));
    EXPECT_POINT_NEAR(kHalfRoot2, -kHalfRoot2, -1.0f, DeformAt(twist, 0.0f, V(1, 0, -1)));
    mesh = ReadModifierEntries({GizmoEntry(kvf::kTwist, 0, {kvf::ConstantParameter(90), kvf::ConstantParameter(0)})});
    twist = mesh->modifiers.First();
    Ready(twist, V(-1, -1, -1), V(1, 1, 1));
    EXPECT_POINT_NEAR(-1.0f, kHalfRoot2, kHalfRoot2, DeformAt(twist, 0.0f, V(-1, 0, 1)));
}

TEST(GizmoDeform, LinearWaveAndRipple)
{
    // Amplitude 1 in the middle, 1 then 3 at the sides; wave length 10.
    auto mesh = ReadModifierEntries({GizmoEntry(kvf::kWave, 2,
                                                {kvf::ConstantParameter(1), Ramp(1, 3), kvf::ConstantParameter(10),
                                                 kvf::ConstantParameter(0), kvf::ConstantParameter(0)})});
    CModifier* wave = mesh->modifiers.First();
    Ready(wave, V(-1, -1, -1), V(1, 1, 1));
    const float floorDamping = std::exp(-0.000001f * 2.5f); // the decay's floor
    EXPECT_POINT_NEAR(0.0f, floorDamping, 2.5f, DeformAt(wave, 0.0f, V(0, 0, 2.5f)));
    EXPECT_POINT_NEAR(1.0f, 3.0f * floorDamping, 2.5f, DeformAt(wave, 10.0f, V(1, 0, 2.5f)));
    EXPECT_POINT_NEAR(0.5f, 1.5f * floorDamping, 2.5f, DeformAt(wave, 10.0f, V(0.5f, 0, 2.5f)));
    // Apply runs the point function and keeps the rest of the vertex.
    MeshVertex v = {1, 0, 2.5f, 0.1f, 0.2f, 0.3f, 0xFF102030u, 0.4f, 0.5f};
    MeshVertex out;
    wave->apply(&v, &out, 0);
    EXPECT_NEAR(3.0f * floorDamping, out.y, 2e-5);
    EXPECT_EQ(0.2f, out.ny);
    EXPECT_EQ(0xFF102030u, out.colour);
    EXPECT_EQ(0.5f, out.v);

    // Ripple: amplitude 2 toward +-x, 5 at right angles; phase a quarter.
    mesh = ReadModifierEntries({GizmoEntry(kvf::kRipple, 2,
                                           {kvf::ConstantParameter(2), kvf::ConstantParameter(5),
                                            kvf::ConstantParameter(10), kvf::ConstantParameter(0.25f),
                                            kvf::ConstantParameter(0)})});
    CModifier* ripple = mesh->modifiers.First();
    Ready(ripple, V(-1, -1, -1), V(1, 1, 1));
    D3DVECTOR out3;
    auto rippled = [&](const D3DVECTOR& p) {
        MeshVertex in = {p.x, p.y, p.z, 0, 0, 0, 0, 0, 0};
        MeshVertex moved;
        ripple->apply(&in, &moved, 0);
        out3 = D3DVECTOR{moved.x, moved.y, moved.z};
        return out3;
    };
    float t = 0.0f;
    ripple->setTime(&t);
    ripple->update();
    EXPECT_POINT_NEAR(0.0f, 2.0f, 0.0f, rippled(V(0, 0, 0)));
    EXPECT_POINT_NEAR(0.0f, 6.0f, 0.0f, rippled(V(0, 1, 0)));
    EXPECT_POINT_NEAR(3.0f, 2.0f * std::exp(-0.000003f) * std::sin(2.0f * kPi * 0.55f), 0.0f, rippled(V(3, 0, 0)));
    // The ripple's deformPoint is the linear wave (its width from the box).
    EXPECT_POINT_NEAR(0.0f, 2.0f, 0.0f, DeformAt(ripple, 0.0f, V(0, 0, 0)));
}

TEST(GizmoDeform, DegenerateValuesGiveTheirLimitOrLeaveThePoint)
{
    const float inf = std::numeric_limits<float>::infinity();
    // A box without extent along the bend: radius 0, the point stays.
    auto mesh = ReadModifierEntries({GizmoEntry(kvf::kBend, 2, {kvf::ConstantParameter(90), kvf::ConstantParameter(0)})});
    CModifier* bend = mesh->modifiers.First();
    Ready(bend, V(-1, 1, -1), V(1, 1, 1));
    EXPECT_POINT_NEAR(0.5f, 3.0f, 0.0f, DeformAt(bend, 0.0f, V(0.5f, 3, 0)));
    // Angle 0 bends by 0.0001 radians: almost nothing (the float arc of
    // radius 20000 rounds to a few thousandths).
    mesh = ReadModifierEntries({GizmoEntry(kvf::kBend, 2, {kvf::ConstantParameter(0), kvf::ConstantParameter(0)})});
    bend = mesh->modifiers.First();
    Ready(bend, V(-1, 0, -1), V(1, 2, 1));
    const D3DVECTOR almost = DeformAt(bend, 0.0f, V(0.5f, 2, 0));
    EXPECT_NEAR(0.5f, almost.x, 1e-2);
    EXPECT_NEAR(2.0f, almost.y, 1e-2);
    // An infinite radius is the unbent limit.
    static_cast<CModifierGizmo*>(bend)->m_boundsMax.y = inf;
    EXPECT_POINT_NEAR(0.5f, 2.0f, 0.0f, DeformAt(bend, 0.0f, V(0.5f, 2, 0)));

    // Stretch of 0, a stretch span of 0, a twist height of 0 and a wave
    // width of 0 leave points where they are.
    mesh = ReadModifierEntries({GizmoEntry(kvf::kStretch, 2, {kvf::ConstantParameter(0), kvf::ConstantParameter(0)}),
                                GizmoEntry(kvf::kStretch, 2, {kvf::ConstantParameter(1), kvf::ConstantParameter(0)}),
                                GizmoEntry(kvf::kTwist, 2, {kvf::ConstantParameter(90), kvf::ConstantParameter(0)}),
                                GizmoEntry(kvf::kWave, 2, {kvf::ConstantParameter(1), kvf::ConstantParameter(1),
                                                           kvf::ConstantParameter(10)})});
    Ready(mesh->modifiers.At(0), V(-1, 0, -1), V(1, 2, 1));
    for (int i = 1; i < 4; ++i) {
        Ready(mesh->modifiers.At(i), V(0, 0, 0), V(0, 0, 0));
    }
    for (CModifier* m : mesh->modifiers) {
        SCOPED_TRACE(m->m_type);
        EXPECT_POINT_NEAR(0.5f, 1.0f, 2.5f, DeformAt(m, 0.0f, V(0.5f, 1, 2.5f)));
    }

    // A zero wave length becomes 0.0001; a decay that overflows damps the
    // wave to nothing, an infinite one leaves the centre undamped.
    mesh = ReadModifierEntries({GizmoEntry(kvf::kWave, 2,
                                           {kvf::ConstantParameter(1), kvf::ConstantParameter(1),
                                            kvf::ConstantParameter(0), kvf::ConstantParameter(0.25f),
                                            kvf::ConstantParameter(1e30f)}),
                                GizmoEntry(kvf::kRipple, 2,
                                           {kvf::ConstantParameter(1), kvf::ConstantParameter(1),
                                            kvf::ConstantParameter(10), kvf::ConstantParameter(0.25f),
                                            kvf::ConstantParameter(inf)})});
    CModifier* wave = mesh->modifiers.At(0);
    Ready(wave, V(-1, -1, -1), V(1, 1, 1));
    EXPECT_POINT_NEAR(0.0f, 1.0f, 0.0f, DeformAt(wave, 0.0f, V(0, 0, 0)));
    EXPECT_POINT_NEAR(0.0f, 0.0f, 2.5f, DeformAt(wave, 0.0f, V(0, 0, 2.5f)));
    CModifier* ripple = mesh->modifiers.At(1);
    Ready(ripple, V(-1, -1, -1), V(1, 1, 1));
    MeshVertex centre = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    float t = 0.0f;
    ripple->setTime(&t);
    ripple->update();
    ripple->apply(&centre, &centre, 0);
    EXPECT_POINT_NEAR(0.0f, 1.0f, 0.0f, (D3DVECTOR{centre.x, centre.y, centre.z}));

    // A zero scale track leaves the deformation space no way back: every
    // kind leaves its points.
    for (int32_t type : {kvf::kBend, kvf::kStretch, kvf::kTwist, kvf::kWave, kvf::kRipple}) {
        kvf::Modifier flat = GizmoEntry(type, 2, {kvf::ConstantParameter(90), kvf::ConstantParameter(1),
                                                  kvf::ConstantParameter(10)});
        flat.gizmo.scale = kvf::ConstantVector(0, 1, 1);
        mesh = ReadModifierEntries({flat});
        Ready(mesh->modifiers.First(), V(-1, -1, -1), V(1, 1, 1));
        SCOPED_TRACE(type);
        EXPECT_POINT_NEAR(0.5f, 1.0f, 2.5f, DeformAt(mesh->modifiers.First(), 0.0f, V(0.5f, 1, 2.5f)));
    }
}

} // namespace
