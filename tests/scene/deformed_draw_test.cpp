// Deformed meshes through the real device: a skinned mesh follows its bone
// and a bent strip bends on screen, because each frame's chain rewrites the
// vertex buffer; the box the chain leaves decides the next frame's culling.
#include "tests/scene/draw_fixture.h"

#include <algorithm>

#include "scene/mesh.h"
#include "scene/node.h"

using namespace d3dref;
using namespace draw;

namespace {

constexpr D3DCOLOR kRed = 0x00FF0000;
constexpr D3DCOLOR kGreen = 0x0000FF00;

// A triangle centred on (x, y) in the plane z = 0, clockwise from a camera
// on -z, in `colour`, with material 0.
Triangle Facing(float x, float y, float half, Vec3 colour)
{
    Triangle t;
    t.p[0] = {x - half, y - half, 0.0f};
    t.p[1] = {x - half, y + half, 0.0f};
    t.p[2] = {x + half, y - half, 0.0f};
    t.colour = colour;
    return t;
}

Triangle Moved(Triangle t, float dx)
{
    for (Vec3& p : t.p) {
        p.x += dx;
    }
    return t;
}

// A helper bone whose node moves along the engine's +x from 0 at frame 0
// to `distance` at frame 10.
kvf::Node MovingBone(const std::string& name, float distance)
{
    kvf::Node node = MakeNode(0, CNode::kHelper, name);
    kvf::Key start;
    kvf::Key end;
    end.time = 10;
    end.value[0] = -distance; // the file's x is the engine's -x
    node.position.keys = {start, end};
    return node;
}

// A vertical strip of `rows` quads of 2.5 by 2 units, from y = -4 up, at
// x, unlit green.
kvf::Mesh Strip(const std::string& name, float x, int rows)
{
    constexpr float kWide = 2.5f;
    constexpr float kHigh = 2.0f;
    std::vector<Triangle> triangles;
    for (int r = 0; r < rows; ++r) {
        const float y = -4.0f + kHigh * static_cast<float>(r);
        Triangle low;
        low.p[0] = {x, y, 0.0f};
        low.p[1] = {x, y + kHigh, 0.0f};
        low.p[2] = {x + kWide, y, 0.0f};
        Triangle high;
        high.p[0] = {x + kWide, y, 0.0f};
        high.p[1] = {x, y + kHigh, 0.0f};
        high.p[2] = {x + kWide, y + kHigh, 0.0f};
        low.colour = high.colour = {0.0f, 1.0f, 0.0f};
        triangles.push_back(low);
        triangles.push_back(high);
    }
    return MakeMesh(name, triangles, true, 0);
}

// The screen row of the highest vertex the chain left in the mesh.
float DeformedTopRow(const Lens& lens, const CMesh& mesh)
{
    float top = 1e9f;
    for (const MeshVertex& v : mesh.deformedVertices) {
        top = std::min(top, lens.Screen({v.x, v.y, v.z}).y);
    }
    return top;
}

// The first row of the picture with a pixel of `colour`, or -1.
int TopRowOf(const PixelImage& image, D3DCOLOR colour)
{
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (PixelNear(image.At(x, y), colour, 1)) {
                return y;
            }
        }
    }
    return -1;
}

int DrawsOf(const TracingDevice& tracer)
{
    return static_cast<int>(tracer.Named("DrawIndexedPrimitive").size());
}

} // namespace

TEST_F(SceneDrawTest, SkinnedAndBentMeshesMoveOnScreenAndTheirBoxCulls)
{
    kvf::Scene description;
    description.materials = {MakeMaterial("plain", {0, 0, 0})};
    // "skinned" follows "bone" 3 units right; "runaway" follows "far" out
    // of the view; "bent" bends from 0 to 90 degrees over ten frames.
    const Triangle red = Facing(-5.0f, 2.0f, 1.0f, {1, 0, 0});
    kvf::Mesh skinned = MakeMesh("skinned", {red}, true, 0);
    skinned.modifiers.entries = {SkinOnOneBone("bone", kvf::kSkinCountFirst, 3)};
    kvf::Mesh runaway = MakeMesh("runaway", {Facing(-5.0f, -3.0f, 1.0f, {1, 0, 0})}, true, 0);
    runaway.modifiers.entries = {SkinOnOneBone("far", kvf::kSkinCountFirst, 3)};
    kvf::Mesh bent = Strip("bent", 2.0f, 4);
    kvf::Modifier bend;
    bend.type = kvf::kBend;
    bend.axis = 2;
    kvf::Controller angle;
    kvf::Key none;
    kvf::Key quarter;
    quarter.time = 10;
    quarter.value[0] = 90.0f;
    angle.keys = {none, quarter};
    bend.parameters = {kvf::AnimatedParameter(angle), kvf::ConstantParameter(0)};
    bent.modifiers.entries = {bend};
    description.objects = {skinned, runaway, bent, MakeHelper("bone"), MakeHelper("far")};
    description.nodes = {MovingBone("bone", 3.0f), MovingBone("far", 1000.0f)};
    AddCamera(&description, "eye", {0, 0, -20}, {0, 0, 0}, 1.0f, 0.0f);
    ASSERT_EQ(0, LoadAndPrepare(description));
    EXPECT_TRUE(Texts().empty());
    const Lens lens = Lens::LookAt({0, 0, -20}, {0, 0, 0}, 1.0f);
    ScreenVertex tri[3];
    const Pixel home = CentrePixel(lens, red, tri);
    const Pixel away = CentrePixel(lens, Moved(red, 3.0f), tri);

    // Frame 0: everything at rest, all three drawn.
    const PixelImage rest = Frame(0.0f, "frame-0");
    EXPECT_TRUE(PixelNear(rest.At(home.x, home.y), kRed, 1));
    EXPECT_TRUE(PixelNear(rest.At(away.x, away.y), kClear, 1));
    EXPECT_EQ(3, DrawsOf(*tracer));
    const CMesh& strip = *drawn->RetrieveMesh("bent");
    const float straightTop = DeformedTopRow(lens, strip);
    EXPECT_NEAR(straightTop, TopRowOf(rest, kGreen), 1.0f);

    // Frame 10: the skinned triangle has followed its bone, the strip's top
    // has bent over to where the chain put it; "runaway" was still in view
    // by the box of frame 0, so it was drawn (off screen) and deformed.
    const PixelImage moved = Frame(10.0f, "frame-10");
    EXPECT_TRUE(PixelNear(moved.At(away.x, away.y), kRed, 1));
    EXPECT_TRUE(PixelNear(moved.At(home.x, home.y), kClear, 1));
    const float bentTop = DeformedTopRow(lens, strip);
    EXPECT_GT(bentTop - straightTop, 4.0f);
    EXPECT_NEAR(bentTop, TopRowOf(moved, kGreen), 1.0f);
    EXPECT_EQ(3, DrawsOf(*tracer));
    const CMesh& far = *drawn->RetrieveMesh("runaway");
    EXPECT_EQ(1, far.inView);
    // Its box is now the deformed one, 1000 units right.
    EXPECT_FLOAT_EQ(994.0f, far.boxMin.x);
    EXPECT_FLOAT_EQ(996.0f, far.boxMax.x);

    // Frame 10 again: that box is out of the frustum, so the mesh is culled
    // and not deformed; it stays culled at frame 0, since only a drawn mesh
    // refreshes its box.
    Frame(10.0f);
    EXPECT_EQ(0, far.inView);
    EXPECT_EQ(2, DrawsOf(*tracer));
    Frame(0.0f);
    EXPECT_EQ(0, far.inView);
    EXPECT_FLOAT_EQ(994.0f, far.boxMin.x);
}
