// PNG output: a numbered sequence (file n is frame n) in a folder or after a
// pattern, and a single still at --from, at the default and other sizes.
#include <gtest/gtest.h>

#include "tests/capture/capture_fixture.h"

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kDarkBlue = 0x000044;

}  // namespace

TEST_F(CaptureTest, SequenceInANewFolderIsNumberedFromZeroByFrame)
{
    // Ten frames a second from 0.9 s to before 1.6 s: 0.9 (first effect),
    // 1.0 to 1.4 (the gap), 1.5 (second effect).
    const ProgramRun run = Capture("--quiet --fps 10 --from 0.9 --to 1.6 frames/");
    ASSERT_EQ(run.status, 0) << run.errors;
    const uint32_t expected[] = {kBlack, kDarkBlue, kDarkBlue, kDarkBlue, kDarkBlue, kDarkBlue, kBlack};
    for (int n = 0; n < 7; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "frames/%05d.png", n);
        const PngPicture picture = ReadPng(File(name));
        ASSERT_EQ(picture.width, 640) << name;
        EXPECT_EQ(picture.height, 480);
        EXPECT_EQ(picture.centre, expected[n]) << name;
    }
    EXPECT_FALSE(Exists("frames/00007.png"));
}

TEST_F(CaptureTest, SequenceAfterAPatternUsesItsField)
{
    const ProgramRun run = Capture("--quiet --fps 4 --from 2.0 --to 2.6 'shot-%03d.png'");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(ReadPng(File("shot-000.png")).centre, kBlack);     // 2.0 s
    EXPECT_EQ(ReadPng(File("shot-001.png")).centre, kBlack);     // 2.25 s
    EXPECT_EQ(ReadPng(File("shot-002.png")).centre, kDarkBlue);  // 2.5 s: the second effect has ended
    EXPECT_FALSE(Exists("shot-003.png"));                        // 2.75 s is past --to
}

TEST_F(CaptureTest, StillIsTheFrameAtFromAtTheSizeAsked)
{
    ProgramRun run = Capture("--from 1.2 gap.png");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.errors.find("zolt-capture: 1 frame, "), std::string::npos) << run.errors;
    PngPicture picture = ReadPng(File("gap.png"));
    EXPECT_EQ(picture.width, 640);
    EXPECT_EQ(picture.height, 480);
    EXPECT_EQ(picture.centre, kDarkBlue);

    run = Capture("--quiet --size 1280x960 --from 1.7 large.png");
    ASSERT_EQ(run.status, 0) << run.errors;
    picture = ReadPng(File("large.png"));
    EXPECT_EQ(picture.width, 1280);
    EXPECT_EQ(picture.height, 960);
    EXPECT_EQ(picture.centre, kBlack);
}
