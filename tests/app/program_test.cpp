// The zolt program as a user runs it: in a show folder, without a display and
// without a sound card.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

#include "tests/app/test_show.h"
#include "tests/support/pack_builder.h"

namespace {

struct Outcome {
    int status = -1;
    double seconds = 0.0;
    std::string errors;
};

Outcome RunZolt(const TempDirectory& folder)
{
    const std::string command = "cd '" + folder.Path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 '" +
                                ZOLT_BINARY_DIR + "/zolt' >/dev/null 2>errors.txt </dev/null";
    const auto start = std::chrono::steady_clock::now();
    const int result = std::system(command.c_str());
    Outcome outcome;
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    std::ifstream errors(folder.File("errors.txt"));
    outcome.errors.assign(std::istreambuf_iterator<char>(errors), std::istreambuf_iterator<char>());
    return outcome;
}

TEST(Program, EndsByItselfOnceTheMusicHasPlayed)
{
    TempDirectory folder;
    TestShow show;
    show.musicSeconds = 1.5;
    ASSERT_TRUE(WriteTestShow(folder.Path(), show));
    const Outcome outcome = RunZolt(folder);
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_GE(outcome.seconds, 1.5);
    EXPECT_LT(outcome.seconds, 59.0);  // a hang guard: the command stops it at 60 s
    EXPECT_EQ(outcome.errors.find("Zolt Engine"), std::string::npos) << outcome.errors;
}

TEST(Program, PlaysEveryEffectKindAndEndsAfterTheMusic)
{
    TempDirectory folder;
    TestShow show;
    show.musicSeconds = 2.0;
    show.everyEffectKind = true;
    ASSERT_TRUE(WriteTestShow(folder.Path(), show));
    const Outcome outcome = RunZolt(folder);
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_GE(outcome.seconds, 2.0);
    EXPECT_LT(outcome.seconds, 30.0);
    EXPECT_EQ(outcome.errors.find("Zolt Engine"), std::string::npos) << outcome.errors;
}

TEST(Program, MissingMusicIsReportedAndEndsWithStatusOne)
{
    TempDirectory folder;
    TestShow show;
    show.writeMusic = false;
    ASSERT_TRUE(WriteTestShow(folder.Path(), show));
    const Outcome outcome = RunZolt(folder);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find("Zolt Engine Error: LibSound\\t:\\tCannot initialize the stream, does the file "
                                  "music.wav exist ?"),
              std::string::npos)
        << outcome.errors;
}

TEST(Program, EmptyFolderEndsWithStatusOne)
{
    TempDirectory folder;
    const Outcome outcome = RunZolt(folder);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find("DemoManager : Cannot Initialize the Demo properly"), std::string::npos)
        << outcome.errors;
}

}  // namespace
