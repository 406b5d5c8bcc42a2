#include "platform/win32/message_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/report/report.h"
#include "platform/win32/report_box.h"
#include "tests/support/box_capture.h"

namespace {

class CapturedBoxes : public ::testing::Test, protected BoxCapture {};

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

// The player's sink: one box per report, the severity's icon, owned by the
// show's window once there is one, and the line on standard error.
TEST_F(CapturedBoxes, ThePlayersReportsAreBoxesWithTheSeveritysIcon)
{
    const ReportSink capture = SetReportSink(ShowReportBox);
    ::testing::internal::CaptureStderr();
    ShowError("LibDX\t:\tReset Impossible.");
    const HWND window = reinterpret_cast<HWND>(0x1234);
    SetErrorBoxOwner(window);
    ShowWarning("LibDX : Cannot load %s.", "font");
    Report(ReportSeverity::Plain, "Erreur", "ID Materiaux non valide");
    Report(ReportSeverity::Warning, "bone 7 missing", "CModifierSkin warning:");
    SetErrorBoxOwner(nullptr);
    const std::string err = ::testing::internal::GetCapturedStderr();
    SetReportSink(capture);

    EXPECT_EQ(err, "Zolt Engine Error: LibDX\\t:\\tReset Impossible.\n"
                   "Zolt Engine Warning: LibDX : Cannot load font.\n"
                   "Erreur: ID Materiaux non valide\n"
                   "bone 7 missing: CModifierSkin warning:\n");
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].title, "Zolt Engine Error");
    EXPECT_EQ(boxes[0].type, MB_ICONERROR);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[1].title, "Zolt Engine Warning");
    EXPECT_EQ(boxes[1].text, "LibDX : Cannot load font.");
    EXPECT_EQ(boxes[1].type, MB_ICONWARNING);
    EXPECT_EQ(boxes[1].owner, window);
    EXPECT_EQ(boxes[2].title, "Erreur");
    EXPECT_EQ(boxes[2].type, MB_OK);
    EXPECT_EQ(boxes[2].owner, window);
    EXPECT_EQ(boxes[3].title, "bone 7 missing");
    EXPECT_EQ(boxes[3].text, "CModifierSkin warning:");
    EXPECT_EQ(boxes[3].type, MB_ICONWARNING);
}

} // namespace
