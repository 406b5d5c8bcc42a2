// zolt-preview without a display, driven by commands on standard input: a
// jump draws what a capture started at that time draws, a pause holds the
// picture, a reload picks up an edited script or show file and survives a
// broken one, and a folder that cannot start fails with the player's own
// messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/preview/preview_show.h"
#include "tests/support/pack_builder.h"

namespace {

// Shell commands that wait until the preview has answered `count` lines.
std::string AwaitAnswers(int count)
{
    return "i=0; while [ $(wc -l < .stdout) -lt " + std::to_string(count) +
           " ] && [ $i -lt 900 ]; do sleep 0.1; i=$((i+1)); done";
}

double AnsweredSeconds(const std::string& answer)
{
    return answer.size() > 3 ? std::atof(answer.c_str() + 3) : -1.0;
}

class Preview : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        show = new TempDirectory();
        ASSERT_TRUE(WritePreviewShow(show->Path()));
    }
    static void TearDownTestSuite()
    {
        delete show;
        show = nullptr;
    }
    static TempDirectory* show;
};
TempDirectory* Preview::show = nullptr;

// One run plays the Player3D effect for a while (its bent bar's box then
// comes from the frames played), then jumps to a plain effect, twice into
// the Player3D loop (the fourth and the first pass, which look alike), into
// the crossfade to Marble1 and to Marble1 with its first caption and second
// scene; each picture equals zolt-capture's still at that time.
TEST_F(Preview, PictureAfterASeekIsTheCaptureStillOfThatTime)
{
    const ProgramRun run = RunPreview(show->Path(), ". --from 5.7",
                                      "echo time; " + AwaitAnswers(1) + "; sleep 0.5; "
                                      "echo pause; echo \"seek 1.0\"; echo \"shot plain.png\"; "
                                      "echo \"seek 6.4\"; echo \"shot loop4.png\"; echo \"seek 3.4\"; "
                                      "echo \"shot loop1.png\"; echo \"seek 9.25\"; echo \"shot fade.png\"; "
                                      "echo \"seek 12.5\"; echo \"shot hall.png\"; echo time; echo \"seek -1\"; "
                                      "echo \"seek soon\"; echo \"seek 20\"; echo shot; echo bogus; echo quit");
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.answers.size(), 19u) << run.errors;
    EXPECT_EQ(run.answers[0].substr(0, 3), "ok ");
    EXPECT_GT(AnsweredSeconds(run.answers[1]), AnsweredSeconds(run.answers[0])) << "not played";
    const char* expected[] = {"ok 1.000 opening", "ok plain.png", "ok 6.400 turning", "ok loop4.png",
                              "ok 3.400 turning", "ok loop1.png", "ok 9.250 turning", "ok fade.png",
                              "ok 12.500 hall", "ok hall.png", "ok 12.500 hall"};
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(run.answers[i + 2], expected[i]) << "answer " << i + 2;
    }
    for (size_t i = 13; i < 18; ++i) {
        EXPECT_EQ(run.answers[i].substr(0, 6), "error ") << run.answers[i];
    }
    EXPECT_EQ(run.answers[18], "ok");

    const struct {
        double seconds;
        const char* shot;
    } stills[] = {{1.0, "plain.png"}, {6.4, "loop4.png"}, {9.25, "fade.png"}, {12.5, "hall.png"}};
    for (const auto& still : stills) {
        const std::string name = std::string("capture-") + still.shot;
        const ProgramRun capture = RunCapture(show->Path(), still.seconds, name);
        ASSERT_EQ(capture.status, 0) << capture.errors;
        const Picture shot = ReadPicture(show->File(still.shot));
        EXPECT_EQ(shot.width, 640);
        EXPECT_EQ(shot.height, 480);
        EXPECT_EQ(DifferingPixels(shot, ReadPicture(show->File(name))), 0) << still.shot;
    }
    // The loop follows the music time: one second apart on a one-second loop.
    EXPECT_EQ(DifferingPixels(ReadPicture(show->File("loop4.png")), ReadPicture(show->File("loop1.png"))), 0);
    EXPECT_GT(DifferingPixels(ReadPicture(show->File("loop4.png")), ReadPicture(show->File("plain.png"))), 1000);
    EXPECT_GT(DifferingPixels(ReadPicture(show->File("fade.png")), ReadPicture(show->File("hall.png"))), 1000);
}

TEST_F(Preview, PauseHoldsThePictureAndPlayMovesOn)
{
    const ProgramRun run = RunPreview(show->Path(), ". --from 4",
                                      "sleep 0.5; echo pause; echo time; echo \"shot held1.png\"; " +
                                          AwaitAnswers(3) + "; sleep 1; echo time; echo \"shot held2.png\"; "
                                          "echo play; " + AwaitAnswers(6) + "; sleep 1; echo time; echo next; "
                                          "echo next; echo prev; echo prev; echo prev");
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.answers.size(), 12u) << run.errors;
    const double paused = AnsweredSeconds(run.answers[1]);
    EXPECT_GE(paused, 4.0);
    EXPECT_EQ(run.answers[3], run.answers[1]);
    EXPECT_EQ(DifferingPixels(ReadPicture(show->File("held1.png")), ReadPicture(show->File("held2.png"))), 0);
    EXPECT_GT(AnsweredSeconds(run.answers[6]), paused + 0.1) << run.answers[6];
    // From the Player3D effect: Marble1's start, then no later start; back
    // from there: Player3D's start (Marble1's is the picture's own), then the
    // beginning, where there is nothing earlier.
    EXPECT_EQ(run.answers[7], "ok 9.000 turning");
    EXPECT_EQ(run.answers[8].substr(0, 6), "error ");
    EXPECT_EQ(run.answers[9], "ok 2.500 opening");
    EXPECT_EQ(run.answers[10], "ok 0.000 opening");
    EXPECT_EQ(run.answers[11], "ok 0.000 opening");
}

TEST_F(Preview, ReloadPicksUpAnEditedScriptAndSurvivesABrokenOne)
{
    TempDirectory folder;
    ASSERT_TRUE(WritePreviewShow(folder.Path()));
    ASSERT_TRUE(WritePreviewScript(folder.File("renamed.Spt"), "spinning"));
    {
        std::FILE* broken = std::fopen(folder.File("broken.Spt").c_str(), "wb");
        ASSERT_NE(broken, nullptr);
        std::fputs("music.wav", broken);  // ends inside the music name
        std::fclose(broken);
    }
    const ProgramRun run = RunPreview(folder.Path(), ".",
                                      "echo pause; echo \"seek 5\"; " + AwaitAnswers(2) +
                                          "; cp broken.Spt Marble.Spt; echo reload; echo time; " + AwaitAnswers(4) +
                                          "; cp renamed.Spt Marble.Spt; echo reload; echo time; echo play; "
                                          "echo pause; echo time");
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.answers.size(), 9u) << run.errors;
    EXPECT_EQ(run.answers[1], "ok 5.000 turning");
    EXPECT_EQ(run.answers[2].substr(0, 6), "error ");
    EXPECT_NE(run.errors.find("Zolt Engine Error: LibDemo\\t:\\tError while loading Spt File : Marble.Spt"),
              std::string::npos)
        << run.errors;
    EXPECT_EQ(run.answers[3], "ok 5.000 turning");
    EXPECT_EQ(run.answers[4], "ok 5.000 spinning");
    EXPECT_EQ(run.answers[5], "ok 5.000 spinning");
    EXPECT_GE(AnsweredSeconds(run.answers[8]), 5.0);
    EXPECT_NE(run.answers[8].find(" spinning"), std::string::npos) << run.answers[8];
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// With a show.toml in the folder (unpack's, keeping the pack), reload builds
// the show first: a show file that does not build leaves the last good show
// playing and says why; an edited one is built, byte for byte the script
// the edit describes, and played from the same time.
TEST_F(Preview, ReloadRebuildsAShowFromItsShowFile)
{
    TempDirectory folder;
    ASSERT_TRUE(WritePreviewShow(folder.Path()));
    ASSERT_TRUE(WritePreviewScript(folder.File("renamed.Spt"), "spinning"));
    ASSERT_EQ(std::system(("cd '" + folder.Path() + "' && '" + ZOLT_BINARY_DIR + "/zolt-show' unpack >/dev/null")
                              .c_str()),
              0);
    const std::string showFile = ReadText(folder.File("show.toml"));
    const std::string named = "name = 'turning'";
    const size_t at = showFile.find(named);
    ASSERT_NE(at, std::string::npos) << showFile;
    const int line = 1 + static_cast<int>(std::count(showFile.begin(), showFile.begin() + at, '\n'));
    std::string broken = showFile;
    broken.replace(at, named.size(), "nmae = \"spinning\"");
    std::string renamed = showFile;
    renamed.replace(at, named.size(), "name = \"spinning\"");
    std::ofstream(folder.File("broken.toml"), std::ios::binary) << broken;
    std::ofstream(folder.File("renamed.toml"), std::ios::binary) << renamed;

    const ProgramRun run = RunPreview(folder.Path(), ".",
                                      "echo pause; echo \"seek 5\"; " + AwaitAnswers(2) +
                                          "; cp broken.toml show.toml; echo reload; echo time; " + AwaitAnswers(4) +
                                          "; cp renamed.toml show.toml; echo reload; echo time");
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.answers.size(), 6u) << run.errors;
    EXPECT_EQ(run.answers[1], "ok 5.000 turning");
    EXPECT_EQ(run.answers[2], "error zolt-show build failed (status 1)");
    EXPECT_NE(run.errors.find("/show.toml:" + std::to_string(line) + ":1: error: unknown key \"nmae\""),
              std::string::npos)
        << run.errors;
    EXPECT_EQ(run.answers[3], "ok 5.000 turning");
    EXPECT_EQ(run.answers[4], "ok 5.000 spinning");
    EXPECT_EQ(run.answers[5], "ok 5.000 spinning");
    EXPECT_EQ(ReadText(folder.File("Marble.Spt")), ReadText(folder.File("renamed.Spt")));
}

// Without a script, and with a script whose music is missing, the preview
// prints what the player prints and exits with 1.
TEST_F(Preview, AFolderThatCannotStartFailsWithThePlayersMessages)
{
    TempDirectory noScript;
    TempDirectory noMusic;
    ASSERT_EQ(std::system(("cp '" + show->File("data.pac") + "' '" + noScript.Path() + "/' && cp '" +
                           show->File("data.pac") + "' '" + show->File("Marble.Spt") + "' '" + noMusic.Path() + "/'")
                              .c_str()),
              0);
    const char* messages[] = {"LibDemo\\t:\\tError while loading Spt File : Marble.Spt",
                              "LibSound\\t:\\tCannot initialize the stream, does the file music.wav exist ?"};
    int i = 0;
    for (const TempDirectory* folder : {&noScript, &noMusic}) {
        const ProgramRun preview = RunPreview(folder->Path(), ".", "echo time");
        const ProgramRun player = RunPlayer(folder->Path());
        EXPECT_EQ(preview.status, 1);
        EXPECT_EQ(player.status, 1);
        EXPECT_TRUE(preview.answers.empty());
        EXPECT_NE(preview.errors.find(messages[i++]), std::string::npos) << preview.errors;
        EXPECT_EQ(preview.errors, player.errors);
    }
}

}  // namespace
