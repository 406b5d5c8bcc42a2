// Input the capture refuses: each case ends with status 1, a message that
// says what is wrong, and no output left behind.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/capture/capture_fixture.h"

TEST_F(CaptureTest, BadArgumentsAndOutputsAreRefusedWithoutLeavingFiles)
{
    struct Case {
        const char* arguments;
        const char* output;   // what must not exist afterwards
        const char* message;  // part of standard error
    };
    const Case cases[] = {
        {"nowhere/out.mp4", "nowhere/out.mp4", "zolt-capture: cannot write nowhere/out.mp4: No such file or directory"},
        {"Marble.Spt/frames/", "Marble.Spt/frames", "zolt-capture: cannot make the folder Marble.Spt/frames: "},
        {"out.avi", "out.avi", "zolt-capture: unknown extension in 'out.avi'"},
        {"--from 2 --to 1 out.mp4", "out.mp4", "zolt-capture: --to must be after --from"},
        {"--fps 0 out.mp4", "out.mp4", "zolt-capture: --fps must be a whole number from 1 to 240"},
        {"--fps 100000 out.mp4", "out.mp4", "zolt-capture: --fps must be a whole number from 1 to 240"},
        {"--fps 29.97 out.mp4", "out.mp4", "zolt-capture: --fps must be a whole number from 1 to 240"},
        {"--size 800x480 out.mp4", "out.mp4", "zolt-capture: --size must be 4:3"},
        {"--crf 60 out.mp4", "out.mp4", "zolt-capture: --crf must be a whole number from 0 to 51"},
        {"--preset quick out.mp4", "out.mp4", "zolt-capture: --preset must be one of ultrafast, superfast, "},
        {"--from 3 out.mp4", "out.mp4", "zolt-capture: --from 3.000 is not before the end of the music (3.000 s)"},
        {"--from -1 out.mp4", "out.mp4", "zolt-capture: --from must be a number of seconds from 0"},
        {"--to 1 still.png", "still.png", "zolt-capture: a still (still.png) is taken at --from alone"},
        {"'f%d-%d.png'", "f0-0.png", "zolt-capture: OUTPUT pattern 'f%d-%d.png' must hold exactly one integer field"},
        {"--bogus out.mp4", "out.mp4", "zolt-capture: unknown option '--bogus'"},
        {"", "out.mp4", "zolt-capture: no OUTPUT given"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ProgramRun run = Capture(c.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.errors.rfind(c.message, 0), 0u) << run.errors;
        EXPECT_FALSE(Exists(c.output));
    }
}

TEST_F(CaptureTest, ShowThatCannotStartGivesThePlayersMessages)
{
    ASSERT_EQ(std::remove(File("music.wav").c_str()), 0);
    ProgramRun run = Capture("out.mp4");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors,
              "Zolt Engine Error: LibSound\\t:\\tCannot initialize the stream, does the file music.wav exist ?\n");
    EXPECT_FALSE(Exists("out.mp4"));

    ASSERT_EQ(std::remove(File("Marble.Spt").c_str()), 0);
    run = Capture("frames/");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors,
              "Zolt Engine Error: LibDemo\\t:\\tError while loading Spt File : Marble.Spt\n"
              "Zolt Engine Error: DemoManager : Cannot Initialize the Demo properly\n");
    EXPECT_FALSE(Exists("frames"));
}
