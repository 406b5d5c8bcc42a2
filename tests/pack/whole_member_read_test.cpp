// The one-piece read of a member against the archive's streaming read it
// short-cuts: on a deflated and a stored member and on many damaged copies
// of them (flipped bits in the data, a changed checksum, sizes that lie),
// opening gives the same result, the same bytes and the same messages as the
// streaming read alone, kept here as it was.
#include <gtest/gtest.h>

#include <unzip.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "pack/pack_file.h"
#include "platform/report/report.h"
#include "tests/support/box_capture.h"
#include "tests/support/pack_builder.h"

namespace {

struct Opened {
    int result = 1;
    bool open = false;
    std::vector<uint8_t> bytes;
    std::vector<std::string> messages;
};

// The member read through unzReadCurrentFile alone, in 0xFFFF chunks, with
// the messages and results of that read.
Opened StreamingOpen(const char* memberName, const char* archiveName)
{
    BoxCapture boxes;
    Opened opened;
    unzFile archive = unzOpen(archiveName);
    if (archive == nullptr || unzLocateFile(archive, memberName, 2) != UNZ_OK) {
        ShowError("LibUtils : file %s not found in the %s zipfile\n", memberName, archiveName);
        if (archive != nullptr) {
            unzClose(archive);
        }
        opened.messages = boxes.Texts();
        return opened;
    }
    unz_file_info info;
    char name[1024];
    int err = unzGetCurrentFileInfo(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0);
    if (err != UNZ_OK) {
        ShowError("LibUtils : Cannot get file infos for %s - %d ", memberName, err);
        unzClose(archive);
        opened.messages = boxes.Texts();
        return opened;
    }
    err = unzOpenCurrentFile(archive);
    if (err != UNZ_OK) {
        ShowError("LibUtils : Cannot open file : %s - %d in the archive %s", memberName, err, archiveName);
        unzClose(archive);
        opened.messages = boxes.Texts();
        return opened;
    }
    std::vector<uint8_t> data(info.uncompressed_size);
    size_t total = 0;
    bool failed = false;
    while (total < data.size()) {
        const size_t left = data.size() - total;
        const int n = unzReadCurrentFile(archive, data.data() + total, left < 0xFFFF ? static_cast<unsigned>(left) : 0xFFFF);
        if (n < 0) {
            ShowError("LibUtils : Cannot read file content : %s - %d", memberName, n);
            failed = true;
            break;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<size_t>(n);
    }
    if (total != data.size()) {
        ShowError("LibUtils : The Archive seems to be corrupted");
    }
    if (failed) {
        unzCloseCurrentFile(archive);
        unzClose(archive);
        opened.result = 0;
        opened.open = true;
        opened.messages = boxes.Texts();
        return opened;
    }
    data.resize(total);
    err = unzCloseCurrentFile(archive);
    if (err != UNZ_OK) {
        ShowError("LibUtils : Cannot close the file %s properly - %d", memberName, err);
    }
    err = unzClose(archive);
    if (err != UNZ_OK) {
        ShowError("LibUtils : Cannot close the file archive %s properly - %d", archiveName, err);
    }
    opened.result = 0;
    opened.open = true;
    opened.bytes = data;
    opened.messages = boxes.Texts();
    return opened;
}

Opened PackOpen(const char* memberName, const char* archiveName)
{
    BoxCapture boxes;
    Opened opened;
    CPackFile file;
    opened.result = file.Open(memberName, archiveName);
    if (file.block != nullptr) {
        opened.open = true;
        opened.bytes.assign(file.block->data, file.block->data + file.block->size);
    }
    opened.messages = boxes.Texts();
    return opened;
}

void ExpectSame(const Opened& expected, const Opened& actual, const std::string& what)
{
    EXPECT_EQ(expected.result, actual.result) << what;
    EXPECT_EQ(expected.open, actual.open) << what;
    EXPECT_TRUE(expected.bytes == actual.bytes) << what;
    EXPECT_EQ(expected.messages, actual.messages) << what;
}

// Scene-like bytes (runs of floats and small integers, some noise), or
// noise alone.
std::vector<uint8_t> MemberBytes(std::mt19937& rng, size_t size, bool noise)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; i += 4) {
        const float value = static_cast<float>(rng() % 64) * 0.25f;
        const uint32_t word = noise ? static_cast<uint32_t>(rng()) : 0;
        std::memcpy(&bytes[i], noise ? static_cast<const void*>(&word) : &value, std::min<size_t>(4, size - i));
        if (rng() % 5 == 0) {
            bytes[i] = static_cast<uint8_t>(rng());
        }
    }
    return bytes;
}

void PutWord(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t Word(const std::vector<uint8_t>& bytes, size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

} // namespace

class WholeMemberRead : public ::testing::TestWithParam<int> {};

TEST_P(WholeMemberRead, DamagedMembersOpenAsTheStreamingReadOpensThem)
{
    const int method = GetParam();
    TempDirectory dir;
    const std::string archive = dir.File("data.pac");
    std::mt19937 rng(2024);
    const std::vector<uint8_t> member = MemberBytes(rng, 150000, method == 0);
    if (method == 8) {
        ASSERT_TRUE(WritePack(archive, {PackMember{"Scene.KVF", member}}));
    } else { // the zip program deflates even noise: Python stores it
        const std::string source = dir.File("Scene.KVF");
        ASSERT_TRUE(WriteFileBytes(source, member));
        ASSERT_EQ(0, std::system(("python3 -c \"import sys, zipfile; zipfile.ZipFile(sys.argv[1], 'w')"
                                  ".write(sys.argv[2], 'Scene.KVF')\" '" + archive + "' '" + source + "'").c_str()));
    }
    std::vector<uint8_t> pristine;
    {
        std::ifstream in(archive, std::ios::binary);
        pristine.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The one member: its local header at 0, its central entry after the data.
    ASSERT_EQ(0x04034B50u, Word(pristine, 0));
    const size_t data = 30 + (pristine[26] | pristine[27] << 8) + (pristine[28] | pristine[29] << 8);
    size_t central = 0;
    while (central + 4 <= pristine.size() && Word(pristine, central) != 0x02014B50u) {
        ++central;
    }
    ASSERT_LT(central + 46, pristine.size());
    ASSERT_EQ(method, pristine[central + 10]);
    const uint32_t compressed = Word(pristine, central + 20);
    ASSERT_LE(data + compressed, central);

    const Opened clean = PackOpen("scene.kvf", archive.c_str());
    ExpectSame(StreamingOpen("scene.kvf", archive.c_str()), clean, "pristine");
    EXPECT_TRUE(clean.bytes == member);

    for (int trial = 0; trial < 400; ++trial) {
        std::vector<uint8_t> bytes = pristine;
        const int kind = trial % 8;
        if (kind < 5) { // bits flipped in the stored or deflated bytes
            for (int flips = 1 + trial % 3; flips > 0; --flips) {
                bytes[data + rng() % compressed] ^= static_cast<uint8_t>(1u << (rng() % 8));
            }
        } else if (kind == 5) { // another checksum, in both headers
            const uint32_t crc = Word(bytes, central + 16) ^ (1u << (rng() % 32));
            PutWord(bytes, 14, crc);
            PutWord(bytes, central + 16, crc);
        } else { // a stored size that lies, smaller or larger
            const uint32_t size = static_cast<uint32_t>(member.size()) + (kind == 6 ? -1 - rng() % 1000 : 1 + rng() % 1000);
            PutWord(bytes, 22, size);
            PutWord(bytes, central + 24, size);
        }
        ASSERT_TRUE(WriteFileBytes(archive, bytes));
        const std::string what = "trial " + std::to_string(trial);
        ExpectSame(StreamingOpen("scene.kvf", archive.c_str()), PackOpen("scene.kvf", archive.c_str()), what);
        if (HasFailure()) {
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(StoredAndDeflated, WholeMemberRead, ::testing::Values(0, 8));
