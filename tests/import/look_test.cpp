// How imported models look: each format's camera shows the model where the
// model's own tools would, a model without camera and lights gets ones that
// frame it and show its colours, --bare keeps the plain conversion, and
// nonsense in cameras, lights and materials never reaches the file.
#include <cmath>
#include <cstring>
#include <map>

#include <stb/stb_image.h>

#include "pack/pack_file.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "scene/material.h"
#include "tests/import/import_fixture.h"
#include "tests/import/marker_models.h"
#include "tests/import/model_files.h"
#include "tests/support/png_writer.h"
#include "tools/import/import_command.h"
#include "tools/render/render_command.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Picture {
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return &rgb[(y * kWidth + x) * 3]; }
};

using LookTest = ImportTest;

// zolt-render's picture of the scene at `frame`, on black, kept in
// test-output.
Picture Render(const std::string& pack, const std::string& sceneName, const std::string& frame = "0")
{
    const std::string path = TestOutputPath("LookTest." + sceneName);
    const char* const arguments[] = {"zolt-render", "--pack", pack.c_str(), "--frame", frame.c_str(),
                                     "--clear", "0x000000", "--out", path.c_str(), sceneName.c_str()};
    Picture picture;
    EXPECT_EQ(0, RunRender(10, arguments, stdout)) << sceneName;
    int width = 0, height = 0, channels = 0;
    unsigned char* rgb = stbi_load(path.c_str(), &width, &height, &channels, 3);
    if (rgb == nullptr || width != kWidth || height != kHeight) {
        ADD_FAILURE() << path << " is not a 640 x 480 picture";
        picture.rgb.assign(kWidth * kHeight * 3, 0);
    } else {
        picture.rgb.assign(rgb, rgb + kWidth * kHeight * 3);
    }
    stbi_image_free(rgb);
    return picture;
}

// Which marker colour a pixel shows, lit or in shade: 0 red, 1 green,
// 2 blue, 3 yellow, -1 none.
int MarkerOf(const uint8_t* p)
{
    const float r = p[0], g = p[1], b = p[2];
    if (std::max({r, g, b}) < 20.0f) {
        return -1;
    }
    if (r > 2.5f * g && r > 2.5f * b) {
        return 0;
    }
    if (g > 2.5f * r && g > 2.5f * b) {
        return 1;
    }
    if (b > 2.5f * r && b > 2.5f * g) {
        return 2;
    }
    if (r > 2.5f * b && g > 2.5f * b && std::min(r, g) > 0.6f * std::max(r, g)) {
        return 3;
    }
    return -1;
}

// The centre of each marker's pixels; (-1, -1) for a marker not seen.
std::vector<aiVector2D> FindMarkers(const Picture& picture)
{
    std::vector<double> sx(4, 0.0), sy(4, 0.0), n(4, 0.0);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int m = MarkerOf(picture.At(x, y));
            if (m >= 0) {
                sx[m] += x + 0.5;
                sy[m] += y + 0.5;
                n[m] += 1.0;
            }
        }
    }
    std::vector<aiVector2D> centres;
    for (int m = 0; m < 4; ++m) {
        centres.push_back(n[m] > 0 ? aiVector2D(sx[m] / n[m], sy[m] / n[m]) : aiVector2D(-1.0f, -1.0f));
    }
    return centres;
}

aiVector3D ModelPoint(const D3DVECTOR& engine)
{
    return {-engine.x, engine.y, engine.z};
}

// Where a point shows through a level camera at `eye` looking at `target`
// with the vertical angle `vertical` (its whole angle), on 640 x 480.
aiVector2D ProjectLookAt(const aiVector3D& eye, const aiVector3D& target, float vertical, const aiVector3D& p)
{
    const aiVector3D forward = (target - eye).Normalize();
    const aiVector3D right = (forward ^ aiVector3D(0.0f, 1.0f, 0.0f)).Normalize();
    const aiVector3D up = right ^ forward;
    const aiVector3D q = p - eye;
    const float scale = 240.0f / std::tan(0.5f * vertical);
    return {320.0f + scale * (q * right) / (q * forward), 240.0f - scale * (q * up) / (q * forward)};
}

TEST_F(LookTest, EveryFormatsCameraShowsTheMarkersWhereItsOwnProjectionPutsThem)
{
    // Each camera states its angle its format's way; rolls where the format
    // turns its camera by its node.
    MarkerCamera gltf;
    gltf.angle = 0.7f;
    gltf.vertical = true;
    gltf.roll = 0.15f;
    MarkerCamera collada;
    collada.angle = 0.9f;
    collada.roll = -0.1f;
    collada.yaw = -0.05f;
    MarkerCamera max3ds;
    max3ds.angle = 0.85f;
    MarkerCamera fbx;
    fbx.angle = 0.8f;
    fbx.yaw = 0.12f;
    WriteText(dir.File("text.gltf"), MarkerGltf(gltf));
    WriteFileBytes(dir.File("binary.glb"), MarkerGlb(gltf));
    WriteText(dir.File("collada.dae"), MarkerCollada(collada));
    WriteFileBytes(dir.File("max.3ds"), MarkerMax3ds(max3ds));
    WriteText(dir.File("fbx.fbx"), MarkerFbx(fbx));
    WriteText(dir.File("obj.obj"), MarkerObj());
    WriteText(dir.File("markers.mtl"), MarkerMtl());
    const ImportRun run = Import({dir.File("text.gltf"), dir.File("binary.glb"), dir.File("collada.dae"),
                                  dir.File("max.3ds"), dir.File("fbx.fbx"), dir.File("obj.obj")});
    ASSERT_EQ(0, run.status) << run.err;

    const std::pair<const char*, const MarkerCamera*> own[] = {
        {"text.KVF", &gltf}, {"binary.KVF", &gltf}, {"collada.KVF", &collada}, {"max.KVF", &max3ds}, {"fbx.KVF", &fbx}};
    for (const auto& format : own) {
        EXPECT_NE(std::string::npos, run.out.find(std::string(format.first) + ": 4 meshes, 48 faces, 32 vertices, 0 "
                                                  "bones, 1 camera, 2 lights, 0 frames; added 2 lights"))
            << run.out;
        const std::vector<aiVector2D> found = FindMarkers(Render(Pack(), format.first));
        for (int m = 0; m < 4; ++m) {
            const aiVector2D expected = format.second->Project(Markers()[m].centre);
            EXPECT_NEAR(expected.x, found[m].x, 2.0f) << format.first << " marker " << m;
            EXPECT_NEAR(expected.y, found[m].y, 2.0f) << format.first << " marker " << m;
        }
    }

    // OBJ has no camera: the added one stands in front of the model (+Z),
    // above it, looking at the middle of its box, and shows every marker
    // where its own look-at projection puts it.
    EXPECT_NE(std::string::npos, run.out.find("obj.KVF: 4 meshes, 48 faces, 32 vertices, 0 bones, 1 camera, 2 lights, "
                                              "0 frames; added a camera; added 2 lights"))
        << run.out;
    std::unique_ptr<CScene> scene = Load("obj.KVF");
    const CCamera* camera = scene->cameras.Count() == 1 ? *scene->cameras.begin() : nullptr;
    ASSERT_NE(nullptr, camera);
    const aiVector3D eye = ModelPoint(camera->position), target = ModelPoint(camera->target->position);
    const aiVector3D middle(0.25f, 0.25f, 0.0f); // of the markers' box, from -1.05 to 1.55 and -0.55 to 0.55
    EXPECT_NEAR(middle.x, target.x, 1e-4f);
    EXPECT_NEAR(middle.y, target.y, 1e-4f);
    EXPECT_NEAR(middle.z, target.z, 1e-4f);
    const aiVector3D view = target - eye;
    EXPECT_NEAR(0.0f, view.x, 1e-4f);
    EXPECT_GT(eye.z, 3.0f);
    EXPECT_NEAR(15.0f, std::atan2(-view.y, -view.z) * 57.29578f, 0.01f) << "looks down 15 degrees";
    const std::vector<aiVector2D> found = FindMarkers(Render(Pack(), "obj.KVF"));
    for (int m = 0; m < 4; ++m) {
        const aiVector2D expected = ProjectLookAt(eye, target, 0.8f * camera->fieldOfView, Markers()[m].centre);
        EXPECT_NEAR(expected.x, found[m].x, 2.0f) << "obj marker " << m;
        EXPECT_NEAR(expected.y, found[m].y, 2.0f) << "obj marker " << m;
    }
}

} // namespace

namespace {

// A 2 x 2 square facing +Z with the glTF base colour (0.8, 0.5, 0.2), no
// camera and no light.
std::string ColouredSquareGltf()
{
    const float data[24] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    std::vector<uint8_t> buffer(108);
    std::memcpy(buffer.data(), data, 96);
    std::memcpy(buffer.data() + 96, indices, 12);
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"name":"square","mesh":0}],
"meshes":[{"primitives":[{"attributes":{"POSITION":0,"NORMAL":1},"indices":2,"material":0}]}],
"materials":[{"name":"clay","pbrMetallicRoughness":{"baseColorFactor":[0.8,0.5,0.2,1],"metallicFactor":0}}],
"accessors":[{"bufferView":0,"componentType":5126,"count":4,"type":"VEC3","min":[-1,-1,0],"max":[1,1,0]},
{"bufferView":1,"componentType":5126,"count":4,"type":"VEC3"},{"bufferView":2,"componentType":5123,"count":6,"type":"SCALAR"}],
"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":48},{"buffer":0,"byteOffset":48,"byteLength":48},
{"buffer":0,"byteOffset":96,"byteLength":12}],
"buffers":[{"byteLength":108,"uri":"data:application/octet-stream;base64,)" +
           Base64(buffer) + R"("}]})";
}

std::vector<uint8_t> Member(const std::string& pack, const std::string& name)
{
    CPackFile file;
    if (file.Open(name.c_str(), pack.c_str()) != 0) {
        return {};
    }
    std::vector<uint8_t> bytes(file.Remaining());
    file.Read(bytes.data(), 1, static_cast<int>(bytes.size()), &file);
    file.Close();
    return bytes;
}

// The --bare scene of ColouredSquareGltf as zolt-import wrote it before.
constexpr size_t kBareSize = 602;
constexpr uint64_t kBareHash = 11788908507235324389ull;

uint64_t Fnv1a(const std::vector<uint8_t>& bytes)
{
    uint64_t hash = 14695981039346656037ull;
    for (uint8_t b : bytes) {
        hash = (hash ^ b) * 1099511628211ull;
    }
    return hash;
}

// Under the added lights the square, facing the camera, shows its base
// colour within 10% of full scale on each channel; with --bare the scene is
// the plain conversion, byte for byte the one zolt-import wrote before it
// added cameras, lights and colours (its size and hash are recorded here).
TEST_F(LookTest, BaseColourShowsUnderTheAddedLightsAndBareKeepsThePlainConversion)
{
    WriteText(dir.File("square.gltf"), ColouredSquareGltf());
    const ImportRun run = Import({dir.File("square.gltf")});
    ASSERT_EQ(0, run.status) << run.err;
    const Picture picture = Render(Pack(), "square.KVF");
    // glTF's colour factors are linear: (0.8, 0.5, 0.2) shows as the display
    // values (0.906, 0.735, 0.485), as glTF viewers show it.
    const uint8_t* centre = picture.At(320, 240);
    EXPECT_NEAR(0.906f * 255, centre[0], 25.5f);
    EXPECT_NEAR(0.735f * 255, centre[1], 25.5f);
    EXPECT_NEAR(0.485f * 255, centre[2], 25.5f);
    // The square fills the framed picture's middle and shows its colour
    // over all of it, not only where a light is nearest.
    int coloured = 0;
    for (int y = 0; y < kHeight; y += 4) {
        for (int x = 0; x < kWidth; x += 4) {
            const uint8_t* p = picture.At(x, y);
            coloured += p[0] > 0.6f * 255 && p[0] > p[1] && p[1] > p[2] ? 1 : 0;
        }
    }
    EXPECT_GT(coloured, kWidth * kHeight / 16 / 4) << "a quarter of the picture at least";

    const std::string barePack = dir.File("bare.pac");
    const ImportRun bare = Import({"--bare", "--pack", barePack, dir.File("square.gltf")});
    ASSERT_EQ(0, bare.status) << bare.err;
    EXPECT_EQ("square.KVF: 1 mesh, 2 faces, 4 vertices, 0 bones, 0 cameras, 0 lights, 0 frames\n", bare.out);
    const std::vector<uint8_t> bytes = Member(barePack, "square.KVF");
    EXPECT_EQ(kBareSize, bytes.size());
    EXPECT_EQ(kBareHash, Fnv1a(bytes));
}

} // namespace

namespace {

// The added camera frames the whole animation: every vertex of every frame
// of a skinned model, deformed by the library's skinning (bone world times
// offset, weighted) and projected through the camera the scene holds, lies
// inside the picture and beyond the near plane, and the model's box over
// the animation fills at least half the picture's width or height.
TEST_F(LookTest, AddedCameraFramesEveryFrameOfSkinnedModels)
{
    const std::string models[] = {std::string(kAssimpModels) + "glTF2/simple_skin/simple_skin.gltf",
                                  std::string(kAssimpModels) + "Collada/box_nested_animation.dae"};
    for (const std::string& path : models) {
        REQUIRE_MODEL(path, "assimp-testmodels");
        const ImportRun run = Import({path});
        ASSERT_EQ(0, run.status) << run.err;
        EXPECT_NE(std::string::npos, run.out.find("; added a camera; added 2 lights")) << run.out;
        const std::string sceneName = import::DefaultSceneName(path);
        std::unique_ptr<CScene> scene = Load(sceneName);
        ASSERT_EQ(1, scene->cameras.Count());
        const CCamera& camera = **scene->cameras.begin();
        const aiVector3D eye = ModelPoint(camera.position), target = ModelPoint(camera.target->position);
        const aiVector3D forward = (target - eye).Normalize();

        const aiScene* source = ReadModel(path);
        ASSERT_NE(nullptr, source);
        float left = kWidth, right = 0, top = kHeight, bottom = 0;
        int outside = 0, vertices = 0;
        for (int frame = 0; frame <= scene->endFrame; ++frame) {
            const auto worlds = ReferenceWorlds(source, TicksAtFrame(source, frame));
            for (const aiNode* node : ModelNodes(source)) {
                for (unsigned i = 0; i < node->mNumMeshes; ++i) {
                    const aiMesh* mesh = source->mMeshes[node->mMeshes[i]];
                    std::vector<aiVector3D> moved(mesh->mNumVertices);
                    for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
                        moved[v] = mesh->mNumBones == 0 ? worlds.at(node) * mesh->mVertices[v] : aiVector3D();
                    }
                    for (unsigned b = 0; b < mesh->mNumBones; ++b) {
                        const aiBone* bone = mesh->mBones[b];
                        const aiMatrix4x4 m = worlds.at(source->mRootNode->FindNode(bone->mName)) * bone->mOffsetMatrix;
                        for (unsigned w = 0; w < bone->mNumWeights; ++w) {
                            const aiVertexWeight& weight = bone->mWeights[w];
                            moved[weight.mVertexId] += (m * mesh->mVertices[weight.mVertexId]) * weight.mWeight;
                        }
                    }
                    for (const aiVector3D& p : moved) {
                        const aiVector2D s = ProjectLookAt(eye, target, 0.8f * camera.fieldOfView, p);
                        const float depth = (p - eye) * forward;
                        outside += s.x < 0 || s.x > kWidth || s.y < 0 || s.y > kHeight || depth < 1.0f ? 1 : 0;
                        left = std::min(left, s.x);
                        right = std::max(right, s.x);
                        top = std::min(top, s.y);
                        bottom = std::max(bottom, s.y);
                        ++vertices;
                    }
                }
            }
        }
        EXPECT_GT(scene->endFrame, 10) << path;
        EXPECT_EQ(0, outside) << path << ": of " << vertices;
        EXPECT_TRUE(right - left >= 0.5f * kWidth || bottom - top >= 0.5f * kHeight)
            << path << ": " << left << ".." << right << " x " << top << ".." << bottom;
    }
}

} // namespace

namespace {

// glTF cameras of field of view 0 and -1, of aspect ratio 1e300, one at an
// infinite place (1e39 overflows a float) and one squashed to a point
// (its view has no direction), and a material of infinite base colour.
const char* const kBadCamerasGltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1,2,3,4,5]}],
"nodes":[{"name":"tri","mesh":0},{"name":"flat","camera":0},{"name":"negative","camera":1},{"name":"wide","camera":2},
{"name":"far","camera":3,"translation":[1e39,0,0]},{"name":"squashed","camera":4,"scale":[0,0,0]}],
"cameras":[{"type":"perspective","perspective":{"yfov":0,"znear":0.1}},{"type":"perspective","perspective":{"yfov":-1,"znear":0.1}},
{"type":"perspective","perspective":{"yfov":0.8,"aspectRatio":1e300,"znear":0.1}},{"type":"perspective","perspective":{"yfov":0.8,"znear":0.1}},
{"type":"perspective","perspective":{"yfov":0.8,"znear":0.1}}],
"meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1,"material":0}]}],
"materials":[{"name":"glaring","pbrMetallicRoughness":{"baseColorFactor":[1e39,0,0,1]}}],
"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]},
{"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"}],
"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":6}],
"buffers":[{"byteLength":44,"uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAABAAIAAAA="}]})";

// Collada point lights whose attenuation makes their range 0 and infinite,
// one of colour and place NaN, and a material of NaN colour.
const char* const kBadLightsCollada = R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset><unit name="meter" meter="1"/><up_axis>Y_UP</up_axis></asset>
<library_lights>
<light id="dim-l" name="dim"><technique_common><point><color>1 1 1</color><constant_attenuation>1</constant_attenuation><linear_attenuation>1e39</linear_attenuation></point></technique_common></light>
<light id="endless-l" name="endless"><technique_common><point><color>1 1 1</color><constant_attenuation>1</constant_attenuation><linear_attenuation>1e-40</linear_attenuation></point></technique_common></light>
<light id="murky-l" name="murky"><technique_common><point><color>nan nan nan</color></point></technique_common></light>
</library_lights>
<library_effects><effect id="fx"><profile_COMMON><technique sid="common"><lambert><diffuse><color>nan nan nan 1</color></diffuse></lambert></technique></profile_COMMON></effect></library_effects>
<library_materials><material id="murk" name="murk"><instance_effect url="#fx"/></material></library_materials>
<library_geometries><geometry id="g"><mesh><source id="g-p"><float_array id="g-a" count="9">0 0 0 1 0 0 0 1 0</float_array>
<technique_common><accessor source="#g-a" count="3" stride="3"><param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
<vertices id="g-v"><input semantic="POSITION" source="#g-p"/></vertices><triangles material="m" count="1"><input semantic="VERTEX" source="#g-v" offset="0"/><p>0 1 2</p></triangles></mesh></geometry></library_geometries>
<library_visual_scenes><visual_scene id="Scene">
<node id="tri" name="tri"><instance_geometry url="#g"><bind_material><technique_common><instance_material symbol="m" target="#murk"/></technique_common></bind_material></instance_geometry></node>
<node id="dim" name="dim"><translate>0 0 5</translate><instance_light url="#dim-l"/></node>
<node id="endless" name="endless"><translate>0 5 0</translate><instance_light url="#endless-l"/></node>
<node id="murky" name="murky"><translate>nan 0 0</translate><instance_light url="#murky-l"/></node>
</visual_scene></library_visual_scenes>
<scene><instance_visual_scene url="#Scene"/></scene></COLLADA>
)";

bool Finite(const D3DVECTOR& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool Finite(const D3DCOLORVALUE& c)
{
    return std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b) && std::isfinite(c.a);
}

bool Finite(const D3DMATRIX& m)
{
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (!std::isfinite(m.m[r][c])) {
                return false;
            }
        }
    }
    return true;
}

// Each piece of nonsense is named in a warning and given a sane value: the
// scenes load, and every camera, light, material and node the engine holds
// is finite, lights and materials prepared for the device included.
TEST_F(LookTest, NonsenseInCamerasLightsAndMaterialsIsWarnedAboutAndNeverWritten)
{
    WriteText(dir.File("cameras.gltf"), kBadCamerasGltf);
    WriteText(dir.File("lights.dae"), kBadLightsCollada);
    const ImportRun run = Import({dir.File("cameras.gltf"), dir.File("lights.dae")});
    ASSERT_EQ(0, run.status) << run.err;
    for (const char* warning : {
             "cameras.gltf: camera flat: its vertical field of view 0.000000 makes no sense; it is given a vertical "
             "field of view of 45 degrees",
             "cameras.gltf: camera negative: its vertical field of view -1.000000 makes no sense",
             "cameras.gltf: camera wide: its aspect ratio inf makes no sense",
             "cameras.gltf: camera far has a position that is not a number; it is placed at the origin",
             "cameras.gltf: camera squashed looks in no direction (its target is on its eye); it looks along -Z",
             "cameras.gltf: material glaring: its diffuse colour is not a number; 0.800000, 0.800000, 0.800000 is used",
             "cameras.gltf: 3 values that are not finite numbers",
             "lights.dae: material murk: its diffuse colour is not a number",
             "lights.dae: light dim reaches 0.000000 units; it is given a range of 7500",
             "lights.dae: light endless reaches inf units; it is given a range of 7500",
             "lights.dae: light murky has a colour that is not a number or below 0; it shines white",
             "lights.dae: light murky has a position that is not a number; it is placed at the origin"}) {
        EXPECT_NE(std::string::npos, run.err.find(std::string("zolt-import: warning: ") + dir.Path() + "/" + warning))
            << warning << "\n" << run.err;
    }
    for (const char* name : {"cameras.KVF", "lights.KVF"}) {
        std::unique_ptr<CScene> scene = Load(name);
        scene->Update(0.0f);
        for (const CCamera* camera : scene->cameras) {
            EXPECT_TRUE(Finite(camera->position) && Finite(camera->target->position)) << camera->name;
            EXPECT_GT(camera->fieldOfView * 0.8f, 0.0f) << camera->name;
            EXPECT_LT(camera->fieldOfView * 0.8f, 3.1416f) << camera->name;
        }
        for (const CLight* light : scene->lights) {
            EXPECT_TRUE(Finite(light->position) && Finite(light->colour)) << light->name;
            EXPECT_TRUE(std::isfinite(light->light.Attenuation1) && light->light.Attenuation1 > 0) << light->name;
            EXPECT_TRUE(std::isfinite(light->light.Range) && light->light.Range > 0) << light->name;
        }
        for (int i = 0; i < scene->materialCount; ++i) {
            const CMaterial& m = scene->materials[i];
            EXPECT_TRUE(Finite(m.deviceMaterial.Diffuse) && Finite(m.deviceMaterial.Ambient) &&
                        Finite(m.deviceMaterial.Specular) && std::isfinite(m.power))
                << m.name;
        }
        std::vector<const CNode*> nodes;
        for (const CNode* root : scene->roots) {
            nodes.push_back(root);
        }
        while (!nodes.empty()) {
            const CNode* node = nodes.back();
            nodes.pop_back();
            EXPECT_TRUE(Finite(node->world)) << name << " " << (node->name ? node->name : "");
            for (const CNode* child : node->children) {
                nodes.push_back(child);
            }
        }
    }
}

} // namespace

namespace {

// The engine's lights fall off as 1 / distance; the file's point light (a
// glTF light, by the square of the distance) and its directional light (not
// at all) bring the model's centre, the middle of the triangle of
// LightsGltf, the light the file gives there.
TEST_F(LookTest, LightsBringTheModelsCentreTheLightOfTheFile)
{
    WriteText(dir.File("lights.gltf"), LightsGltf());
    const ImportRun run = Import({dir.File("lights.gltf")});
    ASSERT_EQ(0, run.status) << run.err;
    std::unique_ptr<CScene> scene = Load("lights.KVF");
    const aiVector3D centre(0.5f, 0.5f, 0.0f);
    auto atCentre = [&](const char* name) {
        const CLight* light = scene->RetrieveLight(name);
        EXPECT_NE(nullptr, light) << name;
        if (light == nullptr) {
            return 0.0f;
        }
        const float d = (ModelPoint(light->position) - centre).Length();
        EXPECT_LT(d, light->range) << name;
        // Red of the colour times the attenuation the device applies.
        return light->colour.r / (light->light.Attenuation1 * d);
    };
    // lamp: colour (1, 0.5, 0.25) at intensity 2 from (1, 2, 3).
    EXPECT_NEAR(2.0f / (centre - aiVector3D(1, 2, 3)).SquareLength(), atCentre("lamp"), 1e-4f);
    // sun: white, whatever the distance.
    EXPECT_NEAR(1.0f, atCentre("sun"), 1e-4f);
}

} // namespace

namespace {

// The model's triangles as a plain rasteriser sees them through a camera:
// every triangle of every mesh (skinned by the library's skinning) whose
// corners lie beyond the near plane, filled by the centres of pixels.
struct Silhouette {
    std::vector<uint8_t> covered = std::vector<uint8_t>(kWidth * kHeight, 0);
};

struct ReferenceCamera {
    aiVector3D eye, forward, up, right;
    float tanVertical = 1.0f;
};

aiVector2D ProjectReference(const ReferenceCamera& c, const aiVector3D& p, float* depth)
{
    const aiVector3D q = p - c.eye;
    *depth = q * c.forward;
    const float scale = 240.0f / c.tanVertical;
    return {320.0f + scale * (q * c.right) / *depth, 240.0f - scale * (q * c.up) / *depth};
}

void Fill(const aiVector2D& a, const aiVector2D& b, const aiVector2D& c, Silhouette* out)
{
    const float area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (area == 0.0f) {
        return;
    }
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
    const int x1 = std::min(kWidth - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
    const int y1 = std::min(kHeight - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const aiVector2D p(x + 0.5f, y + 0.5f);
            const float w0 = ((b.x - p.x) * (c.y - p.y) - (b.y - p.y) * (c.x - p.x)) / area;
            const float w1 = ((c.x - p.x) * (a.y - p.y) - (c.y - p.y) * (a.x - p.x)) / area;
            if (w0 >= 0.0f && w1 >= 0.0f && w0 + w1 <= 1.0f) {
                out->covered[y * kWidth + x] = 1;
            }
        }
    }
}

Silhouette Rasterise(const aiScene* source, double ticks, const ReferenceCamera& camera)
{
    Silhouette out;
    const auto worlds = ReferenceWorlds(source, ticks);
    for (const aiNode* node : ModelNodes(source)) {
        for (unsigned i = 0; i < node->mNumMeshes; ++i) {
            const aiMesh* mesh = source->mMeshes[node->mMeshes[i]];
            std::vector<aiVector3D> moved(mesh->mNumVertices);
            for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
                moved[v] = mesh->mNumBones == 0 ? worlds.at(node) * mesh->mVertices[v] : aiVector3D();
            }
            for (unsigned b = 0; b < mesh->mNumBones; ++b) {
                const aiBone* bone = mesh->mBones[b];
                const aiMatrix4x4 m = worlds.at(source->mRootNode->FindNode(bone->mName)) * bone->mOffsetMatrix;
                for (unsigned w = 0; w < bone->mNumWeights; ++w) {
                    moved[bone->mWeights[w].mVertexId] += (m * mesh->mVertices[bone->mWeights[w].mVertexId]) *
                                                          bone->mWeights[w].mWeight;
                }
            }
            for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
                const aiFace& face = mesh->mFaces[f];
                if (face.mNumIndices != 3) {
                    continue;
                }
                aiVector2D corners[3];
                bool beyondNear = true;
                for (int k = 0; k < 3; ++k) {
                    float depth = 0.0f;
                    corners[k] = ProjectReference(camera, moved[face.mIndices[k]], &depth);
                    beyondNear = beyondNear && depth > 1.0f;
                }
                if (beyondNear) {
                    Fill(corners[0], corners[1], corners[2], &out);
                }
            }
        }
    }
    return out;
}

// Real glTF models drawn by zolt-render cover the pixels a plain rasteriser
// of the library's reading covers through the same camera (intersection over
// union at least 0.9): the engine through the file's camera at its node with
// the file's vertical angle, and through the added camera.
TEST_F(LookTest, SilhouettesMatchAPlainRasterisationOfTheModel)
{
    const std::string engine = std::string(kAssimpModels) + "glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb";
    const std::string skin = std::string(kAssimpModels) + "glTF2/simple_skin/simple_skin.gltf";
    REQUIRE_MODEL(engine, "assimp-testmodels");
    ASSERT_EQ(0, Import({engine, skin}).status);
    struct Case {
        std::string path;
        int frame;
    };
    for (const Case& c : {Case{engine, 0}, Case{skin, 20}}) {
        const std::string sceneName = import::DefaultSceneName(c.path);
        const aiScene* source = ReadModel(c.path);
        ASSERT_NE(nullptr, source);
        ReferenceCamera camera;
        if (source->mNumCameras > 0) {
            // The first camera, at its node: glTF cameras look along -Z with
            // +Y up; the library's angle is yfov times the aspect ratio.
            const aiCamera* own = source->mCameras[0];
            const aiMatrix4x4 world =
                ReferenceWorlds(source, 0.0).at(source->mRootNode->FindNode(own->mName));
            camera.eye = world * aiVector3D();
            camera.forward = (aiMatrix3x3(world) * aiVector3D(0, 0, -1)).Normalize();
            camera.up = (aiMatrix3x3(world) * aiVector3D(0, 1, 0)).Normalize();
            const float yfov = own->mAspect > 0.0f ? own->mHorizontalFOV / own->mAspect : own->mHorizontalFOV;
            camera.tanVertical = std::tan(0.5f * yfov);
        } else {
            std::unique_ptr<CScene> scene = Load(sceneName);
            const CCamera& added = **scene->cameras.begin();
            camera.eye = ModelPoint(added.position);
            camera.forward = (ModelPoint(added.target->position) - camera.eye).Normalize();
            camera.up = ((camera.forward ^ aiVector3D(0, 1, 0)) ^ camera.forward).Normalize();
            camera.tanVertical = std::tan(0.4f * added.fieldOfView);
        }
        camera.right = (camera.forward ^ camera.up).Normalize();
        const Silhouette reference = Rasterise(source, TicksAtFrame(source, c.frame), camera);

        const std::string path = TestOutputPath("LookTest.silhouette." + sceneName);
        const std::string frame = std::to_string(c.frame), pack = Pack();
        const char* const arguments[] = {"zolt-render", "--pack", pack.c_str(), "--frame", frame.c_str(),
                                         "--clear", "0x010203", "--out", path.c_str(), sceneName.c_str()};
        ASSERT_EQ(0, RunRender(10, arguments, stdout));
        int width = 0, height = 0, channels = 0;
        unsigned char* rgb = stbi_load(path.c_str(), &width, &height, &channels, 3);
        ASSERT_TRUE(rgb != nullptr && width == kWidth && height == kHeight) << path;
        int both = 0, either = 0;
        for (int i = 0; i < kWidth * kHeight; ++i) {
            const bool drawn = rgb[i * 3] != 1 || rgb[i * 3 + 1] != 2 || rgb[i * 3 + 2] != 3;
            both += drawn && reference.covered[i] ? 1 : 0;
            either += drawn || reference.covered[i] ? 1 : 0;
        }
        stbi_image_free(rgb);
        EXPECT_GT(both, kWidth * kHeight / 20) << sceneName << " shows too little to compare";
        EXPECT_GE(static_cast<double>(both) / either, 0.9) << sceneName << ": " << both << " of " << either;
    }
}

} // namespace

namespace {

// Collada cameras by xfov alone, xfov and aspect, yfov and aspect, yfov
// alone (which the library loses) and xfov and yfov (whose aspect the
// library bends).
const char* const kColladaLenses = R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset><unit name="meter" meter="1"/><up_axis>Y_UP</up_axis></asset>
<library_cameras>
<camera id="xonly-cam" name="xonly"><optics><technique_common><perspective><xfov>60</xfov><znear>0.1</znear><zfar>100</zfar></perspective></technique_common></optics></camera>
<camera id="xa-cam" name="xa"><optics><technique_common><perspective><xfov>60</xfov><aspect_ratio>2</aspect_ratio><znear>0.1</znear><zfar>100</zfar></perspective></technique_common></optics></camera>
<camera id="ya-cam" name="ya"><optics><technique_common><perspective><yfov>40</yfov><aspect_ratio>2</aspect_ratio><znear>0.1</znear><zfar>100</zfar></perspective></technique_common></optics></camera>
<camera id="yonly-cam" name="yonly"><optics><technique_common><perspective><yfov>40</yfov><znear>0.1</znear><zfar>100</zfar></perspective></technique_common></optics></camera>
<camera id="xy-cam" name="xy"><optics><technique_common><perspective><xfov>60</xfov><yfov>40</yfov><znear>0.1</znear><zfar>100</zfar></perspective></technique_common></optics></camera>
</library_cameras>
<library_geometries><geometry id="g"><mesh><source id="g-p"><float_array id="g-a" count="9">0 0 0 1 0 0 0 1 0</float_array>
<technique_common><accessor source="#g-a" count="3" stride="3"><param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
<vertices id="g-v"><input semantic="POSITION" source="#g-p"/></vertices><triangles count="1"><input semantic="VERTEX" source="#g-v" offset="0"/><p>0 1 2</p></triangles></mesh></geometry></library_geometries>
<library_visual_scenes><visual_scene id="Scene">
<node id="tri" name="tri"><instance_geometry url="#g"/></node>
<node id="xonly" name="xonly"><translate>0 1 5</translate><instance_camera url="#xonly-cam"/></node>
<node id="xa" name="xa"><translate>0 1 5</translate><instance_camera url="#xa-cam"/></node>
<node id="ya" name="ya"><translate>0 1 5</translate><instance_camera url="#ya-cam"/></node>
<node id="yonly" name="yonly"><translate>0 1 5</translate><instance_camera url="#yonly-cam"/></node>
<node id="xy" name="xy"><translate>0 1 5</translate><instance_camera url="#xy-cam"/></node>
</visual_scene></library_visual_scenes>
<scene><instance_visual_scene url="#Scene"/></scene></COLLADA>
)";

// The engine shows at least each Collada camera's horizontal and vertical
// angles (the missing one made from the aspect ratio), and exactly one of
// them: horizontal 60 and vertical 40 degrees, or 72.1 from yfov 40 at
// aspect 2 (2 atan(2 tan 20)), or 32.2 from xfov 60 at aspect 2.
TEST_F(LookTest, ColladaCamerasShowTheirWholeAngles)
{
    WriteText(dir.File("lenses.dae"), kColladaLenses);
    const ImportRun run = Import({dir.File("lenses.dae")});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(std::string::npos, run.err.find("camera")) << run.err;
    std::unique_ptr<CScene> scene = Load("lenses.KVF");
    const struct {
        const char* name;
        float horizontal, vertical; // degrees the camera must show at least
        bool horizontalFits;        // which one the engine shows exactly
    } cases[] = {{"xonly", 60.0f, 0.0f, true},
                 {"xa", 60.0f, 32.2042f, true},
                 {"ya", 72.1048f, 40.0f, true},
                 {"yonly", 0.0f, 40.0f, false},
                 {"xy", 60.0f, 40.0f, true}};
    for (const auto& c : cases) {
        const CCamera* camera = scene->RetrieveCamera(c.name);
        ASSERT_NE(nullptr, camera) << c.name;
        const float vertical = 0.8f * camera->fieldOfView * 57.29578f;
        const float horizontal = 2.0f * std::atan(1.334f * std::tan(0.4f * camera->fieldOfView)) * 57.29578f;
        EXPECT_GE(horizontal, c.horizontal - 1e-3f) << c.name;
        EXPECT_GE(vertical, c.vertical - 1e-3f) << c.name;
        EXPECT_NEAR(c.horizontalFits ? c.horizontal : c.vertical, c.horizontalFits ? horizontal : vertical, 1e-3f)
            << c.name;
    }
}

} // namespace
