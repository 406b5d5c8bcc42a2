// zolt-view as a user runs it: models shown headless, without a sound card,
// for the music's length; nothing left in the temporary folder's place.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

#include "sound/fsound.h"
#include "tests/support/pack_builder.h"
#include "tests/support/test_audio.h"
#include "tools/view/silent_wav.h"

namespace {

struct Outcome {
    int status = -1;
    double seconds = 0.0;
    std::string out;
    std::string err;
};

std::string ReadText(const std::string& path)
{
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int EntriesIn(const std::string& folder)
{
    int count = 0;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            count += std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0 ? 1 : 0;
        }
        closedir(dir);
    }
    return count;
}

class ViewProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, mkdir(Temporary().c_str(), 0700)); }

    // The program's own temporary folders go in here.
    std::string Temporary() const { return dir.File("tmp"); }

    Outcome Run(const std::string& arguments)
    {
        const std::string command = "cd '" + dir.Path() +
                                    "' && env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy TMPDIR='" +
                                    Temporary() + "' timeout 60 '" + ZOLT_BINARY_DIR + "/zolt-view' " + arguments +
                                    " >out.txt 2>err.txt </dev/null";
        const auto start = std::chrono::steady_clock::now();
        const int result = std::system(command.c_str());
        Outcome outcome;
        outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        outcome.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
        outcome.out = ReadText(dir.File("out.txt"));
        outcome.err = ReadText(dir.File("err.txt"));
        return outcome;
    }

    TempDirectory dir;
};

TEST_F(ViewProgram, ShowsModelsForTheMusicsLengthAndLeavesNoFolder)
{
    ASSERT_TRUE(WriteTestMusic(dir.File("tune.wav"), 2.0));
    std::ofstream(dir.File("one.obj")) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    std::ofstream(dir.File("two.obj")) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n";

    const Outcome shown = Run("one.obj two.obj --music tune.wav --fps 25");
    EXPECT_EQ(0, shown.status) << shown.err;
    EXPECT_GE(shown.seconds, 2.0);
    EXPECT_LT(shown.seconds, 50.0); // a hang guard: the command stops it at 60 s
    EXPECT_EQ(0u, shown.out.find("one.KVF: 1 mesh, 1 face")) << shown.out;
    EXPECT_NE(std::string::npos, shown.out.find("\ntwo.KVF: 1 mesh, 2 faces")) << shown.out;
    EXPECT_EQ(std::string::npos, shown.err.find("Zolt Engine")) << shown.err;
    EXPECT_EQ(0, EntriesIn(Temporary()));

    // A model that cannot be read: the importer's line, no show.
    const Outcome missing = Run("one.obj gone.obj --music tune.wav");
    EXPECT_EQ(1, missing.status);
    EXPECT_EQ(0u, missing.err.find("zolt-import: gone.obj: ")) << missing.err;
    EXPECT_EQ(1, std::count(missing.err.begin(), missing.err.end(), '\n')) << missing.err;
    EXPECT_LT(missing.seconds, 20.0);
    EXPECT_EQ(0, EntriesIn(Temporary()));

    const Outcome deaf = Run("one.obj --music nothing.ogg");
    EXPECT_EQ(1, deaf.status);
    EXPECT_EQ("zolt-view: nothing.ogg: the music cannot be found\n", deaf.err);
    EXPECT_EQ(0, EntriesIn(Temporary()));

    const Outcome help = Run("--help");
    EXPECT_EQ(0, help.status);
    EXPECT_EQ(0u, help.out.find("usage: zolt-view MODEL... [--music FILE] [--fps N]\n")) << help.out;
    for (const char* option : {"--music FILE", "--fps N", "--help"}) {
        EXPECT_NE(std::string::npos, help.out.find("\n  " + std::string(option))) << option;
    }
    EXPECT_EQ(2, Run("").status);
    EXPECT_EQ(2, Run("one.obj --fps 0").status);
    EXPECT_EQ(2, Run("one.obj --colour red").status);
    EXPECT_EQ(0, EntriesIn(Temporary()));
}

TEST(SilentWav, PlaysForItsLengthInThePlayersSoundLibrary)
{
    TempDirectory dir;
    const std::string path = dir.File("silence.wav");
    ASSERT_TRUE(WriteSilentWav(path, 3));
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_NE(0, FSOUND_Init(44100, 32, 0));
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF, 0);
    ASSERT_NE(nullptr, stream);
    EXPECT_NEAR(3000, FSOUND_Stream_GetLengthMs(stream), 1);
    FSOUND_Stream_Close(stream);
    FSOUND_Close();
}

} // namespace
