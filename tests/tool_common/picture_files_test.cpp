// Picture files of the tools: sequence names from a checked pattern, and
// PNG files that are written whole or not at all.
#include "tools/common/frame_pattern.h"
#include "tools/common/png_file.h"

#include <gtest/gtest.h>

#include <stb/stb_image.h>

#include <dirent.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/pack_builder.h"

namespace {

std::vector<std::string> FolderEntries(const std::string& path)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    return names;
}

TEST(FramePattern, ChecksTheFieldAndExpandsWithoutPrintfSeeingTheText)
{
    FramePattern pattern;
    std::string problem;
    ASSERT_TRUE(pattern.Parse("out/%%s-%05d.png", &problem)) << problem;
    EXPECT_EQ(pattern.Expand(42), "out/%s-00042.png");
    ASSERT_TRUE(pattern.Parse("%x.png", &problem));
    EXPECT_EQ(pattern.Expand(255), "ff.png");
    for (const char* bad : {"plain.png", "%d%d.png", "%s.png", "%n.png", "%ld.png", "%999d.png", "%d%.png"}) {
        EXPECT_FALSE(pattern.Parse(bad, &problem)) << bad;
    }
    EXPECT_TRUE(FramePattern::HoldsField("a%d"));
    EXPECT_TRUE(FramePattern::HoldsField("50%"));
    EXPECT_FALSE(FramePattern::HoldsField("100%%.png"));
}

TEST(PngFileWriter, WritesWholePicturesAndLeavesNothingOnFailure)
{
    TempDirectory folder;
    PngFileWriter writer;
    std::string problem;
    const std::vector<uint32_t> first = {0xFF102030u, 0x00405060u, 0x12708090u, 0xFFA0B0C0u, 0, 0xFFFFFFFFu};
    const std::string path = folder.File("picture.png");
    ASSERT_TRUE(writer.Write(path, 3, 2, first.data(), first.size(), &problem)) << problem;
    // A second picture through the same writer replaces the first.
    std::vector<uint32_t> second(first.rbegin(), first.rend());
    ASSERT_TRUE(writer.Write(path, 3, 2, second.data(), second.size(), &problem)) << problem;

    int width = 0, height = 0, channels = 0;
    stbi_uc* rgb = stbi_load(path.c_str(), &width, &height, &channels, 3);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(channels, 3);
    for (size_t i = 0; i < second.size(); ++i) {
        const uint32_t got = static_cast<uint32_t>(rgb[i * 3]) << 16 | static_cast<uint32_t>(rgb[i * 3 + 1]) << 8 |
                             rgb[i * 3 + 2];
        EXPECT_EQ(got, second[i] & 0xFFFFFFu) << i;
    }
    stbi_image_free(rgb);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(static_cast<size_t>(info.st_size), writer.LastFileBytes());
    // Readable as any file the user makes, not only by the owner.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);

    EXPECT_FALSE(WriteRgbPng(folder.File("missing/x.png"), 3, 2, first, &problem));
    EXPECT_EQ(problem, "No such file or directory");
    EXPECT_FALSE(writer.Write(folder.File("short.png"), 3, 3, first.data(), first.size(), &problem));
    EXPECT_EQ(problem, "no picture to write");
    EXPECT_EQ(FolderEntries(folder.Path()), (std::vector<std::string>{"picture.png"}));
}

} // namespace
