// zolt-show build on a small show folder (a textured model, a texture, sky
// faces, music): the player plays what it writes without a message, a
// second build imports nothing again, and each bad input fails with its
// line and column and leaves nothing written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

#include "tests/support/pack_builder.h"
#include "tests/support/test_images.h"
#include "tests/support/wav_writer.h"
#include "tools/show/show_build.h"

namespace {

constexpr const char* kShow = R"(music = "music.wav"

[[effect]]
kind = "player3d"
name = "Model"
start = 0
end = "0:01.000"
scene = "Grid.KVF"

[[effect]]
kind = "plain"
name = "End"
start = 0.9
end = 1.5

[pack]
models = [{ file = "models/grid.obj", name = "Grid.KVF", fps = 25 }]
textures = ["extra.tga"]
files = ["notes.txt"]

[pack.sky]
front = "sky.tga"
back = "sky.tga"
down = "sky.tga"
up = "sky.tga"
left = "sky.tga"
right = "sky.tga"
)";

constexpr const char* kModel = "mtllib grid.mtl\nusemtl wood\n"
                               "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
                               "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                               "f 1/1 2/2 3/3\nf 1/1 3/3 4/4\n";

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

void MakeShowFolder(const TempDirectory& folder, const std::string& showText)
{
    mkdir(folder.File("models").c_str(), 0777);
    WriteText(folder.File("models/grid.obj"), kModel);
    WriteText(folder.File("models/grid.mtl"), "newmtl wood\nKd 1 1 1\nmap_Kd wood.tga\n");
    const std::vector<uint8_t> tga = EncodeTga(PatternImage(8, 8), 32, false, TgaRows::BottomUp);
    ASSERT_TRUE(WriteFileBytes(folder.File("models/wood.tga"), tga));
    ASSERT_TRUE(WriteFileBytes(folder.File("extra.tga"), tga));
    ASSERT_TRUE(WriteFileBytes(folder.File("sky.tga"), EncodeTga(QuadrantImage(), 24, false, TgaRows::TopDown)));
    WriteText(folder.File("notes.txt"), "stored as it is\n");
    WriteText(folder.File("broken.glb"), "glTF but not really");
    // A Collada array without its count crashes the model library.
    WriteText(folder.File("nocount.dae"), R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
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
    std::vector<int16_t> samples(44100 * 3 / 2 * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>((i % 100) * 100);
    ASSERT_TRUE(WriteFileBytes(folder.File("music.wav"), PcmWav(44100, 2, samples)));
    WriteText(folder.File("show.toml"), showText);
}

int RunPlayer(const TempDirectory& folder, std::string* errors)
{
    const std::string command = "cd '" + folder.Path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 '" +
                                ZOLT_BINARY_DIR + "/zolt' >/dev/null 2>errors.txt </dev/null";
    const int result = std::system(command.c_str());
    *errors = ReadText(folder.File("errors.txt"));
    return WIFEXITED(result) ? WEXITSTATUS(result) : -1;
}

TEST(ShowBuild, WritesAShowThePlayerPlaysAndImportsOnlyWhatChanged)
{
    TempDirectory folder;
    MakeShowFolder(folder, kShow);
    std::ostringstream out, err;
    ASSERT_EQ(show::RunBuild(folder.Path(), out, err), 0) << err.str();
    EXPECT_NE(out.str().find("Grid.KVF: 1 mesh, 2 faces"), std::string::npos) << out.str();

    std::string errors;
    EXPECT_EQ(RunPlayer(folder, &errors), 0) << errors;
    EXPECT_EQ(errors, "");

    const std::string pack = ReadText(folder.File("data.pac"));
    for (const char* member : {"Grid.KVF", "wood.tga", "extra.tga", "notes.txt", "Otter_RT.JPG"})
        EXPECT_NE(pack.find(member), std::string::npos) << member;

    std::ostringstream again;
    ASSERT_EQ(show::RunBuild(folder.Path(), again, err), 0) << err.str();
    EXPECT_NE(again.str().find("(unchanged)"), std::string::npos) << again.str();
    EXPECT_EQ(ReadText(folder.File("data.pac")), pack);

    // A changed texture of the model is an input of the model too.
    ASSERT_TRUE(WriteFileBytes(folder.File("models/wood.tga"),
                               EncodeTga(PatternImage(4, 4), 32, false, TgaRows::BottomUp)));
    std::ostringstream third;
    ASSERT_EQ(show::RunBuild(folder.Path(), third, err), 0) << err.str();
    EXPECT_EQ(third.str().find("(unchanged)"), std::string::npos) << third.str();
    EXPECT_NE(third.str().find("added a camera"), std::string::npos) << third.str();

    // --bare is an option of the model like the others: it is imported
    // again, without the added camera and lights.
    std::string bare = kShow;
    bare.replace(bare.find("fps = 25 }"), 10, "fps = 25, bare = true }");
    WriteText(folder.File("show.toml"), bare);
    std::ostringstream fourth;
    ASSERT_EQ(show::RunBuild(folder.Path(), fourth, err), 0) << err.str();
    EXPECT_NE(fourth.str().find("Grid.KVF: 1 mesh, 2 faces, 4 vertices, 0 bones, 0 cameras, 0 lights, 0 frames\n"),
              std::string::npos)
        << fourth.str();
}

TEST(ShowBuild, EachBadInputFailsWithItsPlaceAndWritesNothing)
{
    const struct {
        const char* find;
        const char* replace;
        const char* place; // show.toml:PLACE: error
        const char* text;
    } cases[] = {
        {"name = \"End\"", "name = \"End", "12:", "string"},
        {"name = \"End\"", "nmae = \"End\"", "12:1", "unknown key \"nmae\" in [[effect]] (did you mean \"name\"?)"},
        {"start = 0.9", "start = true", "13:9", "start must be seconds"},
        {"start = 0.9", "start = nan", "13:9", "NaN"},
        {"start = 0.9", "start = -0.5", "13:9", "negative"},
        {"end = 1.5", "end = 1e300", "14:7", "float range"},
        {"end = 1.5", "end = \"0:00.500\"", "14:7", "ends before it starts"},
        {"name = \"End\"", "name = \"E\\u0000nd\"", "12:8", "zero byte"},
        {"music = \"music.wav\"", "music = \"none.wav\"", "1:9", "does not exist"},
        {"music = \"music.wav\"", "music = \"notes.txt\"", "1:9", "cannot be decoded"},
        {"models/grid.obj", "broken.glb", "17:11", "does not import"},
        {"models/grid.obj", "nocount.dae", "17:11", "nocount.dae does not import: reading it "},
        {"files = [\"notes.txt\"]", "files = [\"notes.txt\", { file = \"extra.tga\", name = \"NOTES.TXT\" }]", "19:23",
         "has the name of the one from line 19"},
        {"scene = \"Grid.KVF\"", "scene = \"Other.KVF\"", "8:9", "not in the pack"},
        {"textures = [\"extra.tga\"]", "textures = [\"notes.txt\"]", "18:13", "not an image"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.replace);
        std::string text = kShow;
        const size_t at = text.find(c.find);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, std::string(c.find).size(), c.replace);
        TempDirectory folder;
        MakeShowFolder(folder, text);
        std::ostringstream out, err;
        EXPECT_EQ(show::RunBuild(folder.Path(), out, err), 1);
        const std::string message = err.str();
        const std::string prefix = folder.File("show.toml") + ":" + c.place;
        EXPECT_EQ(message.rfind(prefix, 0), 0u) << message;
        EXPECT_NE(message.find(c.text), std::string::npos) << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
        for (const char* output : {"Marble.Spt", "data.pac", ".zolt-cache"})
            EXPECT_FALSE(Exists(folder.File(output))) << output;
    }
}

} // namespace
