// zolt-render run as a program, on scenes made with the KVF writer in a
// temporary folder: the pictures it writes, the skybox it turns, the
// numbering of sequences, the benchmark line and its failures.
#include <gtest/gtest.h>

#include <stb/stb_image.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "tests/support/pack_builder.h"
#include "tests/support/test_images.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A picture decoded from a PNG file: 0x00RRGGBB per pixel, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 0;
    bool sixteenBit = false;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

bool LoadPicture(const std::string& path, Picture* picture)
{
    int width = 0, height = 0, channels = 0;
    picture->sixteenBit = stbi_is_16_bit(path.c_str()) != 0;
    unsigned char* data = stbi_load(path.c_str(), &width, &height, &channels, 3);
    if (data == nullptr)
        return false;
    picture->width = width;
    picture->height = height;
    picture->channels = channels;
    picture->pixels.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < picture->pixels.size(); ++i)
        picture->pixels[i] = uint32_t(data[i * 3]) << 16 | uint32_t(data[i * 3 + 1]) << 8 | data[i * 3 + 2];
    stbi_image_free(data);
    return true;
}

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        const int difference = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (difference > tolerance || difference < -tolerance)
            return false;
    }
    return true;
}

// A small triangle at the origin, seen by a camera at (0, 0, -50) (engine
// axes) looking at `target`: whatever the scene draws stays in the middle of
// the picture, away from its corners.
kvf::Scene SmallScene(kvf::Vec3 target)
{
    kvf::Scene scene;
    scene.endFrame = 10;
    kvf::Mesh mesh;
    mesh.name = "triangle";
    mesh.positions = {kvf::ToFileAxes(-1, -1, 0), kvf::ToFileAxes(1, -1, 0), kvf::ToFileAxes(0, 1, 0)};
    mesh.faces = {kvf::Face{0, 1, 2, 0, -1}};
    scene.objects.push_back(mesh);
    kvf::Camera camera;
    camera.name = "camera";
    camera.position = kvf::ToFileAxes(0, 0, -50);
    camera.target = target;
    scene.objects.push_back(camera);
    return scene;
}

// A scene that loads but cannot be prepared: its mesh is skinned to a bone
// that no object of the scene is named after.
kvf::Scene SkinnedToAMissingBone()
{
    kvf::Scene scene = SmallScene(kvf::ToFileAxes(0, 0, 0));
    kvf::Mesh& mesh = std::get<kvf::Mesh>(scene.objects[0]);
    kvf::Modifier skin;
    skin.type = kvf::kSkinCountFirst;
    skin.skin.bones = {kvf::SkinBone{"ghost", kvf::Matrix43{}}};
    skin.skin.vertices.resize(mesh.positions.size(), kvf::SkinVertex{{kvf::SkinInfluence{0, 1.0f}}, {}});
    mesh.modifiers.entries = {skin};
    return scene;
}

// Solid JPEG faces of distinct colours for the skybox.
const char* const kFaces[6] = {"Otter_FR.JPG", "Otter_BK.JPG", "Otter_DN.JPG",
                               "Otter_UP.JPG", "Otter_LF.JPG", "Otter_RT.JPG"};
const uint32_t kFaceColours[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};

std::vector<uint8_t> SolidJpeg(uint32_t colour)
{
    TestImage image{16, 16, std::vector<uint32_t>(256, 0xFF000000u | colour)};
    return EncodeJpeg(image);
}

class RenderProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(Program())) << "build the zolt-render program first";
        std::vector<PackMember> members = {
            {"ahead.kvf", kvf::WriteScene(SmallScene(kvf::ToFileAxes(0, 0, 0)))},
            {"behind.kvf", kvf::WriteScene(SmallScene(kvf::ToFileAxes(0, 0, -100)))},
            {"unbound.kvf", kvf::WriteScene(SkinnedToAMissingBone())},
        };
        for (int face = 0; face < 6; ++face)
            members.push_back({kFaces[face], SolidJpeg(kFaceColours[face])});
        ASSERT_TRUE(WritePack(File("scenes.pac"), members));
    }

    static std::string Program() { return std::string(ZOLT_BINARY_DIR) + "/zolt-render"; }
    std::string File(const std::string& name) const { return m_dir.File(name); }

    // Runs zolt-render in the temporary folder without a display; the
    // arguments are trusted test text, quoted singly.
    RunResult Render(const std::vector<std::string>& arguments) const
    {
        std::string command = "cd '" + m_dir.Path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 '" +
                              Program() + "'";
        for (const std::string& argument : arguments)
            command += " '" + argument + "'";
        command += " </dev/null >stdout.txt 2>stderr.txt";
        RunResult run;
        const int raw = std::system(command.c_str());
        if (raw != -1 && WIFEXITED(raw))
            run.status = WEXITSTATUS(raw);
        run.out = ReadText(File("stdout.txt"));
        run.err = ReadText(File("stderr.txt"));
        std::filesystem::remove(File("stdout.txt"));
        std::filesystem::remove(File("stderr.txt"));
        return run;
    }

    // The files the runs left in the folder, besides the pack.
    std::vector<std::string> Written() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir.Path())) {
            const std::string name = std::filesystem::relative(entry.path(), m_dir.Path()).string();
            if (name != "scenes.pac" && !entry.is_directory())
                names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDirectory m_dir;
};

TEST_F(RenderProgramTest, WritesAnRgbPictureClearedToTheGivenColour)
{
    const RunResult run = Render({"--pack", "scenes.pac", "--frame", "2.5", "--out", "picture.png", "--clear",
                            "0x3366CC", "ahead.kvf"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");
    // Written whole under its own name: no temporary file is left beside it.
    EXPECT_EQ(Written(), std::vector<std::string>{"picture.png"});

    Picture picture;
    ASSERT_TRUE(LoadPicture(File("picture.png"), &picture));
    EXPECT_EQ(picture.width, 640);
    EXPECT_EQ(picture.height, 480);
    EXPECT_EQ(picture.channels, 3);
    EXPECT_FALSE(picture.sixteenBit);
    for (const auto& [x, y] : {std::pair{0, 0}, {639, 0}, {0, 479}, {639, 479}})
        EXPECT_EQ(picture.At(x, y), 0x3366CCu) << x << "," << y;

    // The default colour is black and the default file "frame.png".
    ASSERT_EQ(Render({"--pack", "scenes.pac", "ahead.kvf"}).status, 0);
    ASSERT_TRUE(LoadPicture(File("frame.png"), &picture));
    EXPECT_EQ(picture.At(0, 0), 0x000000u);
    EXPECT_EQ(picture.At(639, 479), 0x000000u);
}

TEST_F(RenderProgramTest, SkyboxTurnsWithTheScenesCamera)
{
    // Looking along +z the front face fills the picture; looking along -z,
    // the back face. The clear colour is hidden behind the box.
    Picture picture;
    ASSERT_EQ(Render({"--pack", "scenes.pac", "--skybox", "--clear", "0x808080", "--out", "ahead.png", "ahead.kvf"})
                  .status,
              0);
    ASSERT_TRUE(LoadPicture(File("ahead.png"), &picture));
    for (const auto& [x, y] : {std::pair{0, 0}, {639, 0}, {0, 479}, {639, 479}})
        EXPECT_TRUE(Near(picture.At(x, y), kFaceColours[0], 24)) << std::hex << picture.At(x, y);

    const RunResult run = Render({"--pack", "scenes.pac", "--skybox", "--out", "behind.png", "behind.kvf"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    ASSERT_TRUE(LoadPicture(File("behind.png"), &picture));
    for (const auto& [x, y] : {std::pair{0, 0}, {639, 0}, {0, 479}, {639, 479}})
        EXPECT_TRUE(Near(picture.At(x, y), kFaceColours[1], 24)) << std::hex << picture.At(x, y);
}

TEST_F(RenderProgramTest, SequenceNumbersItsPicturesFromZero)
{
    std::filesystem::create_directory(File("seq"));
    // 0, 0.1, 0.2, 0.3: the last time is kept although the steps reach it
    // only up to rounding.
    RunResult run = Render({"--pack", "scenes.pac", "--frames", "0:0.3:0.1", "--out", "seq/f%03d.png", "ahead.kvf"});
    ASSERT_EQ(run.status, 0) << run.err;
    run = Render({"--pack", "scenes.pac", "--frames", "5:9:2", "--out", "seq/100%%_%x.png", "--clear", "0xFF0000",
                  "ahead.kvf"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Written(), (std::vector<std::string>{"seq/100%_0.png", "seq/100%_1.png", "seq/100%_2.png",
                                                   "seq/f000.png", "seq/f001.png", "seq/f002.png",
                                                   "seq/f003.png"}));
    Picture picture;
    ASSERT_TRUE(LoadPicture(File("seq/100%_2.png"), &picture));
    EXPECT_EQ(picture.At(0, 0), 0xFF0000u);
}

TEST_F(RenderProgramTest, BenchPrintsOneLineAndWritesNothing)
{
    const RunResult run = Render({"--pack", "scenes.pac", "--bench", "25", "--frame", "7", "ahead.kvf"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(std::regex_match(run.out, std::regex("frames 25 ms [0-9]+ fps [0-9]+\\.[0-9]\n"))) << run.out;
    EXPECT_TRUE(Written().empty());
}

TEST_F(RenderProgramTest, FailuresWriteNothing)
{
    // A missing scene or pack: the loader's message box, status 1.
    RunResult run = Render({"--pack", "scenes.pac", "--out", "x.png", "absent.kvf"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Zolt Engine Error: LibUtils : file absent.kvf not found in the scenes.pac zipfile"),
              std::string::npos)
        << run.err;
    run = Render({"ahead.kvf"}); // no data.pac in the folder
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Zolt Engine Error: LibUtils : file ahead.kvf not found in the data.pac zipfile"),
              std::string::npos)
        << run.err;
    // A scene that cannot be prepared: the preparation's message, status 1.
    run = Render({"--pack", "scenes.pac", "--out", "x.png", "unbound.kvf"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Zolt Engine Error: LibKVF : Cannot find the bone : ghost"), std::string::npos)
        << run.err;
    // A picture that cannot be written.
    run = Render({"--pack", "scenes.pac", "--out", "missing/x.png", "ahead.kvf"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("zolt-render: cannot write missing/x.png: ", 0), 0u) << run.err;

    // Usage errors: status 2 and the usage text, before anything is loaded.
    const std::vector<std::vector<std::string>> usageErrors = {
        {},
        {"--pack", "scenes.pac"},
        {"ahead.kvf", "behind.kvf"},
        {"--unknown", "ahead.kvf"},
        {"ahead.kvf", "--out"},
        {"--frame", "soon", "ahead.kvf"},
        {"--frame", "1e40", "ahead.kvf"},
        {"--clear", "0x1234567", "ahead.kvf"},
        {"--clear", "red", "ahead.kvf"},
        {"--frames", "0:3:1", "ahead.kvf"},
        {"--frames", "0:3", "--out", "%d.png", "ahead.kvf"},
        {"--frames", "3:0:1", "--out", "%d.png", "ahead.kvf"},
        {"--frames", "0:3:0", "--out", "%d.png", "ahead.kvf"},
        {"--frames", "0:1e9:0.0001", "--out", "%d.png", "ahead.kvf"},
        {"--frames", "0:3:1", "--frame", "1", "--out", "%d.png", "ahead.kvf"},
        {"--frames", "0:3:1", "--out", "plain.png", "ahead.kvf"},
        {"--frames", "0:3:1", "--out", "%d%d.png", "ahead.kvf"},
        {"--frames", "0:3:1", "--out", "%s.png", "ahead.kvf"},
        {"--frames", "0:3:1", "--out", "%n.png", "ahead.kvf"},
        {"--frames", "0:3:1", "--out", "%ld.png", "ahead.kvf"},
        {"--frames", "0:3:1", "--out", "%999d.png", "ahead.kvf"},
        {"--frames", "0:3:1", "--out", "%d%.png", "ahead.kvf"},
        {"--bench", "0", "ahead.kvf"},
        {"--bench", "5", "--out", "x.png", "ahead.kvf"},
    };
    for (std::vector<std::string> arguments : usageErrors) {
        arguments.insert(arguments.begin(), {"--pack", "scenes.pac"});
        run = Render(arguments);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(arguments);
        EXPECT_EQ(run.err.rfind("zolt-render: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("Usage: zolt-render"), std::string::npos);
    }
    EXPECT_TRUE(Written().empty()) << testing::PrintToString(Written());

    run = Render({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("--frames FIRST:LAST:STEP"), std::string::npos);
}

} // namespace
