// The whole player, run as a child process in a directory holding a script,
// a short music file and a pack, with no display and no sound card.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "demo/script_writer.h"
#include "tests/support/test_images.h"
#include "tests/support/wav_writer.h"
#include "tests/support/pack_builder.h"

namespace {

// A mono 16-bit PCM WAV file of the given length: a quiet 440 Hz tone.
std::vector<uint8_t> ToneWav(double seconds)
{
    const uint32_t rate = 22050;
    const uint32_t count = static_cast<uint32_t>(seconds * rate);
    std::vector<int16_t> samples(count);
    for (uint32_t i = 0; i < count; ++i)
        samples[i] = int16_t(1000.0 * std::sin(2.0 * M_PI * 440.0 * i / rate));
    return PcmWav(rate, 1, samples);
}

std::vector<uint8_t> TwoPlainEffectsScript(const char* music)
{
    ScriptWriter writer;
    writer.WriteString(music);
    writer.WriteByte(0);
    writer.WriteInt32(2);
    writer.WriteInt32(0);
    writer.WriteString("first");
    writer.WriteFloat(0.0f);
    writer.WriteFloat(900.0f);
    writer.WriteInt32(0);
    writer.WriteString("second");
    writer.WriteFloat(500.0f);
    writer.WriteFloat(1500.0f);
    return writer.Bytes();
}

std::vector<PackMember> SkyBoxPack()
{
    const std::vector<uint8_t> face = EncodeJpeg(QuadrantImage());
    std::vector<PackMember> members;
    for (const char* name :
         {"Otter_FR.JPG", "Otter_BK.JPG", "Otter_DN.JPG", "Otter_UP.JPG", "Otter_LF.JPG", "Otter_RT.JPG"})
        members.push_back({name, face});
    return members;
}

struct RunResult {
    int status = -1;
    std::vector<std::string> boxes; // the message-box lines of standard error
};

// Runs the player in dir without a display and returns its exit status and
// the message boxes it showed, as written to standard error.
RunResult RunPlayer(const std::string& dir)
{
    const std::string player = std::string(ZOLT_BINARY_DIR) + "/zolt";
    const std::string command = "cd '" + dir + "' && env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 '" + player +
                                "' </dev/null >/dev/null 2>stderr.txt";
    RunResult result;
    int raw = std::system(command.c_str());
    if (raw != -1 && WIFEXITED(raw))
        result.status = WEXITSTATUS(raw);
    std::ifstream err(dir + "/stderr.txt");
    std::string line;
    while (std::getline(err, line)) {
        if (line.rfind("Zolt Engine ", 0) == 0 || line.rfind("fmod error", 0) == 0)
            result.boxes.push_back(line);
    }
    return result;
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ifstream player(std::string(ZOLT_BINARY_DIR) + "/zolt");
        ASSERT_TRUE(player.good()) << "build the zolt program first";
        ASSERT_FALSE(m_dir.Path().empty());
    }
    std::string File(const char* name) const { return m_dir.File(name); }

    TempDirectory m_dir;
};

TEST_F(ProgramTest, PlaysTwoOverlappingPlainEffectsAndEndsWithTheMusic)
{
    ASSERT_TRUE(WriteFileBytes(File("Marble.Spt"), TwoPlainEffectsScript("music.wav")));
    ASSERT_TRUE(WriteFileBytes(File("music.wav"), ToneWav(1.5)));
    ASSERT_TRUE(WritePack(File("data.pac"), SkyBoxPack()));
    RunResult run = RunPlayer(m_dir.Path());
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.boxes.empty()) << run.boxes.front();
}

TEST_F(ProgramTest, MissingScript)
{
    ASSERT_TRUE(WritePack(File("data.pac"), SkyBoxPack()));
    RunResult run = RunPlayer(m_dir.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.boxes, (std::vector<std::string>{
                             "Zolt Engine Error: LibDemo\\t:\\tError while loading Spt File : Marble.Spt",
                             "Zolt Engine Error: DemoManager : Cannot Initialize the Demo properly",
                         }));
}

TEST_F(ProgramTest, MissingMusicEndsTheShowAtOnce)
{
    ASSERT_TRUE(WriteFileBytes(File("Marble.Spt"), TwoPlainEffectsScript("absent.wav")));
    ASSERT_TRUE(WritePack(File("data.pac"), SkyBoxPack()));
    RunResult run = RunPlayer(m_dir.Path());
    EXPECT_EQ(run.status, 1); // the stream posts quit code 1
    EXPECT_EQ(run.boxes, (std::vector<std::string>{
                             "Zolt Engine Error: LibSound\\t:\\tCannot initialize the stream, does the file "
                             "absent.wav exist ?",
                         }));
}

TEST_F(ProgramTest, MissingPackLeavesTheSkyBoxEmptyAndPlays)
{
    ASSERT_TRUE(WriteFileBytes(File("Marble.Spt"), TwoPlainEffectsScript("music.wav")));
    ASSERT_TRUE(WriteFileBytes(File("music.wav"), ToneWav(0.5)));
    RunResult run = RunPlayer(m_dir.Path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.boxes, (std::vector<std::string>{
                             "Zolt Engine Error: LibUtils : file Otter_FR.JPG not found in the data.pac zipfile\\n",
                             "Zolt Engine Error: LibDX\\t:\\tCannot open Texture : Otter_FR.JPG",
                             "Zolt Engine Error: LibDX : Cannot load : Otter_FR.JPG ",
                         }));
}

TEST_F(ProgramTest, ASceneThatCannotLoadEndsTheShowWithItsMessagesInOrder)
{
    ScriptWriter writer;
    writer.WriteString("music.wav");
    writer.WriteByte(0);
    writer.WriteInt32(1);
    writer.WriteInt32(1); // Player3D
    writer.WriteString("player");
    writer.WriteFloat(0.0f);
    writer.WriteFloat(1000.0f);
    writer.WriteString("absent.KVF");
    ASSERT_TRUE(WriteFileBytes(File("Marble.Spt"), writer.Bytes()));
    ASSERT_TRUE(WriteFileBytes(File("music.wav"), ToneWav(0.5)));
    ASSERT_TRUE(WritePack(File("data.pac"), SkyBoxPack()));
    RunResult run = RunPlayer(m_dir.Path());
    EXPECT_EQ(run.status, 1);
    // The scene reader's own box, titled "error", falls between the first
    // two; only the engine's boxes are collected here.
    EXPECT_EQ(run.boxes, (std::vector<std::string>{
                             "Zolt Engine Error: LibUtils : file absent.KVF not found in the data.pac zipfile\\n",
                             "Zolt Engine Error: LibDemo\\t:\\tCannot load the Player3D Effect : absent.KVF",
                             "Zolt Engine Error: LibDemo\\t:\\tError while loading player effect",
                             "Zolt Engine Error: DemoManager : Cannot Initialize the Demo properly",
                         }));
}

TEST_F(ProgramTest, TruncatedScript)
{
    std::vector<uint8_t> script = TwoPlainEffectsScript("music.wav");
    script.resize(script.size() - 3);
    ASSERT_TRUE(WriteFileBytes(File("Marble.Spt"), script));
    ASSERT_TRUE(WriteFileBytes(File("music.wav"), ToneWav(0.5)));
    ASSERT_TRUE(WritePack(File("data.pac"), SkyBoxPack()));
    RunResult run = RunPlayer(m_dir.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.boxes, (std::vector<std::string>{
                             "Zolt Engine Error: LibDemo\\t:\\tError while loading Spt File : Marble.Spt",
                             "Zolt Engine Error: DemoManager : Cannot Initialize the Demo properly",
                         }));
}

} // namespace
