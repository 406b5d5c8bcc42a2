// Models that break the library or the scene: crashes and hangs of the
// library end a child process and give one line; long reasons are cut;
// skins naming bones that are no nodes are trimmed until the scene prepares.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <thread>
#include <unistd.h>

#include "modifiers/modifier_skin.h"
#include "scene/mesh.h"
#include "tests/import/import_fixture.h"
#include "tests/import/model_files.h"
#include "tools/import/child_process.h"
#include "tools/import/scene_converter.h"

namespace {

using HostileModelTest = ImportTest;

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                names.push_back(entry->d_name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

int CountOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(ChildProcess, HandsBackItsBytesOrSaysHowItEnded)
{
    std::vector<uint8_t> bytes;
    std::string reason;
    // More than a pipe holds at once.
    std::vector<uint8_t> sent(3 << 20);
    for (size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
    }
    ASSERT_TRUE(import::RunInChild([&] { return sent; }, 30.0, &bytes, &reason)) << reason;
    EXPECT_EQ(sent, bytes);
    ASSERT_TRUE(import::RunInChild([] { return std::vector<uint8_t>(); }, 30.0, &bytes, &reason)) << reason;
    EXPECT_TRUE(bytes.empty());

    // (A trap, not a segmentation fault, which a sanitizer would report and
    // turn into an exit status.)
    EXPECT_FALSE(import::RunInChild([]() -> std::vector<uint8_t> { __builtin_trap(); }, 30.0, &bytes, &reason));
    EXPECT_EQ("crashed (Illegal instruction)", reason);
    EXPECT_TRUE(bytes.empty());
    // Bytes written before a crash do not count.
    EXPECT_FALSE(import::RunInChild(
        []() -> std::vector<uint8_t> {
            const uint8_t partial[4] = {1, 2, 3, 4};
            (void)!write(STDOUT_FILENO, partial, 4);
            abort();
        },
        30.0, &bytes, &reason));
    EXPECT_EQ("crashed (Aborted)", reason);
    EXPECT_FALSE(import::RunInChild([]() -> std::vector<uint8_t> { _exit(7); }, 30.0, &bytes, &reason));
    EXPECT_EQ("stopped with status 7", reason);
    EXPECT_FALSE(import::RunInChild([]() -> std::vector<uint8_t> { throw 1; }, 30.0, &bytes, &reason));
    EXPECT_EQ("stopped with status 3", reason);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(import::RunInChild(
        []() -> std::vector<uint8_t> {
            std::this_thread::sleep_for(std::chrono::seconds(60));
            return {1};
        },
        0.5, &bytes, &reason));
    EXPECT_EQ("took longer than 0.5 seconds", reason);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20.0);
}

TEST_F(HostileModelTest, ModelsThatCrashTheLibraryFailWithOneLineAndWriteNothing)
{
    WriteText(dir.File("good.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    ASSERT_EQ(0, Import({dir.File("good.obj")}).status);
    const std::vector<uint8_t> pack = ReadBytes(Pack());

    // A chain of nodes, each the only child of the one before: the library
    // recurses once per node.
    std::string chain = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[)";
    const int depth = 60000;
    for (int i = 0; i < depth; ++i) {
        chain += "{\"name\":\"n" + std::to_string(i) + "\"" +
                 (i + 1 < depth ? ",\"children\":[" + std::to_string(i + 1) + "]}," : "}]}");
    }
    WriteText(dir.File("chain.gltf"), chain);
    // A Collada array without its count.
    WriteText(dir.File("nocount.dae"), R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset><up_axis>Y_UP</up_axis></asset>
<library_geometries><geometry id="g"><mesh>
<source id="p"><float_array id="pa">0 0 0 1 0 0 0 1 0</float_array>
<technique_common><accessor source="#pa" count="3" stride="3"><param name="X" type="float"/>
<param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
<vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
<triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
</mesh></geometry></library_geometries>
<library_visual_scenes><visual_scene id="s"><node id="n"><instance_geometry url="#g"/></node>
</visual_scene></library_visual_scenes><scene><instance_visual_scene url="#s"/></scene></COLLADA>
)");
    const std::vector<std::string> before = FolderNames(dir.Path());
    const ImportRun run = Import({dir.File("good.obj"), dir.File("chain.gltf"), dir.File("nocount.dae")});
    EXPECT_EQ(1, run.status);
    EXPECT_TRUE(run.out.empty()) << run.out;
    // A crash here; a sanitizer's exit status in a sanitized build.
    const size_t second = run.err.find('\n') + 1;
    EXPECT_EQ(0u, run.err.find("zolt-import: " + dir.File("chain.gltf") + ": reading it ")) << run.err;
    EXPECT_EQ(second, run.err.find("zolt-import: " + dir.File("nocount.dae") + ": reading it ", second)) << run.err;
    EXPECT_EQ(2, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(2, CountOf(run.err, ": reading it crashed (Segmentation fault)\n")) << run.err;
#endif
    EXPECT_EQ(pack, ReadBytes(Pack()));
    EXPECT_EQ(before, FolderNames(dir.Path()));
}

TEST(LibraryReason, BecomesOneLineOfReadableLength)
{
    // A parser that quotes the file: lines, tabs, and a two-byte character
    // where the line is cut.
    std::string quoted = "reason:\n\t" + std::string(191, 'x') + "\xc3\xa9";
    for (int i = 0; i < 400; ++i) {
        quoted += "0,1,2,\r\n3,4,5 ";
    }
    EXPECT_EQ("reason: " + std::string(191, 'x') + "...", import::ReadableReason(quoted));
    EXPECT_EQ("the file ends early", import::ReadableReason("the file ends early\n"));
}

// A triangle skinned to joint "hip", a node of the scene, and joint
// "ghost", a node no scene holds: vertex 0 follows the hip, vertex 1 both,
// vertex 2 the ghost.
std::string GhostBoneGltf()
{
    const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const uint8_t joints[12] = {0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0};
    const float weights[12] = {1, 0, 0, 0, 0.25f, 0.75f, 0, 0, 1, 0, 0, 0};
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::vector<uint8_t> buffer(224);
    std::memcpy(buffer.data(), positions, 36);
    std::memcpy(buffer.data() + 36, joints, 12);
    std::memcpy(buffer.data() + 48, weights, 48);
    std::memcpy(buffer.data() + 96, identity, 64);
    std::memcpy(buffer.data() + 160, identity, 64);
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],
"nodes":[{"name":"body","mesh":0,"skin":0},{"name":"hip"},{"name":"ghost","translation":[0,3,0]}],
"skins":[{"joints":[1,2],"inverseBindMatrices":3}],
"meshes":[{"name":"body","primitives":[{"attributes":{"POSITION":0,"JOINTS_0":1,"WEIGHTS_0":2}}]}],
"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]},
{"bufferView":1,"componentType":5121,"count":3,"type":"VEC4"},
{"bufferView":2,"componentType":5126,"count":3,"type":"VEC4"},
{"bufferView":3,"componentType":5126,"count":2,"type":"MAT4"}],
"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":12},
{"buffer":0,"byteOffset":48,"byteLength":48},
{"buffer":0,"byteOffset":96,"byteLength":128}],
"buffers":[{"byteLength":224,"uri":"data:application/octet-stream;base64,)" +
           Base64(buffer) + R"("}]})";
}

TEST_F(HostileModelTest, BonesThatNameNoNodeAreLeftOutAndTheSceneStillPrepares)
{
    WriteText(dir.File("ghost.gltf"), GhostBoneGltf());
    const ImportRun run = Import({dir.File("ghost.gltf")});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, run.out.find(", 1 bone,")) << run.out;
    EXPECT_NE(std::string::npos, run.err.find("zolt-import: warning: " + dir.File("ghost.gltf") +
                                              ": mesh body: bone ghost names no node of the scene and is left out\n"))
        << run.err;

    std::unique_ptr<CScene> scene = Load("ghost.KVF");
    ASSERT_EQ(1, scene->meshes.Count());
    const CMesh& mesh = *scene->meshes.First();
    ASSERT_EQ(1, mesh.modifiers.Count());
    const auto& skin = static_cast<const CModifierSkin&>(*mesh.modifiers.First());
    ASSERT_EQ(1, skin.m_nbBone);
    EXPECT_EQ("hip", skin.m_bones[0].m_name);
    // The vertex shared with the ghost follows the hip alone; the ghost's
    // own vertex stays where it is.
    ASSERT_EQ(3, mesh.vertexCount);
    for (int v = 0; v < 3; ++v) {
        const SkinVertex& influences = skin.m_vertices[v];
        float sum = 0.0f;
        for (int i = 0; i < influences.m_nbBone; ++i) {
            EXPECT_EQ(0, influences.m_boneIndices[i]);
            sum += influences.m_weights[i];
        }
        const bool ghostOnly = mesh.baseVertices[v].y == 1.0f;
        EXPECT_FLOAT_EQ(ghostOnly ? 0.0f : 1.0f, sum) << v;
    }
}

} // namespace
