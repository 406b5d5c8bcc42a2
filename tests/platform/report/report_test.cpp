// Reports: printed as one escaped line until a sink is set; the sink sees
// each report's severity, title and text; the two formatted reports carry
// the engine's titles and keep within 511 characters.
#include "platform/report/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/report/report_line.h"

namespace {

struct Seen {
    ReportSeverity severity;
    std::string title;
    std::string text;
};

TEST(ReportLine, EscapesTabsAndLineBreaks)
{
    EXPECT_EQ(FormatReportLine("Zolt Engine Error", "LibSound\t:\tCannot initialize FMOD"),
              "Zolt Engine Error: LibSound\\t:\\tCannot initialize FMOD");
    EXPECT_EQ(FormatReportLine("t", "a\nb\n"), "t: a\\nb\\n");
    EXPECT_EQ(FormatReportLine(nullptr, nullptr), ": ");
}

TEST(Report, PrintedUntilASinkIsSetAndAgainOnceItIsRemoved)
{
    ::testing::internal::CaptureStderr();
    Report(ReportSeverity::Plain, "Error", "Bad file : not a KVF");
    ShowError("LibDX\t:\tReset Impossible.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Error: Bad file : not a KVF\nZolt Engine Error: LibDX\\t:\\tReset Impossible.\n");

    std::vector<Seen> seen;
    const ReportSink before = SetReportSink([&](ReportSeverity severity, const char* title, const char* text) {
        seen.push_back(Seen{severity, title, text});
    });
    EXPECT_FALSE(before);
    ::testing::internal::CaptureStderr();
    Report(ReportSeverity::Plain, "NULL Pointer", nullptr);
    ShowError("LibDX\t:\tReset Impossible.");
    ShowWarning("LibDX : Cannot load %s.", "font");
    const std::string longName(2000, 'x');
    ShowError("%s", longName.c_str());
    Report(ReportSeverity::Warning, "bone 7 missing", "CModifierSkin warning:");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    const ReportSink mine = SetReportSink(nullptr);
    EXPECT_TRUE(mine);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].severity, ReportSeverity::Plain);
    EXPECT_EQ(seen[0].title, "NULL Pointer");
    EXPECT_EQ(seen[0].text, "");
    EXPECT_EQ(seen[1].severity, ReportSeverity::Error);
    EXPECT_EQ(seen[1].title, "Zolt Engine Error");
    EXPECT_EQ(seen[1].text, "LibDX\t:\tReset Impossible.");
    EXPECT_EQ(seen[2].severity, ReportSeverity::Warning);
    EXPECT_EQ(seen[2].title, "Zolt Engine Warning");
    EXPECT_EQ(seen[2].text, "LibDX : Cannot load font.");
    EXPECT_EQ(seen[3].text, std::string(511, 'x'));
    EXPECT_EQ(seen[4].severity, ReportSeverity::Warning);
    EXPECT_EQ(seen[4].title, "bone 7 missing");

    ::testing::internal::CaptureStderr();
    ShowWarning("again");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Zolt Engine Warning: again\n");
    EXPECT_EQ(seen.size(), 5u);
}

} // namespace
