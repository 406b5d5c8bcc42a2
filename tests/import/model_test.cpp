// Round trips of models the tests write themselves: the axes and winding,
// meshes split at the 16-bit limit, materials with converted textures, pack
// replacement with --append, and broken files.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sys/wait.h>

#include <stb/stb_image.h>

#include "scene/light.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/texture_map.h"
#include "tests/import/import_fixture.h"
#include "tests/import/model_files.h"
#include "tests/support/headless_device.h"
#include "tests/support/png_writer.h"
#include "tools/import/import_command.h"
#include "tools/import/pack_writer.h"
#include "tools/import/texture_store.h"

namespace {

using ModelTest = ImportTest;

D3DVECTOR Translation(const D3DMATRIX& m)
{
    return {m._41, m._42, m._43};
}

TEST_F(ModelTest, AxesLandWhereTheEngineShowsThemAndFacesKeepTheirFront)
{
    WriteText(dir.File("axes.gltf"), AxesGltf());
    const ImportRun run = Import({dir.File("axes.gltf")});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ("axes.KVF: 1 mesh, 1 face, 3 vertices, 0 bones, 1 camera, 2 lights, 0 frames; added a camera; added "
              "2 lights\n",
              run.out);
    std::unique_ptr<CScene> scene = Load("axes.KVF");

    // The model's +X shows on the engine's -X (the engine mirrors X), its
    // +Y up and its +Z away from the default camera at (0, 0, -50).
    const CNode* px = FindNode(*scene, "px");
    const CNode* py = FindNode(*scene, "py");
    const CNode* pz = FindNode(*scene, "pz");
    ASSERT_TRUE(px && py && pz);
    const D3DVECTOR x = Translation(px->world), y = Translation(py->world), z = Translation(pz->world);
    EXPECT_TRUE(x.x == -1 && x.y == 0 && x.z == 0) << x.x << " " << x.y << " " << x.z;
    EXPECT_TRUE(y.x == 0 && y.y == 2 && y.z == 0) << y.x << " " << y.y << " " << y.z;
    EXPECT_TRUE(z.x == 0 && z.y == 0 && z.z == 3) << z.x << " " << z.y << " " << z.z;

    // The triangle faces the model's +Z: the engine's front side (clockwise
    // corners, normal (v1 - v0) x (v2 - v0)) faces the engine's +Z, and the
    // normals the engine derives point there too.
    const CMesh* mesh = scene->RetrieveMesh("tri");
    ASSERT_NE(nullptr, mesh);
    ASSERT_EQ(1, mesh->faceCount);
    const MeshVertex* v[3];
    for (int k = 0; k < 3; ++k) {
        v[k] = &mesh->baseVertices[mesh->faces[0].corners[k]];
    }
    const float ax = v[1]->x - v[0]->x, ay = v[1]->y - v[0]->y, bx = v[2]->x - v[0]->x, by = v[2]->y - v[0]->y;
    EXPECT_GT(ax * by - ay * bx, 0.0f);
    for (const MeshVertex& vertex : mesh->baseVertices) {
        EXPECT_EQ(0.0f, vertex.nx);
        EXPECT_EQ(1.0f, vertex.nz);
    }

    // --scale scales every position and offset alike.
    ASSERT_EQ(0, Import({"--scale", "10", "--name", "big.kvf", dir.File("axes.gltf")}).status);
    std::unique_ptr<CScene> big = Load("big.kvf");
    EXPECT_EQ(30.0f, FindNode(*big, "pz")->world._43);
    float largest = 0.0f;
    for (const MeshVertex& vertex : big->RetrieveMesh("tri")->baseVertices) {
        largest = std::max(largest, vertex.y);
    }
    EXPECT_EQ(10.0f, largest);

    // A name the model repeats is made unique in depth-first order.
    std::string twins = AxesGltf();
    twins.replace(twins.find("\"py\""), 4, "\"px\"");
    WriteText(dir.File("twins.gltf"), twins);
    ASSERT_EQ(0, Import({dir.File("twins.gltf")}).status);
    std::unique_ptr<CScene> scene2 = Load("twins.KVF");
    ASSERT_NE(nullptr, FindNode(*scene2, "px"));
    ASSERT_NE(nullptr, FindNode(*scene2, "px_2"));
    EXPECT_EQ(-1.0f, FindNode(*scene2, "px")->world._41);
    EXPECT_EQ(2.0f, FindNode(*scene2, "px_2")->world._42);
}

TEST_F(ModelTest, MeshesSplitWhereSixteenBitIndicesEnd)
{
    constexpr int n = 260; // 67,600 vertices, 134,162 triangles
    WriteText(dir.File("grid.obj"), GridObj(n));
    const ImportRun run = Import({dir.File("grid.obj")});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("1 meshes were split to fit 16-bit indices")) << run.out;
    std::unique_ptr<CScene> scene = Load("grid.KVF");
    int faces = 0;
    for (const CMesh* mesh : scene->meshes) {
        EXPECT_LE(mesh->vertexCount, 65535);
        faces += mesh->faceCount;
    }
    EXPECT_EQ(2, scene->meshes.Count());
    EXPECT_EQ(2 * (n - 1) * (n - 1), faces);
}

TEST_F(ModelTest, MaterialsKeepColoursAndTheirTexturesLoad)
{
    // A see-through PNG becomes a TGA with its alpha, an opaque one a JPEG.
    std::vector<uint32_t> glass(4 * 4), sky(4 * 4, 0xFF3366CC);
    for (size_t i = 0; i < glass.size(); ++i) {
        glass[i] = (static_cast<uint32_t>(i * 16) << 24) | 0x00FF8000u | static_cast<uint32_t>(i);
    }
    // Named with Windows separators and another letter case than on disk.
    ASSERT_TRUE(EnsureDirectory(dir.File("maps")));
    ASSERT_TRUE(WritePngArgb(dir.File("maps/glass.png"), 4, 4, glass, false));
    ASSERT_TRUE(WritePngArgb(dir.File("sky.png"), 4, 4, sky));
    // A separate opacity image is folded into a copy of its colour texture.
    std::vector<uint32_t> mask(4 * 4);
    for (size_t i = 0; i < mask.size(); ++i) {
        mask[i] = 0xFF000000u | 0x010101u * static_cast<uint32_t>(i * 17);
    }
    ASSERT_TRUE(WritePngArgb(dir.File("mask.png"), 4, 4, mask));
    WriteText(dir.File("boxes.mtl"), "newmtl shiny\nKa 0.1 0.2 0.3\nKd 0.4 0.5 0.6\nKs 0.7 0.8 0.9\nNs 25\n"
                                     "d 0.5\nmap_Kd Maps\\Glass.PNG\nmap_d Maps\\Glass.PNG\n"
                                     "newmtl matte\nKd 1 1 1\nmap_Kd sky.png\n"
                                     "newmtl masked\nmap_Kd sky.png\nmap_d mask.png\n");
    WriteText(dir.File("boxes.obj"), "mtllib boxes.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\n"
                                     "usemtl shiny\nf 1/1 2/2 3/3\nusemtl matte\nf 3/3 2/2 1/1\n"
                                     "usemtl masked\nf 1/1 3/3 2/2\n");
    const ImportRun run = Import({dir.File("boxes.obj")});
    ASSERT_EQ(0, run.status) << run.err;

    std::vector<import::PackEntry> members;
    std::string error;
    ASSERT_TRUE(import::ReadPack(Pack(), &members, &error)) << error;
    std::vector<std::string> names;
    for (const import::PackEntry& member : members) {
        names.push_back(member.name);
        const bool glassy = member.name == "glass.TGA", masked = member.name == "sky_A.TGA";
        if (glassy || masked) {
            int w = 0, h = 0, c = 0;
            stbi_uc* pixels = stbi_load_from_memory(member.bytes.data(), static_cast<int>(member.bytes.size()), &w,
                                                    &h, &c, 4);
            ASSERT_NE(nullptr, pixels);
            ASSERT_EQ(4, w);
            for (int i = 0; i < 16; ++i) {
                const uint32_t argb = (uint32_t(pixels[i * 4 + 3]) << 24) | (uint32_t(pixels[i * 4]) << 16) |
                                      (uint32_t(pixels[i * 4 + 1]) << 8) | pixels[i * 4 + 2];
                const uint32_t expected = glassy ? glass[i] : (sky[i] & 0x00FFFFFFu) | ((mask[i] & 0xFFu) << 24);
                EXPECT_EQ(expected, argb) << member.name << " " << i;
            }
            stbi_image_free(pixels);
        }
    }
    EXPECT_EQ((std::vector<std::string>{"boxes.KVF", "glass.TGA", "sky.JPG", "mask.JPG", "sky_A.TGA"}), names);

    // The scene's own loader reads the material, and its textures load from
    // the pack on a device.
    WorkingDirectory cwd(dir.Path());
    HeadlessDevice device;
    ASSERT_NE(nullptr, device.get());
    BoxCapture boxes;
    CScene scene;
    ASSERT_EQ(0, scene.LoadScene("boxes.KVF", "data.pac"));
    ASSERT_EQ(0, scene.Prepare(device.get()));
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].text;
    // The library puts its default material first.
    ASSERT_EQ(4, scene.materialCount);
    const CMaterial& m = scene.materials[1];
    EXPECT_STREQ("shiny", m.name);
    EXPECT_FLOAT_EQ(0.1f, m.ambient.r);
    EXPECT_FLOAT_EQ(0.5f, m.diffuse.g);
    EXPECT_FLOAT_EQ(0.9f, m.specular.b);
    EXPECT_FLOAT_EQ(25.0f, m.power);
    EXPECT_FLOAT_EQ(0.5f, m.transparency);
    ASSERT_EQ(2, m.mapCount);
    EXPECT_EQ(1, m.maps[0].kind);
    EXPECT_STREQ("glass.TGA", m.maps[0].fileName);
    EXPECT_NE(nullptr, m.maps[0].texture);
    EXPECT_EQ(6, m.maps[1].kind);
    EXPECT_EQ(1 | 6, m.mapFlags);
    const CMaterial& matte = scene.materials[2];
    ASSERT_EQ(1, matte.mapCount);
    EXPECT_STREQ("sky.JPG", matte.maps[0].fileName);
    EXPECT_NE(nullptr, matte.maps[0].texture);
    const CMaterial& masked = scene.materials[3];
    ASSERT_EQ(2, masked.mapCount);
    EXPECT_STREQ("sky_A.TGA", masked.maps[0].fileName);
    EXPECT_NE(nullptr, masked.maps[0].texture);
    EXPECT_EQ(6, masked.maps[1].kind);
}

// A 2 x 2 BMP of one colour.
std::vector<uint8_t> Bmp(uint8_t red, uint8_t green, uint8_t blue)
{
    std::vector<uint8_t> bmp = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0,
                                0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0};
    bmp.resize(54, 0);
    for (int row = 0; row < 2; ++row) {
        bmp.insert(bmp.end(), {blue, green, red, blue, green, red, 0, 0});
    }
    return bmp;
}

TEST_F(ModelTest, TexturesOfOneNameInSeveralModelsEachKeepTheirOwnMember)
{
    // The first model's wood; the second's two other woods from two folders
    // and, in the third, the first model's wood again beside one more wood
    // named like the name the second model's first wood is given.
    const std::map<std::string, std::vector<uint8_t>> images = {
        {"one/wood.bmp", Bmp(200, 150, 100)}, {"two/a/wood.bmp", Bmp(10, 20, 30)},
        {"two/b/wood.bmp", Bmp(40, 50, 60)}, {"three/wood.bmp", Bmp(200, 150, 100)},
        {"three/wood_2.bmp", Bmp(70, 80, 90)}};
    for (const char* folder : {"one", "two", "two/a", "two/b", "three"}) {
        ASSERT_TRUE(EnsureDirectory(dir.File(folder)));
    }
    for (const auto& image : images) {
        ASSERT_TRUE(WriteFileBytes(dir.File(image.first), image.second));
    }
    // Material name -> the image it uses.
    const std::map<std::string, std::string> uses = {{"first", "one/wood.bmp"},
                                                     {"left", "two/a/wood.bmp"},
                                                     {"right", "two/b/wood.bmp"},
                                                     {"again", "three/wood.bmp"},
                                                     {"other", "three/wood_2.bmp"}};
    const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\n";
    WriteText(dir.File("one/one.mtl"), "newmtl first\nmap_Kd wood.bmp\n");
    WriteText(dir.File("one/one.obj"), "mtllib one.mtl\n" + triangle + "usemtl first\nf 1/1 2/2 3/3\n");
    WriteText(dir.File("two/two.mtl"), "newmtl left\nmap_Kd a/wood.bmp\nnewmtl right\nmap_Kd b/wood.bmp\n");
    WriteText(dir.File("two/two.obj"), "mtllib two.mtl\n" + triangle +
                                           "usemtl left\nf 1/1 2/2 3/3\nusemtl right\nf 3/3 2/2 1/1\n");
    WriteText(dir.File("three/three.mtl"), "newmtl again\nmap_Kd wood.bmp\nnewmtl other\nmap_Kd wood_2.bmp\n");
    WriteText(dir.File("three/three.obj"), "mtllib three.mtl\n" + triangle +
                                               "usemtl again\nf 1/1 2/2 3/3\nusemtl other\nf 3/3 2/2 1/1\n");
    const ImportRun run = Import({dir.File("one/one.obj"), dir.File("two/two.obj"), dir.File("three/three.obj")});
    ASSERT_EQ(0, run.status) << run.err;

    std::vector<import::PackEntry> members;
    std::string error;
    ASSERT_TRUE(import::ReadPack(Pack(), &members, &error)) << error;
    std::map<std::string, std::vector<uint8_t>> textures;
    for (const import::PackEntry& member : members) {
        if (member.name.find(".KVF") == std::string::npos) {
            EXPECT_TRUE(textures.emplace(import::UpperCase(member.name), member.bytes).second) << member.name;
        }
    }
    // Four different images, each stored once.
    EXPECT_EQ(4u, textures.size());
    std::set<std::string> used;
    int checked = 0;
    for (const char* sceneName : {"one.KVF", "two.KVF", "three.KVF"}) {
        std::unique_ptr<CScene> scene = Load(sceneName);
        for (int m = 0; m < scene->materialCount; ++m) {
            const CMaterial& material = scene->materials[m];
            if (material.mapCount == 0) {
                continue;
            }
            ASSERT_EQ(1u, uses.count(material.name)) << material.name;
            const std::string member = import::UpperCase(material.maps[0].fileName);
            ASSERT_EQ(1u, textures.count(member)) << material.name << " names " << member;
            EXPECT_EQ(images.at(uses.at(material.name)), textures.at(member)) << material.name << ": " << member;
            used.insert(member);
            ++checked;
        }
    }
    EXPECT_EQ(5, checked);
    EXPECT_EQ(textures.size(), used.size());
}

TEST_F(ModelTest, HelpNamesEveryOptionAndUsageErrorsStayErrors)
{
    const ImportRun help = Import({"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_TRUE(help.err.empty()) << help.err;
    EXPECT_EQ(0u, help.out.find("usage: zolt-import ")) << help.out;
    for (const char* option : {"--pack FILE", "--name SCENE.KVF", "--fps N", "--scale S", "--append", "--help"}) {
        EXPECT_NE(std::string::npos, help.out.find("\n  " + std::string(option))) << option;
    }
    EXPECT_FALSE(FileExists(Pack()));
    EXPECT_EQ(2, Import({"--helpful"}).status);
    EXPECT_EQ(2, Import({}).status);
}

// Each bad line is told by its first fault, in the program's own words, and
// exits 2 before any model is read; the usage line follows the faults of the
// line's form (a missing value, an unknown option, no model).
TEST_F(ModelTest, BadCommandLinesTellTheirFirstFault)
{
    const std::string usage =
        "usage: zolt-import [--pack FILE] [--name SCENE.KVF] [--fps N] [--scale S] [--append] [--bare] MODEL...\n";
    const std::string fps = "zolt-import: --fps takes a whole number of frames per second from 1 to 1000\n";
    const std::string scale = "zolt-import: --scale takes a positive number\n";
    const std::string bogus = "zolt-import: unknown option --bogus\n" + usage;
    const std::string twoModels = "zolt-import: --name names the scene of one model; 2 were given\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> lines = {
        {{"--append"}, usage},
        {{"a.obj", "--fps"}, "zolt-import: --fps needs a value\n" + usage},
        {{"--pack"}, "zolt-import: --pack needs a value\n" + usage},
        {{"--fps", "5x", "a.obj"}, fps},
        {{"--fps=1001", "a.obj"}, fps},
        {{"--fps", "30", "--fps", "0", "a.obj"}, fps},
        {{"--scale", "nan", "a.obj"}, scale},
        {{"--scale", "0", "--bogus", "a.obj"}, scale},
        {{"--bogus", "--scale", "0", "a.obj"}, bogus},
        {{"a.obj", "--bogus", "--help"}, bogus},
        {{"a.obj", "--", "b.obj"}, "zolt-import: unknown option --\n" + usage},
        {{"--name", "X.KVF", "a.obj", "b.obj"}, twoModels},
        // A word with one dash is a model, not an option.
        {{"--name=X.KVF", "a.obj", "-b.obj"}, twoModels},
    };
    for (const auto& line : lines) {
        std::string written;
        for (const std::string& word : line.first) {
            written += " '" + word + "'";
        }
        const ImportRun run = Import(line.first);
        EXPECT_EQ(2, run.status) << written;
        EXPECT_EQ(line.second, run.err) << written;
        EXPECT_TRUE(run.out.empty()) << written;
    }
    // The help counts when nothing before it is wrong, whatever follows.
    const ImportRun help = Import({"a.obj", "-h", "--bogus"});
    EXPECT_EQ(0, help.status);
    EXPECT_EQ(0u, help.out.find(usage));
    EXPECT_TRUE(help.err.empty()) << help.err;
    EXPECT_FALSE(FileExists(Pack()));
}

TEST_F(ModelTest, AppendReplacesMembersOfTheSameNameAndKeepsTheRest)
{
    WriteText(dir.File("one.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    WriteText(dir.File("two.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n");
    ASSERT_EQ(0, Import({"--name", "SHOW.KVF", dir.File("one.obj")}).status);
    ASSERT_EQ(0, Import({"--append", dir.File("two.obj")}).status);
    ASSERT_EQ(0, Import({"--append", "--name", "show.kvf", dir.File("two.obj")}).status);

    std::vector<import::PackEntry> members;
    std::string error;
    ASSERT_TRUE(import::ReadPack(Pack(), &members, &error)) << error;
    ASSERT_EQ(2u, members.size());
    EXPECT_EQ("two.KVF", members[0].name);
    EXPECT_EQ("show.kvf", members[1].name);
    EXPECT_EQ(2, Load("SHOW.KVF")->meshes.First()->faceCount);

    // Without --append the pack holds only what this run wrote.
    ASSERT_EQ(0, Import({dir.File("one.obj")}).status);
    members.clear();
    ASSERT_TRUE(import::ReadPack(Pack(), &members, &error)) << error;
    ASSERT_EQ(1u, members.size());
    EXPECT_EQ("one.KVF", members[0].name);
}

TEST_F(ModelTest, BrokenFilesFailWithOneLineAndLeaveThePackAlone)
{
    WriteText(dir.File("good.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    ASSERT_EQ(0, Import({dir.File("good.obj")}).status);
    std::vector<uint8_t> pack = ReadBytes(Pack());

    // Hostile files of our own beside the package's broken ones.
    WriteText(dir.File("faraway.obj"), "v 0 0 0\nv 1 0 0\nf 1 2 99999\n");
    WriteText(dir.File("short.gltf"), R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],
"meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],"accessors":[{"bufferView":0,"componentType":5126,
"count":1000000,"type":"VEC3"}],"bufferViews":[{"buffer":0,"byteLength":12}],
"buffers":[{"byteLength":12,"uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAA"}]})");
    WriteText(dir.File("nothing.3ds"), "MM\x06");
    std::vector<std::string> files = {dir.File("faraway.obj"), dir.File("short.gltf"), dir.File("nothing.3ds"),
                                      dir.File("missing.fbx")};
    const std::string broken = std::string(kAssimpModels) + "invalid/";
    for (const char* name : {"empty.3ds", "empty.obj", "malformed.obj", "malformed2.obj",
                             "empty.x", "empty.smd"}) {
        if (FileExists(broken + name)) {
            files.push_back(broken + name);
        }
    }
    const std::string gltf = std::string(kAssimpModels) + "glTF2/";
    for (const char* name : {"SchemaFailures/sceneWrongType.gltf", "IndexOutOfRange/IndexOutOfRange.gltf",
                             "IndexOutOfRange/AllIndicesOutOfRange.gltf", "TestNoRootNode/NoScene.gltf",
                             "MissingBin/BoxTextured.gltf", "RecursiveNodes/RecursiveNodes.gltf",
                             "wrongTypes/badArray.gltf", "wrongTypes/badNumber.gltf"}) {
        if (FileExists(gltf + name)) {
            files.push_back(gltf + name);
        }
    }
    for (const std::string& file : files) {
        const ImportRun run = Import({"--append", file});
        if (run.status == 0) {
            // What the library reads after all must load cleanly.
            Load(import::DefaultSceneName(file));
            pack = ReadBytes(Pack());
            continue;
        }
        EXPECT_EQ(1, run.status) << file;
        EXPECT_EQ(0u, run.err.find("zolt-import: " + file + ": ")) << run.err;
        EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
        EXPECT_GT(run.err.size(), ("zolt-import: " + file + ": \n").size()) << run.err;
        EXPECT_EQ(pack, ReadBytes(Pack())) << file;
    }

    // A file that claims billions of vertices: the program's memory ceiling
    // makes the library's allocation fail at once.
#if !defined(__SANITIZE_ADDRESS__)
    const std::string huge = broken + "OutOfMemory.off";
    if (FileExists(huge) && FileExists(std::string(ZOLT_BINARY_DIR) + "/zolt-import")) {
        const std::string command = std::string(ZOLT_BINARY_DIR) + "/zolt-import --pack " + Pack() + " " + huge +
                                    " 2>&1";
        FILE* program = popen(command.c_str(), "r");
        ASSERT_NE(nullptr, program);
        std::string output;
        char line[512];
        while (fgets(line, sizeof line, program) != nullptr) {
            output += line;
        }
        const int status = pclose(program);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << output;
        EXPECT_EQ("zolt-import: " + huge + ": the file asks for more memory than the importer may use\n", output);
        EXPECT_EQ(pack, ReadBytes(Pack()));
    }
#endif

    // One bad model among good ones: nothing is written.
    const ImportRun mixed = Import({dir.File("good.obj"), dir.File("faraway.obj")});
    EXPECT_EQ(1, mixed.status);
    EXPECT_TRUE(mixed.out.empty());
}

} // namespace

namespace {

TEST_F(ModelTest, LightsKeepPlaceColourAndConesAndDirectionalOnesStandFarAway)
{
    // As the file has them (how bright they are at the model: LookTest).
    WriteText(dir.File("lights.gltf"), LightsGltf());
    const ImportRun run = Import({"--bare", dir.File("lights.gltf")});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("3 lights")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("directional light sun became a distant point light")) << run.out;
    const aiScene* source = ReadModel(dir.File("lights.gltf"));
    ASSERT_NE(nullptr, source);
    ASSERT_EQ(3u, source->mNumLights);
    std::unique_ptr<CScene> scene = Load("lights.KVF");
    ASSERT_EQ(3, scene->lights.Count());

    const auto worlds = ReferenceWorlds(source, 0.0);
    for (unsigned i = 0; i < source->mNumLights; ++i) {
        const aiLight* light = source->mLights[i];
        const CLight* engine = scene->RetrieveLight(light->mName.C_Str());
        ASSERT_NE(nullptr, engine) << light->mName.C_Str();
        const aiMatrix4x4& world = worlds.at(source->mRootNode->FindNode(light->mName));
        const D3DVECTOR direction = EnginePoint(aiMatrix3x3(world) * light->mDirection);
        // Colours keep their hue; a colour brighter than 1 lends its
        // brightness to the multiplier.
        const float m = engine->multiplier;
        EXPECT_NEAR(light->mColorDiffuse.r, engine->colour.r * (light->mType == aiLightSource_DIRECTIONAL ? 1 : m),
                    1e-5f);
        EXPECT_NEAR(light->mColorDiffuse.b, engine->colour.b * (light->mType == aiLightSource_DIRECTIONAL ? 1 : m),
                    1e-5f);
        if (light->mType == aiLightSource_DIRECTIONAL) {
            // Far up-stream of its direction, reaching everything.
            EXPECT_EQ(1, engine->type);
            const D3DVECTOR p = engine->position;
            const float distance = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
            EXPECT_GT(distance, 1000.0f);
            EXPECT_NEAR(-direction.x, p.x / distance, 1e-5f);
            EXPECT_NEAR(-direction.y, p.y / distance, 1e-5f);
            EXPECT_NEAR(-direction.z, p.z / distance, 1e-5f);
            EXPECT_GT(engine->range, distance);
            continue;
        }
        const D3DVECTOR at = EnginePoint(world * light->mPosition);
        EXPECT_NEAR(at.x, engine->position.x, 1e-5f);
        EXPECT_NEAR(at.y, engine->position.y, 1e-5f);
        EXPECT_NEAR(at.z, engine->position.z, 1e-5f);
        if (light->mType == aiLightSource_SPOT) {
            EXPECT_EQ(2, engine->type);
            ASSERT_NE(nullptr, engine->target);
            const D3DVECTOR t = engine->target->position;
            const D3DVECTOR d = {t.x - at.x, t.y - at.y, t.z - at.z};
            const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
            EXPECT_NEAR(direction.x, d.x / length, 1e-5f);
            EXPECT_NEAR(direction.y, d.y / length, 1e-5f);
            EXPECT_NEAR(direction.z, d.z / length, 1e-5f);
            EXPECT_NEAR(light->mAngleInnerCone * 57.29578f, engine->hotspot, 1e-3f);
            EXPECT_NEAR(light->mAngleOuterCone * 57.29578f, engine->falloff, 1e-3f);
        } else {
            EXPECT_EQ(1, engine->type);
        }
    }
}

} // namespace

namespace {

// What the engine cannot show is named, one line each, and the scene is
// still written.
TEST_F(ModelTest, WhatCannotBeConvertedIsNamedAndTheRestGoesOn)
{
    const std::string morph =
        std::string(kAssimpModels) + "glTF2/glTF-Sample-Models/AnimatedMorphCube-glTF/AnimatedMorphCube.gltf";
    const std::string twoSets = std::string(kAssimpModels) + "Collada/cube_with_2UVs.DAE";
    REQUIRE_MODEL(morph, "assimp-testmodels");
    REQUIRE_MODEL(twoSets, "assimp-testmodels");
    const ImportRun run = Import({morph, twoSets});
    ASSERT_EQ(0, run.status) << run.err;
    const std::string expected[] = {
        "zolt-import: warning: " + morph + ": mesh Cube: its 2 morph targets are not converted\n",
        "zolt-import: warning: " + morph + ": the morph and mesh tracks of the animation are not converted\n",
        "zolt-import: warning: " + twoSets +
            ": mesh geom-Quader01: texture coordinate sets after the first are not converted\n",
    };
    for (const std::string& line : expected) {
        EXPECT_NE(std::string::npos, run.err.find(line)) << run.err;
    }
    EXPECT_EQ(2, std::count(run.out.begin(), run.out.end(), '\n')) << run.out;
    Load("AnimatedMorphCube.KVF");
    Load("cube_with_2UVs.KVF");
}

} // namespace
