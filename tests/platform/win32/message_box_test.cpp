#include "platform/win32/message_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/error_box.h"
#include "tests/support/box_capture.h"

namespace {

class CapturedBoxes : public ::testing::Test, protected BoxCapture {};

TEST(MessageBoxLine, EscapesTabsAndLineBreaks)
{
    EXPECT_EQ(FormatMessageBoxLine("Zolt Engine Error", "LibSound\t:\tCannot initialize FMOD"),
              "Zolt Engine Error: LibSound\\t:\\tCannot initialize FMOD");
    EXPECT_EQ(FormatMessageBoxLine("t", "a\nb\n"), "t: a\\nb\\n");
    EXPECT_EQ(FormatMessageBoxLine(nullptr, nullptr), ": ");
}

TEST_F(CapturedBoxes, ErrorAndWarningCarryTheirTitlesAndIcons)
{
    ShowError("LibDX\t:\tReset Impossible.");
    ShowWarning("LibDX : Cannot load %s.", "font");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Zolt Engine Error");
    EXPECT_EQ(boxes[0].text, "LibDX\t:\tReset Impossible.");
    EXPECT_EQ(boxes[0].type, MB_ICONERROR);
    EXPECT_EQ(boxes[1].title, "Zolt Engine Warning");
    EXPECT_EQ(boxes[1].text, "LibDX : Cannot load font.");
    EXPECT_EQ(boxes[1].type, MB_ICONWARNING);
}

TEST_F(CapturedBoxes, LongMessagesAreCutAt511Characters)
{
    const std::string longName(2000, 'x');
    ShowError("%s", longName.c_str());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.size(), 511u);
}

TEST_F(CapturedBoxes, EveryBoxAlsoGoesToStandardErrorUnlessTurnedOff)
{
    ::testing::internal::CaptureStderr();
    MessageBoxA(nullptr, "Bad file : not a KVF", "Error", MB_OK);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Error: Bad file : not a KVF\n");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].type, MB_OK);

    // Turned off, the line is not written; the hook still sees the box.
    SetMessageBoxEcho(false);
    ::testing::internal::CaptureStderr();
    MessageBoxA(nullptr, "quiet", "Error", MB_OK);
    const std::string quiet = ::testing::internal::GetCapturedStderr();
    SetMessageBoxEcho(true);
    EXPECT_EQ(quiet, "");
    EXPECT_EQ(boxes.size(), 2u);
}

} // namespace
