// zolt-soak as the soak script runs it: in a show folder, without a display,
// looping a show of every effect kind many times over.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "tests/app/test_show.h"
#include "tests/support/pack_builder.h"

namespace {

// Under AddressSanitizer freed blocks wait in its quarantine, so the resident
// memory grows without any leak: the verdict is judged only without it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryJudged = false;
#else
constexpr bool kMemoryJudged = true;
#endif

TEST(SoakProgram, LoopsTheShowAndReportsSteadyMemory)
{
    TempDirectory folder;
    TestShow show;
    show.musicSeconds = 2.0;  // 120 frames a loop at 60 a second
    show.everyEffectKind = true;
    ASSERT_TRUE(WriteTestShow(folder.Path(), show));
    const std::string command = "cd '" + folder.Path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY timeout 240 '" +
                                ZOLT_BINARY_DIR + "/zolt-soak' --frames 2500 >out.txt 2>errors.txt </dev/null";
    const int result = std::system(command.c_str());
    std::ifstream outFile(folder.File("out.txt"));
    const std::string out((std::istreambuf_iterator<char>(outFile)), std::istreambuf_iterator<char>());
    std::ifstream errorFile(folder.File("errors.txt"));
    const std::string errors((std::istreambuf_iterator<char>(errorFile)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(WIFEXITED(result));
    if (kMemoryJudged) {
        EXPECT_EQ(WEXITSTATUS(result), 0) << out << errors;
        EXPECT_EQ(errors, "");
    }

    std::vector<std::string> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 6u) << out;
    const std::regex sample("frame (\\d+) rss [1-9]\\d* KB");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, sample)) << lines[0];
    EXPECT_EQ(match[1], "1000");
    ASSERT_TRUE(std::regex_match(lines[1], match, sample)) << lines[1];
    EXPECT_EQ(match[1], "2000");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("drawn 2500 frames in [0-9.]+ s \\([0-9.]+ a second\\), "
                                                      "the show's loop is 120 frames")))
        << lines[2];
    const std::regex summary("rss floor in loop 2 ([1-9]\\d*) KB, in loop 20 ([1-9]\\d*) KB, "
                             "growth (-?\\d+) KB, bound (\\d+) KB: (within|GROWN BEYOND)");
    ASSERT_TRUE(std::regex_match(lines[3], match, summary)) << lines[3];
    EXPECT_EQ(std::stol(match[2]) - std::stol(match[1]), std::stol(match[3]));
    EXPECT_GE(std::stol(match[4]), 1024);
    if (kMemoryJudged) {
        EXPECT_EQ(match[5], "within");
    }

    const std::regex times("frame times: mean ([0-9.]+) ms, median ([0-9.]+) ms, 99th percentile ([0-9.]+) ms, "
                           "slowest ([0-9.]+) ms \\(frame (\\d+)\\)");
    ASSERT_TRUE(std::regex_match(lines[4], match, times)) << lines[4];
    const double median = std::stod(match[2]), p99 = std::stod(match[3]), slowest = std::stod(match[4]);
    EXPECT_GT(median, 0.0);
    EXPECT_LE(median, p99);
    EXPECT_LE(p99, slowest);
    EXPECT_LE(std::stod(match[1]), slowest);
    EXPECT_LT(std::stol(match[5]), 2500);
    const std::regex effect("slowest effect: (\\d+) \"([^\"]*)\", mean ([0-9.]+) ms over (\\d+) frames");
    ASSERT_TRUE(std::regex_match(lines[5], match, effect)) << lines[5];
    EXPECT_LE(std::stod(match[3]), slowest);
    EXPECT_GT(std::stol(match[4]), 0);
    EXPECT_LT(std::stol(match[4]), 2500);
}

}  // namespace
