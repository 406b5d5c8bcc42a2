// Texture maps from the pack on drawn faces: an animated offset at two frame
// times, and a reflection map whose coordinates come from camera-space
// normals through the sphere-map matrix.
#include "tests/scene/draw_fixture.h"

#include "tests/support/test_images.h"

using namespace d3dref;
using namespace draw;

namespace {

// Eight texels in a row: four red, then four green.
TextureImage HalfRedHalfGreen()
{
    TextureImage image;
    image.width = 8;
    image.height = 1;
    for (int x = 0; x < 8; ++x) {
        image.texels.push_back(x < 4 ? 0xFFFF0000u : 0xFF00FF00u);
    }
    return image;
}

PackMember TextureMember(const std::string& name, const TextureImage& image)
{
    TestImage tga{image.width, image.height, image.texels};
    return PackMember{name, EncodeTga(tga, 24, false, TgaRows::TopDown)};
}

// A triangle around `centre` in the plane spanned by `across` and `up`,
// clockwise from a camera looking along +z; u runs 0 to 1 along `across`.
Triangle InPlane(Vec3 centre, Vec3 across, Vec3 up, float h)
{
    Triangle t;
    const auto at = [&](float a, float b) {
        return Vec3{centre.x + a * across.x + b * up.x, centre.y + a * across.y + b * up.y,
                    centre.z + a * across.z + b * up.z};
    };
    t.p[0] = at(-h, -h);
    t.p[1] = at(-h, h);
    t.p[2] = at(h, -h);
    return t;
}

// A mesh of the triangles with u = 0, 0, 1 at the corners and the given
// vertex colour, drawn unlit.
kvf::Mesh TexturedMesh(const std::vector<Triangle>& faces, Vec3 colour)
{
    std::vector<Triangle> coloured = faces;
    for (Triangle& t : coloured) {
        t.colour = colour;
    }
    kvf::Mesh mesh = MakeMesh("textured", coloured, true, 0);
    for (size_t i = 0; i < faces.size(); ++i) {
        mesh.uvs.insert(mesh.uvs.end(), {kvf::Uv{0.0f, 0.5f}, kvf::Uv{0.0f, 0.5f}, kvf::Uv{1.0f, 0.5f}});
        const auto base = static_cast<uint16_t>(3 * i);
        mesh.uvFaces.push_back(
            kvf::IndexTriple{static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 1), base});
    }
    return mesh;
}

kvf::Material MappedMaterial(int32_t kind)
{
    kvf::Material material = MakeMaterial("mapped", {0, 0, 0});
    kvf::TextMap map;
    map.kind = kind;
    map.name = "map";
    map.hasFile = 1;
    map.fileName = "STRIPES.TGA";
    if (kind == 1) {
        map.animated = 1;
        // Frame 1 moves the texture by half its width (the file's u is negated).
        map.keys = {{0, 0.0f, 0.0f}, {1, -0.5f, 0.0f}};
    }
    material.maps = {map};
    return material;
}

TEST_F(SceneDrawTest, AnimatedOffsetAtTwoFrameTimes)
{
    const TextureImage stripes = HalfRedHalfGreen();
    const Triangle face = InPlane({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 5.0f);
    kvf::Scene description;
    description.materials = {MappedMaterial(1)};
    description.objects = {TexturedMesh({face}, {1, 1, 1})};
    AddCamera(&description, "eye", {0, 0, -20}, {0, 0, 0}, 1.0f, 0.0f);
    ASSERT_EQ(0, LoadAndPrepare(description, {TextureMember("STRIPES.TGA", stripes)}));
    EXPECT_TRUE(Texts().empty());

    const Lens lens = Lens::LookAt({0, 0, -20}, {0, 0, 0}, 1.0f);
    ScreenVertex tri[3];
    const Pixel pixel = CentrePixel(lens, face, tri);
    const float u = pixel.weights.z; // corners 0 and 1 have u = 0, corner 2 u = 1
    for (float t : {0.0f, 1.0f}) {
        const PixelImage image = Frame(t, t == 0.0f ? "frame-0" : "frame-1");
        D3DMATRIX offset = MatrixIdentity();
        offset._31 = 0.5f * t;
        const Vec2 uv = TransformTexCoord2({u, 0.5f}, offset);
        const Color texel = SampleTexture(stripes, uv, SamplerState{});
        EXPECT_TRUE(PixelNear(image.At(pixel.x, pixel.y), ArgbFromColor(texel), 1)) << "frame " << t;
    }
    // The two frames differ: red first, green after the move.
    EXPECT_EQ(0xFFFF0000u, ArgbFromColor(SampleTexture(stripes, {u, 0.5f}, SamplerState{})));
    EXPECT_EQ(0xFF00FF00u, ArgbFromColor(SampleTexture(stripes, {u + 0.5f, 0.5f}, SamplerState{})));
}

TEST_F(SceneDrawTest, SphereMapFollowsTheCameraSpaceNormals)
{
    const TextureImage stripes = HalfRedHalfGreen();
    // Faces turned left and right: normals (-0.6, 0, -0.8) and (0.6, 0, -0.8).
    const std::vector<Triangle> faces = {InPlane({-5, 0, 0}, {0.8f, 0, -0.6f}, {0, 1, 0}, 3.0f),
                                         InPlane({5, 0, 0}, {0.8f, 0, 0.6f}, {0, 1, 0}, 3.0f)};
    kvf::Scene description;
    description.materials = {MappedMaterial(9)};
    // Black vertex colours: ADDSMOOTH then shows the texture alone.
    description.objects = {TexturedMesh(faces, {0, 0, 0})};
    AddCamera(&description, "eye", {0, 0, -20}, {0, 0, 0}, 1.0f, 0.0f);
    ASSERT_EQ(0, LoadAndPrepare(description, {TextureMember("STRIPES.TGA", stripes)}));
    const PixelImage image = Frame(0.0f);

    const Lens lens = Lens::LookAt({0, 0, -20}, {0, 0, 0}, 1.0f);
    D3DMATRIX sphere{};
    sphere._11 = 0.5f;
    sphere._22 = -0.5f;
    sphere._33 = 1.0f;
    sphere._41 = 0.5f;
    sphere._42 = 0.5f;
    sphere._44 = 1.0f;
    SamplerState linear;
    linear.filter = D3DTEXF_LINEAR;
    const D3DCOLOR expected[] = {0xFF0000, 0x00FF00};
    for (size_t i = 0; i < faces.size(); ++i) {
        ScreenVertex tri[3];
        const Pixel pixel = CentrePixel(lens, faces[i], tri);
        const Vec3 normal = CameraSpaceNormal(FaceNormal(faces[i]), MatrixIdentity(), lens.view, false);
        const Color texel = SampleTexture(stripes, CameraNormalTexCoord2(normal, sphere), linear);
        EXPECT_TRUE(PixelNear(image.At(pixel.x, pixel.y), ArgbFromColor(texel), 2)) << "face " << i;
        EXPECT_TRUE(PixelNear(ArgbFromColor(texel), expected[i], 8)) << "face " << i;
    }
}

} // namespace
