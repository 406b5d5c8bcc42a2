// Lights of every record type lighting a row of faces, with the range rules;
// the markers of targeted spot lights; shapes drawn as white lines.
#include "tests/scene/draw_fixture.h"

using namespace d3dref;
using namespace draw;

namespace {

constexpr float kRadiansPerDegree = 0.017453292f;

Triangle RowFace(float x)
{
    Triangle t;
    t.p[0] = {x - 2, -5, 0};
    t.p[1] = {x - 2, -1, 0};
    t.p[2] = {x + 2, -5, 0};
    return t;
}

struct LightCase {
    const char* name;
    kvf::Light record;
    D3DLIGHT8 expected; // what the light should hand the device
};

kvf::Light Record(int32_t type, Vec3 position, Vec3 target, float multiplier, uint8_t rangeFlag, float range,
                  float hotspot = 0.0f, float falloff = 0.0f)
{
    kvf::Light light;
    light.name = "lamp";
    light.type = type;
    light.position = File(position);
    light.target = File(target);
    light.colour = kvf::Vec3{1.0f, 0.9f, 0.7f};
    light.multiplier = multiplier;
    light.rangeFlag = rangeFlag;
    light.range = range;
    light.hotspot = hotspot;
    light.falloff = falloff;
    return light;
}

D3DLIGHT8 Expected(D3DLIGHTTYPE type, Vec3 position, Vec3 direction, float range, float attenuation1,
                   float theta = 0.0f, float phi = 0.0f)
{
    D3DLIGHT8 light{};
    light.Type = type;
    light.Diffuse = {1.0f, 0.9f, 0.7f, 1.0f};
    light.Position = {position.x, position.y, position.z};
    light.Direction = {direction.x, direction.y, direction.z};
    light.Range = range;
    light.Attenuation1 = attenuation1;
    if (attenuation1 == 0.0f) {
        light.Attenuation0 = 1.0f; // the product multiplier x range was 0
    }
    if (type == D3DLIGHT_SPOT) {
        light.Falloff = 1.0f;
        light.Theta = theta;
        light.Phi = phi;
    }
    return light;
}

TEST_F(SceneDrawTest, LightTypesAndTheirRangeRules)
{
    const Vec3 at{0, 1, -10};
    const Vec3 down{0, -3, 0};
    const Vec3 aim{down.x - at.x, down.y - at.y, down.z - at.z};
    const LightCase cases[] = {
        {"point", Record(1, at, {}, 0.15f, 1, 30.0f), Expected(D3DLIGHT_POINT, at, {}, 30.0f, 1.0f / 4.5f)},
        // No intensity: nothing to divide by, the light is left unattenuated.
        {"point-without-intensity", Record(1, at, {}, 0.0f, 1, 30.0f), Expected(D3DLIGHT_POINT, at, {}, 30.0f, 0.0f)},
        // No range: range 0, and the light reaches nothing.
        {"point-without-range", Record(1, at, {}, 0.15f, 0, 30.0f), Expected(D3DLIGHT_POINT, at, {}, 0.0f, 0.0f)},
        // A spot's range is doubled; its cone angles turn into radians.
        {"spot-with-target", Record(2, at, down, 0.2f, 1, 20.0f, 20.0f, 50.0f),
         Expected(D3DLIGHT_SPOT, at, aim, 40.0f, 0.25f, 20.0f * kRadiansPerDegree, 50.0f * kRadiansPerDegree)},
        // Without a target node, a spot looks at the origin.
        {"spot-at-origin", Record(3, at, {}, 0.2f, 1, 20.0f, 20.0f, 50.0f),
         Expected(D3DLIGHT_SPOT, at, {-at.x, -at.y, -at.z}, 40.0f, 0.25f, 20.0f * kRadiansPerDegree,
                  50.0f * kRadiansPerDegree)},
        // Type 4 has no range values whatever its flag: range 0.
        {"type-4", Record(4, at, {}, 0.2f, 1, 20.0f, 20.0f, 50.0f),
         Expected(D3DLIGHT_SPOT, at, {-at.x, -at.y, -at.z}, 0.0f, 0.0f, 20.0f * kRadiansPerDegree,
                  50.0f * kRadiansPerDegree)},
        // A cone of nothing lights nothing.
        {"zero-cone", Record(3, at, {}, 0.2f, 1, 20.0f),
         Expected(D3DLIGHT_SPOT, at, {-at.x, -at.y, -at.z}, 40.0f, 0.25f)},
    };
    const Triangle faces[] = {RowFace(-5), RowFace(0), RowFace(5)};
    const Lens lens = Lens::LookAt({0, 0, -20}, {0, 0, 0}, 1.0f);
    for (const LightCase& c : cases) {
        SCOPED_TRACE(c.name);
        kvf::Scene description;
        description.materials = {MakeMaterial("dark", {0, 0, 0})};
        description.objects = {MakeMesh("row", {faces[0], faces[1], faces[2]}), c.record};
        AddCamera(&description, "eye", {0, 0, -20}, {0, 0, 0}, 1.0f, 0.0f);
        ASSERT_EQ(0, LoadAndPrepare(description));
        const PixelImage image = Frame(0.0f, c.name);
        ASSERT_EQ(1u, tracer->lights.size());
        const D3DLIGHT8& given = tracer->lights[0];
        EXPECT_EQ(c.expected.Type, given.Type);
        EXPECT_EQ(c.expected.Range, given.Range);
        EXPECT_FLOAT_EQ(c.expected.Attenuation0, given.Attenuation0);
        EXPECT_FLOAT_EQ(c.expected.Attenuation1, given.Attenuation1);
        EXPECT_FLOAT_EQ(c.expected.Theta, given.Theta);
        EXPECT_FLOAT_EQ(c.expected.Phi, given.Phi);
        EXPECT_FLOAT_EQ(c.expected.Direction.x, given.Direction.x);
        EXPECT_FLOAT_EQ(c.expected.Direction.y, given.Direction.y);
        EXPECT_FLOAT_EQ(c.expected.Direction.z, given.Direction.z);
        LightingState state;
        state.material.Diffuse = {0.3f, 0.3f, 0.3f, 0.0f};
        state.lights = {c.expected};
        for (const Triangle& face : faces) {
            ScreenVertex tri[3];
            const Pixel pixel = CentrePixel(lens, face, tri);
            EXPECT_TRUE(PixelNear(image.At(pixel.x, pixel.y), LitColour(state, lens, face, pixel), 3))
                << "face at x = " << face.p[0].x + 2;
        }
    }
}

TEST_F(SceneDrawTest, TargetedSpotsShowTheirMarkers)
{
    kvf::Scene description;
    description.materials = {MakeMaterial("m", {0, 0, 0})};
    const Vec3 greenAt{5, 3, 0};
    const Vec3 redAt{-5, -4, 0};
    kvf::Light green = Record(2, {-5, 3, -5}, greenAt, 1.0f, 1, 50.0f, 20.0f, 40.0f);
    green.markerFlag = 1;
    kvf::Light red = Record(2, {5, -4, -5}, redAt, 1.0f, 1, 50.0f, 20.0f, 40.0f);
    red.name = "other";
    description.objects = {green, red};
    AddCamera(&description, "eye", {0, 0, -20}, {0, 0, 0}, 1.0f, 0.0f);
    ASSERT_EQ(0, LoadAndPrepare(description));
    const PixelImage image = Frame(0.0f);
    const Lens lens = Lens::LookAt({0, 0, -20}, {0, 0, 0}, 1.0f);
    struct Marker {
        Vec3 at;
        D3DCOLOR colour;
    };
    const Marker markers[] = {{{-5, 3, -5}, 0xFFFFFF}, {greenAt, 0x00FF00}, {{5, -4, -5}, 0xFFFFFF}, {redAt, 0xFF0000}};
    for (const Marker& m : markers) {
        const ScreenVertex centre = lens.Screen(m.at);
        // A square 4 units wide facing the camera: well around its centre.
        const ScreenVertex corner = lens.Screen({m.at.x + 1.5f, m.at.y + 1.5f, m.at.z});
        for (const ScreenVertex& p : {centre, corner}) {
            EXPECT_TRUE(PixelNear(image.At(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))),
                                  m.colour, 1))
                << "marker at (" << m.at.x << ", " << m.at.y << ", " << m.at.z << ")";
        }
    }
    // Each marker is one strip of two triangles.
    const auto strips = tracer->Named("DrawPrimitiveUP");
    ASSERT_EQ(4u, strips.size());
    EXPECT_EQ(static_cast<DWORD>(D3DPT_TRIANGLESTRIP), strips[0].a);
    EXPECT_EQ(2u, strips[0].b);
}

TEST_F(SceneDrawTest, ShapesAreWhiteLinesWhateverTheLights)
{
    kvf::Scene description;
    kvf::Shape shape;
    shape.name = "frame";
    kvf::Spline empty;
    kvf::Spline square;
    square.closed = 1;
    for (Vec3 p : {Vec3{-6, -4, 0}, Vec3{-6, 4, 0}, Vec3{6, 4, 0}, Vec3{6, -4, 0}}) {
        square.points.push_back(File(p));
    }
    shape.splines = {empty, square};
    kvf::Light light = Record(1, {0, 0, -5}, {}, 1.0f, 1, 100.0f);
    light.colour = kvf::Vec3{1.0f, 0.0f, 0.0f};
    description.objects = {shape, light};
    AddCamera(&description, "eye", {0, 0, -20}, {0, 0, 0}, 1.0f, 0.0f);
    ASSERT_EQ(0, LoadAndPrepare(description));
    EXPECT_EQ((std::vector<std::string>{"LibKVF : A Shape has less than one point!"}), Texts());
    EXPECT_EQ((std::vector<std::string>{"Zolt Engine Warning"}), Titles());
    const PixelImage image = Frame(0.0f);
    const Lens lens = Lens::LookAt({0, 0, -20}, {0, 0, 0}, 1.0f);
    // The middle of each side, the closing one (bottom) included, is white
    // within a pixel; the inside is background.
    const Vec3 sides[] = {{-6, 0, 0}, {0, 4, 0}, {6, 0, 0}, {0, -4, 0}};
    for (Vec3 side : sides) {
        const ScreenVertex p = lens.Screen(side);
        const int x = static_cast<int>(std::lround(p.x));
        const int y = static_cast<int>(std::lround(p.y));
        bool white = false;
        for (int d = -1; d <= 1; ++d) {
            const bool vertical = side.x != 0.0f;
            white |= image.At(vertical ? x + d : x, vertical ? y : y + d) == 0xFFFFFFFFu;
        }
        EXPECT_TRUE(white) << "side at (" << side.x << ", " << side.y << ")";
    }
    const ScreenVertex inside = lens.Screen({0, 0, 0});
    EXPECT_TRUE(PixelNear(image.At(static_cast<int>(inside.x), static_cast<int>(inside.y)), kClear, 0));
    // One strip of four segments over five points.
    const auto strips = tracer->Named("DrawPrimitiveUP");
    ASSERT_EQ(1u, strips.size());
    EXPECT_EQ(static_cast<DWORD>(D3DPT_LINESTRIP), strips[0].a);
    EXPECT_EQ(4u, strips[0].b);
}

} // namespace
