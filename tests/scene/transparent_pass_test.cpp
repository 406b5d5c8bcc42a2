// The transparent pass: which faces belong to it, their order from back to
// front (checked against a literal insertion sort), the colours their
// blending leaves, faces of hidden bone meshes, and the calls between faces
// that the device needs to merge them.
#include "tests/scene/draw_fixture.h"

#include <algorithm>
#include <cstring>
#include <random>

#include "scene/mesh.h"
#include "scene/transparent_face_list.h"

using namespace d3dref;
using namespace draw;

namespace {

// What the order must be: each item moved forward, one swap at a time, while
// it is strictly deeper than the one before it.
void LiteralInsertionSort(std::vector<TransparentFace*>* items)
{
    std::vector<TransparentFace*>& v = *items;
    for (size_t i = 1; i < v.size(); ++i) {
        for (size_t j = i; j > 0 && v[j]->depth > v[j - 1]->depth; --j) {
            std::swap(v[j], v[j - 1]);
        }
    }
}

TEST(TransparentFaceOrder, MatchesTheInsertionSortFrameAfterFrame)
{
    std::mt19937 random(1234);
    for (size_t count : {0u, 1u, 2u, 15u, 16u, 17u, 33u, 100u, 1000u, 2500u}) {
        std::vector<TransparentFace> faces(count);
        std::vector<TransparentFace*> ours;
        for (TransparentFace& face : faces) {
            ours.push_back(&face);
        }
        std::vector<TransparentFace*> reference = ours;
        std::vector<TransparentFace*> scratch(count);
        // Frames whose depths are few distinct values (many ties), spread
        // widely, reversed, or barely changed from the frame before.
        for (int frame = 0; frame < 12; ++frame) {
            std::uniform_int_distribution<int> few(0, frame % 3 == 0 ? 3 : 40);
            for (size_t i = 0; i < count; ++i) {
                switch (frame % 4) {
                case 0:
                case 1:
                    faces[i].depth = static_cast<float>(few(random));
                    break;
                case 2:
                    faces[i].depth = -faces[i].depth; // the view turns round
                    break;
                default:
                    faces[i].depth += (random() % 50 == 0) ? 0.5f : 0.0f;
                    break;
                }
            }
            LiteralInsertionSort(&reference);
            SortByDepthDescending(ours.data(), scratch.data(), count);
            ASSERT_EQ(reference, ours) << count << " faces, frame " << frame;
        }
    }
}

// Three coloured faces at view depths 5, 9 and 7, listed in that order, all
// covering the centre of the screen; the camera at the origin looks along +z.
Triangle AtDepth(float z, Vec3 colour, int32_t material)
{
    Triangle t;
    const float h = 0.15f * z;
    const float c = 0.05f * z; // the centroid on the view axis
    t.p[0] = {c - h, c - h, z};
    t.p[1] = {c - h, c + h, z};
    t.p[2] = {c + h, c - h, z};
    t.material = material;
    t.colour = colour;
    return t;
}

// A small face at the side of the screen (x, y in units of the depth).
Triangle AtSide(float x, float y, float z, Vec3 colour, int32_t material)
{
    Triangle t;
    const float h = 0.08f * z;
    t.p[0] = {x * z - h, y * z - h, z};
    t.p[1] = {x * z - h, y * z + h, z};
    t.p[2] = {x * z + h, y * z - h, z};
    t.material = material;
    t.colour = colour;
    return t;
}

uint32_t Packed(Vec3 c)
{
    return (static_cast<uint32_t>(c.x * 255.0f) << 16) | (static_cast<uint32_t>(c.y * 255.0f) << 8) |
           static_cast<uint32_t>(c.z * 255.0f);
}

TEST_F(SceneDrawTest, TransparentFacesFarthestFirstWithHiddenBonesAndThresholds)
{
    const Vec3 c5{0.2f, 0.2f, 0.9f};
    const Vec3 c9{0.9f, 0.2f, 0.2f};
    const Vec3 c7{0.2f, 0.9f, 0.4f};
    const Vec3 solidColour{0.6f, 0.6f, 0.0f};
    kvf::Scene description;
    kvf::Material tenth = MakeMaterial("tenth", {0, 0, 0}, 0.1f, 1);          // opaque
    kvf::Material glass = MakeMaterial("glass", {0, 0, 0}, 0.11f, 1);         // SRCCOLOR, INVSRCCOLOR
    kvf::Material masked = MakeMaterial("masked", {0, 0, 0});                 // opacity map: flag word 6
    kvf::TextMap opacity;
    opacity.kind = 6;
    opacity.name = "opacity";
    masked.maps = {opacity};
    description.materials = {tenth, glass, masked};
    const Triangle solid = AtSide(-0.35f, 0.0f, 10, solidColour, 0);
    const Triangle hiddenSolid = AtSide(0.35f, 0.0f, 10, solidColour, 0);
    const Triangle maskedFace = AtSide(0.0f, -0.3f, 6, {1, 1, 1}, 2);
    // "glass" holds the faces at 5 and 9, the bone the one at 7; all unlit.
    description.objects = {
        MakeMesh("glass", {AtDepth(5, c5, 1), AtDepth(9, c9, 1), solid}, true, 0),
        MakeMesh("bone", {AtDepth(7, c7, 1), hiddenSolid}, true, 0),
        MakeMesh("masked", {maskedFace}, true, 0),
    };
    kvf::Mesh skinned = MakeMesh("skinned", {AtSide(0, 0.3f, 8, {1, 1, 1}, -1)});
    skinned.modifiers.entries = {SkinOnOneBone("bone", kvf::kSkinCountFirst, 3)};
    description.objects.push_back(skinned);
    AddCamera(&description, "eye", {0, 0, 0}, {0, 0, 1}, 1.0f, 0.0f);
    ASSERT_EQ(0, LoadAndPrepare(description));
    EXPECT_EQ(0, drawn->RetrieveMesh("bone")->visible);

    const PixelImage image = Frame(0.0f);
    const Lens lens = Lens::LookAt({0, 0, 0}, {0, 0, 1}, 1.0f);

    // Faces are drawn farthest first: 9, 7, 6 (the masked one), 5.
    std::vector<uint32_t> order;
    for (const std::vector<uint8_t>& vertices : tracer->userVertices) {
        MeshVertex first;
        std::memcpy(&first, vertices.data(), sizeof first);
        order.push_back(first.colour);
    }
    EXPECT_EQ((std::vector<uint32_t>{Packed(c9), Packed(c7), Packed({1, 1, 1}), Packed(c5)}), order);

    // Where all three overlap: each blended over the one before,
    // source x source colour + destination x (1 - source colour).
    Color expected = ColorFromArgb(kClear);
    for (Vec3 c : {c9, c7, c5}) {
        const Color source = ColorFromArgb(Packed(c));
        expected = BlendColors(source, expected, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR);
    }
    Color reversed = ColorFromArgb(kClear);
    for (Vec3 c : {c5, c7, c9}) {
        reversed = BlendColors(ColorFromArgb(Packed(c)), reversed, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR);
    }
    ASSERT_FALSE(PixelNear(ArgbFromColor(reversed), ArgbFromColor(expected), 8)) << "the order must show";
    ScreenVertex tri[3];
    const Pixel centre = CentrePixel(lens, AtDepth(5, c5, 1), tri);
    EXPECT_TRUE(PixelNear(image.At(centre.x, centre.y), ArgbFromColor(expected), 3));

    // Transparency 0.1 is opaque: drawn with its mesh as it is.
    const Pixel solidPixel = CentrePixel(lens, solid, tri);
    EXPECT_TRUE(PixelNear(image.At(solidPixel.x, solidPixel.y), Packed(solidColour), 1));
    // The bone's opaque face is not drawn.
    const Pixel hiddenPixel = CentrePixel(lens, hiddenSolid, tri);
    EXPECT_TRUE(PixelNear(image.At(hiddenPixel.x, hiddenPixel.y), kClear, 1));
    // The opacity map blends by the vertex alpha, 0: nothing shows.
    const Pixel maskedPixel = CentrePixel(lens, maskedFace, tri);
    EXPECT_TRUE(PixelNear(image.At(maskedPixel.x, maskedPixel.y), kClear, 1));
    // One opaque draw: the "tenth" face of "glass" (the bone is hidden).
    const auto draws = tracer->Named("DrawIndexedPrimitive");
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ(1u, draws[0].b);
    EXPECT_EQ(4, drawn->transparentFaces->Count());
}

TEST_F(SceneDrawTest, RunsOfOneMaterialReachTheDeviceWithNothingBetweenThem)
{
    kvf::Scene description;
    description.materials = {MakeMaterial("a", {0, 0, 0}, 0.5f, 2), MakeMaterial("b", {0, 0, 0}, 0.5f, 2)};
    // Twenty faces of "a" at increasing depths, then twenty of "b" nearer.
    std::vector<Triangle> faces;
    for (int i = 0; i < 20; ++i) {
        faces.push_back(AtDepth(40.0f - i, {0.02f, 0.02f, 0.02f}, 0));
    }
    for (int i = 0; i < 20; ++i) {
        faces.push_back(AtDepth(10.0f - 0.25f * i, {0.02f, 0.01f, 0.0f}, 1));
    }
    description.objects = {MakeMesh("sheets", faces, true)};
    AddCamera(&description, "eye", {0, 0, 0}, {0, 0, 1}, 1.0f, 0.0f);
    ASSERT_EQ(0, LoadAndPrepare(description));
    const PixelImage image = Frame(0.0f);
    EXPECT_EQ(40u, tracer->userVertices.size());

    // After the first face, nothing but draws until the material changes,
    // once, and again nothing but draws: the device merges each run.
    size_t firstDraw = 0;
    while (tracer->calls[firstDraw].name != "DrawPrimitiveUP") {
        ++firstDraw;
    }
    std::vector<std::string> between;
    size_t draws = 0;
    for (size_t i = firstDraw; i < tracer->calls.size() && draws < 40; ++i) {
        if (tracer->calls[i].name == "DrawPrimitiveUP") {
            ++draws;
        } else if (tracer->calls[i].name != "SetTexture" || tracer->calls[i].b != 0) {
            between.push_back(tracer->calls[i].name);
        }
    }
    EXPECT_EQ(1, std::count(between.begin(), between.end(), "SetMaterial")) << "one change of material";
    EXPECT_EQ(0, std::count(between.begin(), between.end(), "SetTransform"));

    // Additive blending of forty faces: their sum over the background.
    Color expected = ColorFromArgb(kClear);
    for (int i = 0; i < 20; ++i) {
        expected = BlendColors(ColorFromArgb(0x050505), expected, D3DBLEND_ONE, D3DBLEND_ONE);
        expected = BlendColors(ColorFromArgb(0x050200), expected, D3DBLEND_ONE, D3DBLEND_ONE);
    }
    ScreenVertex tri[3];
    const Pixel centre = CentrePixel(Lens::LookAt({0, 0, 0}, {0, 0, 1}, 1.0f), faces[0], tri);
    EXPECT_TRUE(PixelNear(image.At(centre.x, centre.y), ArgbFromColor(expected), 3));
}

} // namespace
