// zolt-view's command line: the faults of a line in the program's words, the
// first one told, and the models and options of a good line.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tools/view/view_options.h"

namespace {

TEST(ViewOptions, BadLinesTellTheirFirstFaultAndGoodOnesEveryModel)
{
    const std::string usage = "usage: zolt-view MODEL... [--music FILE] [--fps N]\n";
    const std::string fps = "zolt-view: --fps takes a whole number of frames per second from 1 to 1000\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> lines = {
        {{}, usage},
        {{"--music", "x.ogg"}, usage},
        {{"a.obj", "--music"}, "zolt-view: --music needs a value\n" + usage},
        {{"--fps", "", "a.obj"}, fps},
        {{"--fps=1001", "a.obj"}, fps},
        {{"--fps", "0", "--colour", "red", "a.obj"}, fps},
        {{"a.obj", "--colour", "red", "--fps", "0"}, "zolt-view: unknown option --colour\n" + usage},
    };
    for (const auto& line : lines) {
        ViewOptions options;
        std::ostringstream err;
        EXPECT_FALSE(ParseViewOptions(line.first, &options, err)) << line.second;
        EXPECT_EQ(line.second, err.str());
    }

    ViewOptions options;
    std::ostringstream err;
    ASSERT_TRUE(ParseViewOptions({"a.obj", "--fps", "25", "-", "--music=tune.wav", "-b.obj", "--fps", "24"},
                                 &options, err))
        << err.str();
    EXPECT_EQ((std::vector<std::string>{"a.obj", "-", "-b.obj"}), options.models);
    EXPECT_EQ("tune.wav", options.music);
    EXPECT_EQ(24, options.fps);
    EXPECT_FALSE(options.help);
    EXPECT_TRUE(err.str().empty());

    ViewOptions help;
    EXPECT_TRUE(ParseViewOptions({"--help", "--colour"}, &help, err));
    EXPECT_TRUE(help.help);
}

} // namespace
