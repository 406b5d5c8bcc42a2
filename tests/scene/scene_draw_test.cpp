// Whole scenes drawn through the device: lit meshes seen through their
// camera, material subsets, culling, the default and rolled cameras, and the
// device state a frame leaves behind.
#include "tests/scene/draw_fixture.h"

#include "scene/camera.h"
#include "scene/mesh.h"

#include <cstring>

using namespace d3dref;
using namespace draw;

namespace {

// A triangle centred on (x, y) in the plane z, clockwise from the camera
// that looks along +z.
Triangle Facing(float x, float y, float z, float half, int32_t material)
{
    Triangle t;
    t.p[0] = {x - half, y - half, z};
    t.p[1] = {x - half, y + half, z};
    t.p[2] = {x + half, y - half, z};
    t.material = material;
    return t;
}

D3DCOLORVALUE Value(Vec3 c, float a = 0.0f)
{
    return D3DCOLORVALUE{c.x, c.y, c.z, a};
}

// The point light of a type-1 record as the device should receive it.
D3DLIGHT8 PointLight(Vec3 position, Vec3 colour, float multiplier, float range)
{
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = Value(colour, 1.0f);
    light.Position = {position.x, position.y, position.z};
    light.Range = range;
    light.Attenuation1 = 1.0f / (multiplier * range);
    return light;
}

TEST_F(SceneDrawTest, LitMeshThroughItsCameraBySubsets)
{
    const Vec3 sceneAmbient{0.4f, 0.4f, 0.4f};
    const Vec3 ambientA{0.5f, 0.25f, 0.0f};
    const Vec3 ambientB{0.0f, 0.25f, 0.5f};
    const Vec3 lightAt{-3.0f, 2.0f, -8.0f};
    const Vec3 lightColour{1.0f, 0.8f, 0.6f};
    kvf::Scene description;
    description.ambient = kvf::Vec3{sceneAmbient.x, sceneAmbient.y, sceneAmbient.z};
    description.materials = {MakeMaterial("A", ambientA), MakeMaterial("B", ambientB)};
    // Ids A, A, B: two subsets.
    const std::vector<Triangle> faces = {Facing(-6, 0, 0, 2, 0), Facing(0, 0, 0, 2, 0), Facing(6, 0, 0, 2, 1)};
    kvf::Mesh lit = MakeMesh("lit", faces);
    // The same faces far behind the camera: culled, never drawn.
    kvf::Mesh behind = MakeMesh("behind", {Facing(0, 0, -60, 2, 0)});
    kvf::Light light;
    light.name = "lamp";
    light.type = 1;
    light.position = File(lightAt);
    light.colour = kvf::Vec3{lightColour.x, lightColour.y, lightColour.z};
    light.multiplier = 0.15f;
    light.rangeFlag = 1;
    light.range = 30.0f;
    // Lighting flag 0: drawn unlit, in its vertex colour.
    Triangle plain = Facing(0, -5, 0, 2, 0);
    plain.colour = {1.0f, 0.5f, 0.25f};
    description.objects = {lit, behind, light, MakeMesh("unlit", {plain}, true, 0)};
    AddCamera(&description, "eye", {0, 0, -20}, {0, 0, 0}, 1.0f, 0.0f);
    ASSERT_EQ(0, LoadAndPrepare(description));
    EXPECT_TRUE(Texts().empty());

    const PixelImage image = Frame(0.0f);
    const Lens lens = Lens::LookAt({0, 0, -20}, {0, 0, 0}, 1.0f);
    LightingState state;
    state.ambient = 0x00666666; // 0.4 x 255 truncated
    state.lights = {PointLight(lightAt, lightColour, 0.15f, 30.0f)};
    for (size_t i = 0; i < faces.size(); ++i) {
        state.material = D3DMATERIAL8{};
        state.material.Ambient = Value(i < 2 ? ambientA : ambientB);
        state.material.Diffuse = Value({0.3f, 0.3f, 0.3f});
        ScreenVertex tri[3];
        const Pixel pixel = CentrePixel(lens, faces[i], tri);
        EXPECT_TRUE(PixelNear(image.At(pixel.x, pixel.y), LitColour(state, lens, faces[i], pixel), 3))
            << "face " << i;
    }
    ScreenVertex tri[3];
    const Pixel plainPixel = CentrePixel(lens, plain, tri);
    EXPECT_TRUE(PixelNear(image.At(plainPixel.x, plainPixel.y), 0x00FF7F3F, 1)); // truncated packing
    // LIGHTING: on for the scene's light, each mesh's own, and back.
    std::vector<DWORD> lighting;
    for (const auto& call : tracer->Named("SetRenderState")) {
        if (call.a == D3DRS_LIGHTING) {
            lighting.push_back(call.b);
        }
    }
    EXPECT_EQ((std::vector<DWORD>{TRUE, TRUE, TRUE, FALSE, TRUE}), lighting);
    // Two draws for the lit mesh (A twice, then B), none for the culled one.
    const auto draws = tracer->Named("DrawIndexedPrimitive");
    ASSERT_EQ(3u, draws.size());
    EXPECT_EQ(9u, draws[0].a); // vertex span: every vertex of the mesh
    EXPECT_EQ(2u, draws[0].b);
    EXPECT_EQ(0u, draws[0].c);
    EXPECT_EQ(1u, draws[1].b);
    EXPECT_EQ(6u, draws[1].c);
    EXPECT_EQ(0, drawn->RetrieveMesh("behind")->inView);
    EXPECT_EQ(1, drawn->RetrieveMesh("lit")->inView);
    // The buffers were made once, in the default pool.
    const auto buffers = tracer->Named("CreateVertexBuffer");
    EXPECT_TRUE(buffers.empty()) << "buffers are never made again while drawing";
}

TEST_F(SceneDrawTest, CameraRollAndTheDefaultCamera)
{
    struct Case {
        Triangle face; // off the centre, so that a roll moves it
        bool withCamera;
        Vec3 eye;
        float fieldOfView;
        float roll;
        const char* name;
    };
    // The default camera: at (0, 0, -50), field of view 1.8 and, as no node
    // moves it, its constructed rotation's w of 1 taken as the roll.
    const Case cases[] = {{Facing(5, 2, 0, 1.5f, 0), true, {0, 0, -20}, 1.0f, 1.5707964f, "quarter-turn"},
                          {Facing(20, 10, 0, 8, 0), false, {0, 0, -50}, 1.8f, 1.0f, "default"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kvf::Scene description;
        description.materials = {MakeMaterial("m", {1.0f, 1.0f, 1.0f})};
        description.ambient = kvf::Vec3{1.0f, 1.0f, 1.0f};
        description.objects = {MakeMesh("face", {c.face})};
        if (c.withCamera) {
            AddCamera(&description, "eye", c.eye, {0, 0, 0}, c.fieldOfView, c.roll);
        }
        ASSERT_EQ(0, LoadAndPrepare(description));
        const PixelImage image = Frame(0.0f, c.name);
        // Looking along +z, a roll r turns the view by -r about z.
        Lens lens = Lens::LookAt(c.eye, {0, 0, 0}, c.fieldOfView);
        lens.view = MatrixMultiply(lens.view, MatrixRotationZ(-c.roll));
        ScreenVertex tri[3];
        const Pixel pixel = CentrePixel(lens, c.face, tri);
        // Without lights the face is unlit: white vertex colours.
        EXPECT_TRUE(PixelNear(image.At(pixel.x, pixel.y), 0xFFFFFF, 2));
        // Where the face would be without the roll there is only background.
        ScreenVertex unrolled[3];
        const Pixel straight = CentrePixel(Lens::LookAt(c.eye, {0, 0, 0}, c.fieldOfView), c.face, unrolled);
        EXPECT_TRUE(PixelNear(image.At(straight.x, straight.y), kClear, 2));
    }
}

TEST_F(SceneDrawTest, EyeOnItsTargetKeepsTheLastView)
{
    kvf::Scene description;
    description.materials = {MakeMaterial("m", {1.0f, 1.0f, 1.0f})};
    description.objects = {MakeMesh("face", {Facing(0, 0, 0, 2, 0)})};
    AddCamera(&description, "eye", {0, 0, -20}, {0, 0, 0}, 1.0f, 0.0f);
    // The eye moves onto the target at frame 1 and straight above it at 2.
    kvf::Key start;
    const kvf::Vec3 e0 = File({0, 0, -20});
    start.value[0] = e0.x;
    start.value[1] = e0.y;
    start.value[2] = e0.z;
    kvf::Key onTarget;
    onTarget.time = 1;
    kvf::Key above;
    above.time = 2;
    const kvf::Vec3 e2 = File({0, 20, 0});
    above.value[0] = e2.x;
    above.value[1] = e2.y;
    above.value[2] = e2.z;
    description.nodes[0].position.type = 3; // sampled: one key per frame
    description.nodes[0].position.keys = {start, onTarget, above};
    ASSERT_EQ(0, LoadAndPrepare(description));
    Frame(0.0f);
    D3DMATRIX before;
    device->get()->GetTransform(D3DTS_VIEW, &before);
    Frame(1.0f, "on-target");
    D3DMATRIX onIt;
    device->get()->GetTransform(D3DTS_VIEW, &onIt);
    EXPECT_EQ(0, std::memcmp(&before, &onIt, sizeof before)) << "the previous view is kept";
    Frame(2.0f, "above");
    D3DMATRIX fromAbove;
    device->get()->GetTransform(D3DTS_VIEW, &fromAbove);
    // Straight down: the view's z axis is -y, and every entry is finite.
    for (const auto& row : fromAbove.m) {
        for (float value : row) {
            EXPECT_TRUE(std::isfinite(value));
        }
    }
    EXPECT_NEAR(-1.0f, fromAbove._23, 1e-6f);
    EXPECT_NEAR(20.0f, fromAbove._43, 1e-5f);

    // A lens of no angle has no projection: none that is not finite is set.
    std::get<kvf::Camera>(description.objects[1]).fieldOfView = 0.0f;
    ASSERT_EQ(0, LoadAndPrepare(description));
    Frame(0.0f, "no-angle");
    D3DMATRIX projection;
    device->get()->GetTransform(D3DTS_PROJECTION, &projection);
    for (const auto& row : projection.m) {
        for (float value : row) {
            EXPECT_TRUE(std::isfinite(value));
        }
    }
}

} // namespace

namespace {

TEST_F(SceneDrawTest, BufferFailuresShowTheirMessageAndReleaseEverything)
{
    kvf::Scene description;
    description.materials = {MakeMaterial("m", {1, 1, 1})};
    description.objects = {MakeMesh("first", {Facing(0, 0, 0, 1, 0)}), MakeMesh("second", {Facing(0, 0, 0, 1, 0)}),
                           MakeMesh("third", {Facing(0, 0, 0, 1, 0)})};
    struct Case {
        TracingDevice::Fault fault;
        const char* message;
    };
    const Case cases[] = {
        {TracingDevice::Fault::CreateVertex, "LibKVF : Cannot create the mesh VertexBuffer"},
        {TracingDevice::Fault::LockVertex, "LibKVF : Cannot Lock the mesh VertexBuffer"},
        {TracingDevice::Fault::UnlockVertex, "LibKVF : Cannot UnLock the mesh VertexBuffer"},
        {TracingDevice::Fault::CreateIndex, "LibKVF : Cannot create the mesh IndexBuffer"},
        {TracingDevice::Fault::LockIndex, "LibKVF : Cannot Lock the mesh IndexBuffer"},
        {TracingDevice::Fault::UnlockIndex, "LibKVF : Cannot UnLock the mesh IndexBuffer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        boxes.clear();
        tracer->calls.clear();
        tracer->fault = c.fault;
        EXPECT_EQ(1, LoadAndPrepare(description));
        EXPECT_EQ((std::vector<std::string>{c.message}), Texts());
        EXPECT_EQ((std::vector<std::string>{"Zolt Engine Error"}), Titles());
        // The first mesh fails: nothing more is asked of the device.
        const size_t creations = tracer->Named("CreateVertexBuffer").size() + tracer->Named("CreateIndexBuffer").size();
        EXPECT_EQ(c.fault <= TracingDevice::Fault::UnlockVertex ? 1u : 2u, creations);
        drawn.reset();
        EXPECT_EQ(0, tracer->liveBuffers);
    }

    // A mesh that ended at its face map has no vertices: the device refuses
    // the empty buffer.
    tracer->fault = TracingDevice::Fault::None;
    boxes.clear();
    kvf::Mesh faceMapped = MakeMesh("mapped", {Facing(0, 0, 0, 1, 0)});
    faceMapped.faceMapFlag = 1;
    faceMapped.faceMap.assign(24, 0);
    description.objects = {faceMapped};
    EXPECT_EQ(1, LoadAndPrepare(description));
    EXPECT_EQ((std::vector<std::string>{"mapped", "LibKVF : Cannot create the mesh VertexBuffer"}), Texts());
    drawn.reset();
    EXPECT_EQ(0, tracer->liveBuffers);
}

// A triangle wound the other way: its back faces the camera.
Triangle Backwards(Triangle t)
{
    std::swap(t.p[1], t.p[2]);
    return t;
}

TEST_F(SceneDrawTest, TwoSidedAndWireframeThenTheDeviceIsAsBefore)
{
    kvf::Scene description;
    description.ambient = kvf::Vec3{1.0f, 1.0f, 1.0f};
    kvf::Material oneSided = MakeMaterial("one-sided", {1.0f, 0.0f, 0.0f});
    kvf::Material twoSided = MakeMaterial("two-sided", {0.0f, 1.0f, 0.0f});
    twoSided.twoSided = 1;
    kvf::Material wireframe = MakeMaterial("wireframe", {1.0f, 1.0f, 0.0f});
    wireframe.wireframe = 1;
    // The last transparent face leaves its wireframe, its missing culling
    // and a texture transform on the device.
    kvf::Material lastGlass = MakeMaterial("glass", {1.0f, 1.0f, 1.0f}, 0.5f, 2);
    lastGlass.twoSided = 1;
    lastGlass.wireframe = 1;
    kvf::TextMap scrolling;
    scrolling.name = "scrolling";
    scrolling.hasFile = 1;
    scrolling.fileName = "missing.tga"; // reported, drawn without texture
    scrolling.animated = 1;
    scrolling.keys = {{0, 0.5f, 0.5f}};
    lastGlass.maps = {scrolling};
    description.materials = {oneSided, twoSided, wireframe, lastGlass};
    const Triangle culled = Backwards(Facing(-6, 3, 0, 2.5f, 0));
    const Triangle shown = Backwards(Facing(0, 3, 0, 2.5f, 1));
    const Triangle wire = Facing(6, 2, 0, 3.5f, 2);
    description.objects = {MakeMesh("faces", {culled, shown, wire, Facing(0, -6, 0, 1, 3)})};
    AddCamera(&description, "eye", {0, 0, -20}, {0, 0, 0}, 1.0f, 0.0f);
    ASSERT_EQ(0, LoadAndPrepare(description));
    // The pack's and the texture loader's messages, then the material's; the
    // scene goes on without the texture.
    EXPECT_EQ((std::vector<std::string>{"LibUtils : file missing.tga not found in the data.pac zipfile\n",
                                        "LibDX\t:\tCannot open Texture : missing.tga",
                                        "Lib KVF : Error while loading texture : missing.tga"}),
              Texts());

    IDirect3DDevice8* real = device->get();
    const D3DRENDERSTATETYPE watched[] = {D3DRS_CULLMODE, D3DRS_FILLMODE, D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,
                                          D3DRS_DESTBLEND, D3DRS_ZWRITEENABLE};
    DWORD before[6];
    for (int i = 0; i < 6; ++i) {
        real->GetRenderState(watched[i], &before[i]);
    }
    const PixelImage image = Frame(0.0f);
    const Lens lens = Lens::LookAt({0, 0, -20}, {0, 0, 0}, 1.0f);
    ScreenVertex tri[3];
    // Lit meshes in a scene without lights show their material's ambient
    // under the white scene ambient.
    const Pixel culledPixel = CentrePixel(lens, culled, tri);
    EXPECT_TRUE(PixelNear(image.At(culledPixel.x, culledPixel.y), kClear, 1)) << "a back face is culled";
    const Pixel shownPixel = CentrePixel(lens, shown, tri);
    EXPECT_TRUE(PixelNear(image.At(shownPixel.x, shownPixel.y), 0x00FF00, 1)) << "two-sided shows its back";
    // Wireframe: the inside stays clear, the left edge (x = 2.5) is drawn.
    const Pixel inside = CentrePixel(lens, wire, tri);
    EXPECT_TRUE(PixelNear(image.At(inside.x, inside.y), kClear, 1));
    const ScreenVertex edge = lens.Screen({2.5f, 2.0f, 0.0f});
    bool edgeDrawn = false;
    for (int dx = -1; dx <= 1; ++dx) {
        edgeDrawn |= PixelNear(
            image.At(static_cast<int>(std::lround(edge.x)) + dx, static_cast<int>(std::lround(edge.y))), 0xFFFF00, 1);
    }
    EXPECT_TRUE(edgeDrawn);

    // After the frame the device holds what it held before.
    for (int i = 0; i < 6; ++i) {
        DWORD after = 0;
        real->GetRenderState(watched[i], &after);
        EXPECT_EQ(before[i], after) << "render state " << watched[i];
    }
    DWORD flags = 0;
    real->GetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, &flags);
    EXPECT_EQ(static_cast<DWORD>(D3DTTFF_DISABLE), flags);
    IDirect3DBaseTexture8* texture = reinterpret_cast<IDirect3DBaseTexture8*>(1);
    real->GetTexture(0, &texture);
    EXPECT_EQ(nullptr, texture);
}

TEST_F(SceneDrawTest, LightsTakeTheNextIndicesStayOnAndEndWhatAnEarlierSceneLeft)
{
    kvf::Scene description;
    description.materials = {MakeMaterial("m", {1, 1, 1})};
    description.objects = {MakeMesh("face", {Facing(0, 0, 0, 1, 0)})};
    // Ten point lights: more than the eight the pipeline lights with.
    for (int i = 0; i < 10; ++i) {
        kvf::Light light;
        light.name = "lamp" + std::to_string(i);
        light.position = File({static_cast<float>(i), 0, -5});
        light.rangeFlag = 1;
        light.range = 100.0f;
        description.objects.push_back(light);
    }
    AddCamera(&description, "eye", {0, 0, -20}, {0, 0, 0}, 1.0f, 0.0f);
    ASSERT_EQ(0, LoadAndPrepare(description));
    for (int frame = 0; frame < 2; ++frame) {
        // Two lights an earlier scene with more lights left on.
        D3DLIGHT8 stray = {};
        stray.Type = D3DLIGHT_POINT;
        stray.Range = 1.0f;
        for (DWORD i = 10; i < 12; ++i) {
            device->get()->SetLight(i, &stray);
            device->get()->LightEnable(i, TRUE);
        }
        Frame(static_cast<float>(frame));
        std::vector<DWORD> enabled;
        std::vector<DWORD> disabled;
        for (const auto& call : tracer->Named("LightEnable")) {
            (call.b ? enabled : disabled).push_back(call.a);
        }
        EXPECT_EQ((std::vector<DWORD>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), enabled);
        // The scene's own lights stay on for what is drawn after it with
        // its camera; only the leftovers are switched off.
        EXPECT_EQ((std::vector<DWORD>{10, 11}), disabled);
        ASSERT_EQ(10u, tracer->lights.size());
        EXPECT_EQ(3.0f, tracer->lights[3].Position.x);
    }
}

} // namespace
