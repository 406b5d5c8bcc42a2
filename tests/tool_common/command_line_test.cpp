// The tools' shared command-line reader: values reach their checks in the
// line's order, the reading stops at the first bad value or at the help,
// the last of a repeated option counts, a missing value is told as the
// option that lacks it, and the words and unknown options read before the
// stop come back in order (so that a program can tell the line's first
// fault).
#include "tools/common/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Reading {
    tools::CommandLine::Outcome outcome;
    std::string problem;
    std::vector<std::string> words;
    std::vector<std::string> seen; // every value and flag, as handed over
};

Reading Read(const std::vector<const char*>& arguments)
{
    Reading reading;
    tools::CommandLine line;
    line.Flag("-q,--quiet", [&] { reading.seen.push_back("quiet"); });
    line.Value("--fps", [&](const std::string& value) {
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
            throw tools::BadValue{"--fps wants digits, not '" + value + "'"};
        }
        reading.seen.push_back("fps " + value);
    });
    line.Value("--out", [&](const std::string& value) { reading.seen.push_back("out " + value); });
    reading.outcome = line.Read(static_cast<int>(arguments.size()), arguments.data());
    reading.problem = line.Problem();
    reading.words = line.Words();
    return reading;
}

using Outcome = tools::CommandLine::Outcome;

TEST(CommandLine, ReadsInOrderAndTellsTheFirstFault)
{
    Reading r = Read({"--fps", "30", "-q", "a.mp4", "--out", "--quiet", "--fps", "60", "-", "--bogus", "-5", "--"});
    EXPECT_EQ(r.outcome, Outcome::Read);
    // A value is the next argument whatever it looks like.
    EXPECT_EQ(r.seen, (std::vector<std::string>{"fps 30", "quiet", "out --quiet", "fps 60"}));
    EXPECT_EQ(r.words, (std::vector<std::string>{"a.mp4", "-", "--bogus", "-5", "--"}));
    EXPECT_FALSE(tools::IsOptionLike("-"));
    EXPECT_FALSE(tools::IsOptionLike(""));
    EXPECT_TRUE(tools::IsOptionLike("-5"));
    EXPECT_TRUE(tools::IsOptionLike("--"));

    r = Read({"--fps", "x", "--fps", "y", "--help"});
    EXPECT_EQ(r.outcome, Outcome::BadValue);
    EXPECT_EQ(r.problem, "--fps wants digits, not 'x'");

    r = Read({"--fps", "1", "-h", "--fps", "x"});
    EXPECT_EQ(r.outcome, Outcome::Help);
    r = Read({"a.mp4", "--bogus", "--help", "b.mp4"});
    EXPECT_EQ(r.outcome, Outcome::Help);
    EXPECT_EQ(r.words, (std::vector<std::string>{"a.mp4", "--bogus"}));
    r = Read({"a.mp4", "--fps", "x", "--bogus"});
    EXPECT_EQ(r.outcome, Outcome::BadValue);
    EXPECT_EQ(r.words, (std::vector<std::string>{"a.mp4"}));

    r = Read({"a.mp4", "--out"});
    EXPECT_EQ(r.outcome, Outcome::MissingValue);
    EXPECT_EQ(r.problem, "--out");
    r = Read({"a.mp4", "--out="});
    EXPECT_EQ(r.outcome, Outcome::MissingValue);
    EXPECT_EQ(r.problem, "--out");

    r = Read({"--out=x.png", ""});
    EXPECT_EQ(r.outcome, Outcome::Read);
    EXPECT_EQ(r.seen, (std::vector<std::string>{"out x.png"}));
    EXPECT_EQ(r.words, (std::vector<std::string>{""}));

    r = Read({});
    EXPECT_EQ(r.outcome, Outcome::Read);
    EXPECT_TRUE(r.words.empty());
}

} // namespace
