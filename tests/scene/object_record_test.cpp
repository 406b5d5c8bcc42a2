// Camera, light, shape and helper records read alone: every field lands where
// it belongs and the record is consumed to the byte.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "scene/camera.h"
#include "scene/helper_object.h"
#include "scene/light.h"
#include "scene/scene.h"
#include "scene/shape.h"
#include "tests/scene/memory_stream.h"
#include "tests/support/box_capture.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace {

class RecordTest : public ::testing::Test, protected BoxCapture {
protected:

    // Reads the bytes with `read`, expecting success and every byte used.
    template <typename T>
    void ReadAll(const std::vector<uint8_t>& bytes, int (CScene::*read)(CPackFile*, T*), T* object)
    {
        MemoryStream stream(bytes);
        ASSERT_EQ(0, (scene.*read)(&stream, object));
        EXPECT_EQ(static_cast<int>(bytes.size()), stream.Tell(&stream)) << "record not consumed to the byte";
    }

    CScene scene;
};

void ExpectVector(float x, float y, float z, const D3DVECTOR& v)
{
    EXPECT_EQ(x, v.x);
    EXPECT_EQ(y, v.y);
    EXPECT_EQ(z, v.z);
}

TEST_F(RecordTest, Camera)
{
    kvf::Camera camera;
    camera.name = "eye";
    camera.position = {1, 2, 3};
    camera.target = {4, 5, 6};
    camera.parameter1 = 7;
    camera.parameter2 = 8;
    camera.fieldOfView = 1.8f;
    kvf::ByteWriter out;
    kvf::WriteCamera(out, camera);
    CCamera loaded;
    ReadAll(out.Take(), &CScene::ReadCamera, &loaded);
    EXPECT_STREQ("eye", loaded.name);
    ExpectVector(-1, 3, -2, loaded.position);
    ASSERT_NE(nullptr, loaded.target);
    ExpectVector(-4, 6, -5, loaded.target->position);
    EXPECT_EQ(7.0f, loaded.parameter1);
    EXPECT_EQ(8.0f, loaded.parameter2);
    EXPECT_EQ(1.8f, loaded.fieldOfView);
}

// Each light type reads the fields of its layout only.
TEST_F(RecordTest, LightTypesAndRanges)
{
    struct Case {
        int32_t type;
        uint8_t rangeFlag;
        bool hasCone;
        bool hasRange;
        bool hasTarget;
    };
    const Case cases[] = {
        {1, 0, false, false, false}, {1, 1, false, true, false}, {2, 0, true, false, true},
        {2, 1, true, true, true},    {4, 1, true, false, false}, {3, 1, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " range flag " + std::to_string(c.rangeFlag));
        kvf::Light light;
        light.name = "lamp";
        light.type = c.type;
        light.position = {1, 2, 3};
        light.target = {4, 5, 6};
        light.colour = {0.25f, 0.5f, 0.75f};
        light.multiplier = 2.0f;
        light.hotspot = 30.0f;
        light.falloff = 45.0f;
        light.rangeFlag = c.rangeFlag;
        light.rangeValue1 = 50.0f;
        light.range = 100.0f;
        light.markerFlag = 1;
        kvf::ByteWriter out;
        kvf::WriteLight(out, light);
        CLight loaded;
        ReadAll(out.Take(), &CScene::ReadLight, &loaded);
        EXPECT_EQ(c.type, loaded.type);
        ExpectVector(-1, 3, -2, loaded.position);
        EXPECT_EQ(c.hasTarget, loaded.target != nullptr);
        if (loaded.target != nullptr) {
            ExpectVector(-4, 6, -5, loaded.target->position);
        }
        EXPECT_EQ(0.5f, loaded.colour.g);
        EXPECT_EQ(2.0f, loaded.multiplier);
        EXPECT_EQ(c.hasCone ? 30.0f : 0.0f, loaded.hotspot);
        EXPECT_EQ(c.hasCone ? 45.0f : 0.0f, loaded.falloff);
        EXPECT_EQ(c.hasRange ? 100.0f : 0.0f, loaded.range);
        EXPECT_EQ(c.hasRange ? 50.0f : 0.0f, loaded.rangeValue1);
        EXPECT_EQ(1, loaded.markerFlag);
    }
}

TEST_F(RecordTest, LightPreparationFillsTheDeviceLight)
{
    kvf::Light light;
    light.name = "spot";
    light.type = 2;
    light.position = {0, 0, 0};
    light.target = {0, -10, 0}; // engine (0, 0, 10)
    light.multiplier = 2.0f;
    light.hotspot = 30.0f;
    light.falloff = 45.0f;
    light.rangeFlag = 1;
    light.range = 100.0f;
    kvf::ByteWriter out;
    kvf::WriteLight(out, light);
    CLight spot;
    ReadAll(out.Take(), &CScene::ReadLight, &spot);
    ASSERT_EQ(0, spot.Prepare(nullptr));
    EXPECT_EQ(D3DLIGHT_SPOT, spot.light.Type);
    EXPECT_EQ(200.0f, spot.light.Range);
    EXPECT_FLOAT_EQ(0.005f, spot.light.Attenuation1);
    EXPECT_NEAR(0.5236f, spot.light.Theta, 1e-4f);
    EXPECT_NEAR(0.7854f, spot.light.Phi, 1e-4f);
    EXPECT_EQ(1.0f, spot.light.Falloff);
    EXPECT_EQ(10.0f, spot.light.Direction.z);

    // A point light without a range: Range 0 and no division by zero.
    CLight point;
    point.type = 1;
    point.multiplier = 1.0f;
    ASSERT_EQ(0, point.Prepare(nullptr));
    EXPECT_EQ(D3DLIGHT_POINT, point.light.Type);
    EXPECT_EQ(0.0f, point.light.Range);
    EXPECT_TRUE(std::isfinite(point.light.Attenuation1));
}

TEST_F(RecordTest, ShapeSplinesAndTheirPreparation)
{
    kvf::Shape shape;
    shape.name = "outline";
    shape.pivot = {1, 2, 3};
    kvf::Spline closed;
    closed.closed = 1;
    closed.points = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    kvf::Spline empty;
    kvf::Spline single;
    single.points = {{0, 0, 0}};
    shape.splines = {empty, closed, single};
    kvf::ByteWriter out;
    kvf::WriteShape(out, shape);
    CShape loaded;
    ReadAll(out.Take(), &CScene::ReadShape, &loaded);
    EXPECT_STREQ("outline", loaded.name);
    ExpectVector(-1, 3, -2, loaded.pivot);
    ASSERT_EQ(3, loaded.splineCount);
    ASSERT_EQ(4, loaded.splines[1].pointCount);
    EXPECT_EQ(-4.0f, loaded.splines[1].points[1].x);
    EXPECT_EQ(6.0f, loaded.splines[1].points[1].y);
    EXPECT_EQ(-5.0f, loaded.splines[1].points[1].z);

    ASSERT_EQ(0, loaded.Prepare(nullptr));
    EXPECT_EQ((std::vector<std::string>{"LibKVF : A Shape has less than one point!"}), Texts());
    // The closed spline repeats its first point: 5 points, 4 segments.
    ASSERT_EQ(5, loaded.splines[1].pointCount);
    EXPECT_EQ(loaded.splines[1].points[0].x, loaded.splines[1].points[4].x);
    EXPECT_EQ(0xFFFFFFFFu, loaded.splines[1].points[4].colour);
    EXPECT_EQ(1, loaded.splines[2].pointCount);
    EXPECT_EQ(0, loaded.splines[0].pointCount);
}

TEST_F(RecordTest, ShapeWithImpossiblePointCountIsRefused)
{
    kvf::Shape shape;
    shape.name = "broken";
    kvf::Spline spline;
    spline.points = {{1, 2, 3}};
    spline.pointCount = 1000;
    shape.splines = {spline};
    kvf::ByteWriter out;
    kvf::WriteShape(out, shape);
    MemoryStream stream(out.Take());
    CShape loaded;
    EXPECT_EQ(1, scene.ReadShape(&stream, &loaded));
    EXPECT_EQ((std::vector<std::string>{"LibKVF : Corrupted shape record : broken"}), Texts());
}

TEST_F(RecordTest, HelperVectorsStayUnconverted)
{
    kvf::Helper helper;
    helper.name = "bone";
    helper.subtype = 3;
    helper.pivot = {1, 2, 3};
    helper.vector1 = {1, 2, 3};
    helper.vector2 = {4, 5, 6};
    // Rows x, y, z and translation (7, 8, 9).
    helper.transform.m[9] = 7;
    helper.transform.m[10] = 8;
    helper.transform.m[11] = 9;
    kvf::ByteWriter out;
    kvf::WriteHelper(out, helper);
    CHelper loaded;
    ReadAll(out.Take(), &CScene::ReadHelper, &loaded);
    EXPECT_EQ(3, loaded.subtype);
    ExpectVector(-1, 3, -2, loaded.pivot);
    ExpectVector(1, 2, 3, loaded.vector1);
    ExpectVector(4, 5, 6, loaded.vector2);
    // The identity stays the identity; the translation is converted.
    EXPECT_EQ(1.0f, loaded.transform._11);
    EXPECT_EQ(1.0f, loaded.transform._22);
    EXPECT_EQ(1.0f, loaded.transform._33);
    EXPECT_EQ(0.0f, loaded.transform._23);
    ExpectVector(-7, 9, -8, D3DVECTOR{loaded.transform._41, loaded.transform._42, loaded.transform._43});
    EXPECT_EQ(1.0f, loaded.transform._44);
}

TEST_F(RecordTest, MatrixRowsAndColumnsAreConverted)
{
    // Row 0 = (1, 2, 3), row 1 = (4, 5, 6), row 2 = (7, 8, 9).
    kvf::Helper helper;
    helper.name = "m";
    for (int i = 0; i < 9; ++i) {
        helper.transform.m[i] = static_cast<float>(i + 1);
    }
    kvf::ByteWriter out;
    kvf::WriteHelper(out, helper);
    CHelper loaded;
    ReadAll(out.Take(), &CScene::ReadHelper, &loaded);
    const D3DMATRIX& m = loaded.transform;
    // Row 0: -(-1, 3, -2); row 1: (-7, 9, -8); row 2: -(-4, 6, -5).
    ExpectVector(1, -3, 2, D3DVECTOR{m._11, m._12, m._13});
    ExpectVector(-7, 9, -8, D3DVECTOR{m._21, m._22, m._23});
    ExpectVector(4, -6, 5, D3DVECTOR{m._31, m._32, m._33});
    EXPECT_EQ(0.0f, m._14);
    EXPECT_EQ(0.0f, m._24);
    EXPECT_EQ(0.0f, m._34);
}

TEST_F(RecordTest, TruncatedRecordsReadZeros)
{
    kvf::Camera camera;
    camera.name = "cut";
    camera.fieldOfView = 1.0f;
    kvf::ByteWriter out;
    kvf::WriteCamera(out, camera);
    std::vector<uint8_t> bytes = out.Take();
    bytes.resize(bytes.size() - 6); // ends inside the parameters
    MemoryStream stream(bytes);
    CCamera loaded;
    ASSERT_EQ(0, scene.ReadCamera(&stream, &loaded));
    EXPECT_EQ(0.0f, loaded.fieldOfView);
    EXPECT_EQ(0.0f, loaded.parameter2);
}

} // namespace
