// Reading through the archive window: an archive several windows long, with
// members small and larger than the window, compressible or not, and a
// central directory that itself spans more than a window, reads back every
// member exactly, in any order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "pack/pack_file.h"
#include "tests/support/box_capture.h"
#include "tests/support/pack_builder.h"

TEST(ArchiveWindow, EveryMemberOfALargeArchiveReadsBackExactly)
{
    std::mt19937 rng(5);
    std::vector<PackMember> members;
    for (int i = 0; i < 1500; ++i) {
        // Long names make the central directory larger than one window.
        PackMember member{"member_" + std::to_string(i) + std::string(60, 'n') + ".bin", {}};
        const size_t size = i % 100 == 7 ? 150000 + rng() % 100000 : rng() % 3000;
        member.bytes.resize(size);
        const bool noise = i % 2 == 0;
        for (size_t b = 0; b < size; ++b) {
            member.bytes[b] = static_cast<uint8_t>(noise ? rng() : (b / 7) % 13);
        }
        members.push_back(std::move(member));
    }
    TempDirectory dir;
    const std::string archive = dir.File("data.pac");
    ASSERT_TRUE(WritePack(archive, members));

    std::vector<size_t> order(members.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::shuffle(order.begin(), order.end(), rng);
    BoxCapture boxes;
    for (size_t i : order) {
        CPackFile file;
        ASSERT_EQ(0, file.Open(members[i].name.c_str(), archive.c_str())) << members[i].name;
        ASSERT_EQ(static_cast<int32_t>(members[i].bytes.size()), file.block->size) << members[i].name;
        ASSERT_TRUE(std::equal(members[i].bytes.begin(), members[i].bytes.end(), file.block->data)) << members[i].name;
    }
    EXPECT_TRUE(boxes.Texts().empty());
}
