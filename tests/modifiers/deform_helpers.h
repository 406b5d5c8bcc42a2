// Modifiers read from records written with the KVF writer and driven by hand
// the way the scene drives them: box, centre and prepare once, then time and
// update per frame.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "modifiers/modifier.h"
#include "scene/kvf_read.h"
#include "tests/scene/mesh_test_helpers.h"

// The modifiers of `entries`, read into an empty mesh named "M".
inline std::unique_ptr<CMesh> ReadModifierEntries(const std::vector<kvf::Modifier>& entries)
{
    kvf::ModifierBlock block;
    block.entries = entries;
    std::unique_ptr<CPackFile> file = MemoryStream(kvf::ModifierBlockBytes(block));
    auto mesh = std::make_unique<CMesh>();
    mesh->name = CopyName("M");
    CScene scene;
    EXPECT_EQ(0, scene.ReadModifiers(file.get(), mesh.get()));
    return mesh;
}

// A float track going from `at0` (frame 0) to `at10` (frame 10).
inline kvf::FloatParameter Ramp(float at0, float at10)
{
    kvf::Controller c;
    kvf::Key a;
    a.value[0] = at0;
    kvf::Key b;
    b.time = 10;
    b.value[0] = at10;
    c.keys = {a, b};
    return kvf::AnimatedParameter(c);
}

inline kvf::Modifier GizmoEntry(int32_t type, int32_t axis, const std::vector<kvf::FloatParameter>& parameters)
{
    kvf::Modifier m;
    m.type = type;
    m.axis = axis;
    m.parameters = parameters;
    return m;
}

// The scene's preparation of a gizmo modifier, with a box and centre.
inline void Ready(CModifier* modifier, const D3DVECTOR& lo, const D3DVECTOR& hi,
                  const D3DVECTOR& centre = D3DVECTOR{0.0f, 0.0f, 0.0f})
{
    modifier->setBoundsMin(&lo);
    modifier->setBoundsMax(&hi);
    modifier->setCenter(&centre);
    modifier->prepare();
}

// `p` deformed by the modifier at frame `t`.
inline D3DVECTOR DeformAt(CModifier* modifier, float t, const D3DVECTOR& p)
{
    modifier->setTime(&t);
    modifier->update();
    D3DVECTOR out;
    modifier->deformPoint(&p, &out, 0);
    return out;
}

inline void ExpectPointNear(float x, float y, float z, const D3DVECTOR& got)
{
    EXPECT_NEAR(x, got.x, 2e-5) << "x";
    EXPECT_NEAR(y, got.y, 2e-5) << "y";
    EXPECT_NEAR(z, got.z, 2e-5) << "z";
}

// The expected point (x, y, z) within float rounding of trigonometry; the
// failure names the line of the check.
#define EXPECT_POINT_NEAR(x, y, z, actual)  \
    do {                                    \
        SCOPED_TRACE("point");              \
        ExpectPointNear(x, y, z, actual);   \
    } while (0)
