#include "pack/pack_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/box_capture.h"
#include "tests/support/memory_cap.h"
#include "tests/support/pack_builder.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a Python snippet with the archive path as sys.argv[1].
bool RunPython(const std::string& script, const std::string& archive)
{
    TempDirectory dir;
    const std::string scriptPath = dir.File("make.py");
    if (!WriteFileBytes(scriptPath, Bytes(script))) {
        return false;
    }
    return std::system(("python3 '" + scriptPath + "' '" + archive + "'").c_str()) == 0;
}

// A pack in a fresh directory with one member of `size` bytes 0, 1, 2, ...
class PackTest : public ::testing::Test {
protected:
    std::string Archive() const { return dir.File("data.pac"); }

    void WriteMember(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        ASSERT_TRUE(WritePack(Archive(), {PackMember{name, bytes}}));
    }

    static std::vector<uint8_t> Counting(size_t size)
    {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<uint8_t>(i * 7 + 3);
        }
        return bytes;
    }

    TempDirectory dir;
    BoxCapture boxes;
};

TEST_F(PackTest, MemberNamesAreFoundWithoutRegardToCase)
{
    WriteMember("Scene.KVF", Bytes("hello"));
    CPackFile file;
    ASSERT_EQ(0, file.Open("sCENE.kvf", Archive().c_str()));
    char buffer[8] = {};
    EXPECT_EQ(5, file.Read(buffer, 1, 8, &file));
    EXPECT_STREQ("hello", buffer);
    EXPECT_EQ(0, file.Close());
    EXPECT_EQ(nullptr, file.block);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(PackTest, LargeDeflatedMemberInflatesWhole)
{
    // Larger than one 64 KiB read chunk, compressible so zip deflates it.
    std::vector<uint8_t> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>((i / 1000) % 7);
    }
    WriteMember("big.bin", bytes);
    CPackFile file;
    ASSERT_EQ(0, file.Open("big.bin", Archive().c_str()));
    ASSERT_EQ(static_cast<int32_t>(bytes.size()), file.block->size);
    EXPECT_EQ(0, std::memcmp(bytes.data(), file.block->data, bytes.size()));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(PackTest, ZeroSizeMemberOpensAndReadsNothing)
{
    ASSERT_TRUE(WritePack(Archive(), {PackMember{"empty.txt", {}}, PackMember{"other.txt", Bytes("x")}}));
    CPackFile file;
    ASSERT_EQ(0, file.Open("empty.txt", Archive().c_str()));
    char c = 'q';
    EXPECT_EQ(0, file.Read(&c, 1, 1, &file));
    EXPECT_EQ('q', c);
    EXPECT_EQ(0, file.Tell(&file));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(PackTest, ReadCountsBytesAndStopsAtTheEnd)
{
    const std::vector<uint8_t> bytes = Counting(20);
    WriteMember("m.bin", bytes);
    CPackFile file;
    ASSERT_EQ(0, file.Open("m.bin", Archive().c_str()));

    uint8_t buffer[32] = {};
    EXPECT_EQ(12, file.Read(buffer, 4, 3, &file)); // bytes, not elements
    EXPECT_EQ(0, std::memcmp(buffer, bytes.data(), 12));
    EXPECT_EQ(12, file.Tell(&file));

    EXPECT_EQ(8, file.Read(buffer, 4, 3, &file)); // crosses the end
    EXPECT_EQ(0, std::memcmp(buffer, bytes.data() + 12, 8));
    EXPECT_EQ(20, file.Tell(&file));

    EXPECT_EQ(0, file.Read(buffer, 1, 1, &file)); // at the end
    EXPECT_EQ(20, file.Tell(&file));
}

TEST_F(PackTest, ReadRefusesSizesThatWouldOverflow)
{
    WriteMember("m.bin", Counting(16));
    CPackFile file;
    ASSERT_EQ(0, file.Open("m.bin", Archive().c_str()));
    uint8_t buffer[16];
    // 65536 * 65536 wraps to 0 in 32 bits; negative sizes make no sense.
    EXPECT_EQ(16, file.Read(buffer, 65536, 65536, &file));
    file.Seek(&file, 0, 0);
    EXPECT_EQ(0, file.Read(buffer, -4, 4, &file));
    EXPECT_EQ(0, file.Read(buffer, 4, -1, &file));
    EXPECT_EQ(0, file.Tell(&file));
}

TEST_F(PackTest, SeekKeepsThePositionWithinTheMember)
{
    WriteMember("m.bin", Counting(10));
    CPackFile file;
    ASSERT_EQ(0, file.Open("m.bin", Archive().c_str()));

    file.Seek(&file, 4, 0);
    EXPECT_EQ(4, file.Tell(&file));
    file.Seek(&file, 3, 1);
    EXPECT_EQ(7, file.Tell(&file));
    file.Seek(&file, 0, 2);
    EXPECT_EQ(10, file.Tell(&file));
    file.Seek(&file, -3, 2);
    EXPECT_EQ(7, file.Tell(&file));
    file.Seek(&file, 2, 3); // unknown origin: unchanged
    EXPECT_EQ(7, file.Tell(&file));
    file.Seek(&file, 1, 0x100); // only the low byte counts: origin 0
    EXPECT_EQ(1, file.Tell(&file));
    file.Seek(&file, 100, 0);
    EXPECT_EQ(10, file.Tell(&file));
    file.Seek(&file, -100, 1);
    EXPECT_EQ(0, file.Tell(&file));
    file.Seek(&file, 0x7FFFFFFF, 1);
    file.Seek(&file, 0x7FFFFFFF, 1);
    EXPECT_EQ(10, file.Tell(&file));
    file.Seek(&file, -0x7FFFFFFF - 1, 2);
    EXPECT_EQ(0, file.Tell(&file));
}

TEST_F(PackTest, ReadStringCutsLongStringsAndStaysInStep)
{
    std::string data = std::string(300, 'a') + '\0' + "next" + '\0' + "tail";
    data[0] = 'b';
    WriteMember("s.bin", Bytes(data));
    CPackFile file;
    ASSERT_EQ(0, file.Open("s.bin", Archive().c_str()));

    char buffer[256 + 16];
    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(256, ReadString(buffer, &file));
    EXPECT_EQ(255u, std::strlen(buffer));
    EXPECT_EQ('b', buffer[0]);
    EXPECT_EQ('Z', buffer[256]); // nothing written past the buffer

    EXPECT_EQ(5, ReadString(buffer, &file));
    EXPECT_STREQ("next", buffer);
    // The member ends before a terminator: the bytes so far, count plus one.
    EXPECT_EQ(5, ReadString(buffer, &file));
    EXPECT_STREQ("tail", buffer);
    EXPECT_EQ(1, ReadString(buffer, &file));
    EXPECT_STREQ("", buffer);
}

TEST_F(PackTest, MissingArchiveNameMemberOrArchive)
{
    WriteMember("m.bin", Counting(4));
    CPackFile file;
    EXPECT_EQ(1, file.Open("m.bin", nullptr));
    EXPECT_EQ(1, file.Open("absent.bin", Archive().c_str()));
    EXPECT_EQ(1, file.Open("m.bin", dir.File("nothing.pac").c_str()));
    EXPECT_EQ(nullptr, file.block);
    const std::vector<std::string> expected = {
        "LibUtils : Specify a name for the archive",
        "LibUtils : file absent.bin not found in the " + Archive() + " zipfile\n",
        "LibUtils : file m.bin not found in the " + dir.File("nothing.pac") + " zipfile\n",
    };
    EXPECT_EQ(expected, boxes.Texts());
}

TEST_F(PackTest, OverlongMemberNameIsRefused)
{
    WriteMember("m.bin", Counting(4));
    CPackFile file;
    const std::string longName(1024, 'n');
    EXPECT_EQ(1, file.Open(longName.c_str(), Archive().c_str()));
    ASSERT_EQ(1u, boxes.Texts().size());
    EXPECT_NE(std::string::npos, boxes.Texts()[0].find("LibUtils : file name too long (1024 characters)"));
}

TEST_F(PackTest, TruncatedArchiveReportsItsMemberAsNotFound)
{
    WriteMember("m.bin", Counting(1000));
    std::vector<uint8_t> bytes = ReadWholeFile(Archive());
    bytes.resize(bytes.size() / 2);
    ASSERT_TRUE(WriteFileBytes(Archive(), bytes));
    CPackFile file;
    EXPECT_EQ(1, file.Open("m.bin", Archive().c_str()));
    ASSERT_EQ(1u, boxes.Texts().size());
    EXPECT_EQ(0u, boxes.Texts()[0].find("LibUtils : file m.bin not found"));
}

// Archives from a writer other than the zip program, with corruptions that
// Python patches in at known header offsets.
TEST_F(PackTest, PythonZipfileArchivesReadStoredAndDeflated)
{
    ASSERT_TRUE(RunPython("import sys, zipfile\n"
                          "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                          "    z.writestr(zipfile.ZipInfo('Stored.bin'), b'stored bytes')\n"
                          "    z.writestr('Deflated.bin', b'abc' * 5000, compress_type=zipfile.ZIP_DEFLATED)\n",
                          Archive()));
    CPackFile stored;
    ASSERT_EQ(0, stored.Open("stored.BIN", Archive().c_str()));
    ASSERT_EQ(12, stored.block->size);
    EXPECT_EQ(0, std::memcmp("stored bytes", stored.block->data, 12));
    CPackFile deflated;
    ASSERT_EQ(0, deflated.Open("deflated.bin", Archive().c_str()));
    ASSERT_EQ(15000, deflated.block->size);
    EXPECT_EQ(0, std::memcmp("abcabc", deflated.block->data + 2997, 6));
    EXPECT_TRUE(boxes.Texts().empty());
}

const char* kPatchHelpers = "import sys, struct, zipfile\n"
                            "def patch(data, signature, offset, fmt, value):\n"
                            "    at = data.find(signature)\n"
                            "    struct.pack_into(fmt, data, at + offset, value)\n";

TEST_F(PackTest, MemberWithBadChecksumStillOpensAfterItsMessage)
{
    ASSERT_TRUE(RunPython(std::string(kPatchHelpers) +
                              "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                              "    z.writestr('m.bin', b'checksummed', compress_type=zipfile.ZIP_DEFLATED)\n"
                              "data = bytearray(open(sys.argv[1], 'rb').read())\n"
                              "patch(data, b'PK\\x03\\x04', 14, '<I', 0x12345678)\n"
                              "patch(data, b'PK\\x01\\x02', 16, '<I', 0x12345678)\n"
                              "open(sys.argv[1], 'wb').write(data)\n",
                          Archive()));
    CPackFile file;
    ASSERT_EQ(0, file.Open("m.bin", Archive().c_str()));
    ASSERT_EQ(11, file.block->size);
    EXPECT_EQ(0, std::memcmp("checksummed", file.block->data, 11));
    ASSERT_EQ(1u, boxes.Texts().size());
    EXPECT_EQ(0u, boxes.Texts()[0].find("LibUtils : Cannot close the file m.bin properly - "));
}

TEST_F(PackTest, CorruptDeflateStreamGivesAnEmptyStream)
{
    ASSERT_TRUE(RunPython(std::string(kPatchHelpers) +
                              "import random\n"
                              "random.seed(5)\n"
                              "payload = bytes(random.randrange(256) for _ in range(4000))\n"
                              "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                              "    z.writestr('m.bin', payload * 4, compress_type=zipfile.ZIP_DEFLATED)\n"
                              "data = bytearray(open(sys.argv[1], 'rb').read())\n"
                              "start = data.find(b'PK\\x03\\x04') + 30 + len('m.bin')\n"
                              "for i in range(start, start + 64):\n"
                              "    data[i] = 0xFF\n"
                              "open(sys.argv[1], 'wb').write(data)\n",
                          Archive()));
    CPackFile file;
    ASSERT_EQ(0, file.Open("m.bin", Archive().c_str()));
    EXPECT_EQ(0, file.block->size);
    EXPECT_EQ(nullptr, file.block->data);
    char c;
    EXPECT_EQ(0, file.Read(&c, 1, 1, &file));
    ASSERT_EQ(2u, boxes.Texts().size());
    EXPECT_EQ(0u, boxes.Texts()[0].find("LibUtils : Cannot read file content : m.bin - "));
    EXPECT_EQ("LibUtils : The Archive seems to be corrupted", boxes.Texts()[1]);
}

TEST_F(PackTest, StoredSizeLargerThanTheBytesKeepsWhatArrived)
{
    ASSERT_TRUE(RunPython(std::string(kPatchHelpers) +
                              "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                              "    z.writestr('m.bin', b'0123456789')\n"
                              "data = bytearray(open(sys.argv[1], 'rb').read())\n"
                              "patch(data, b'PK\\x03\\x04', 22, '<I', 40)\n"
                              "patch(data, b'PK\\x01\\x02', 24, '<I', 40)\n"
                              "open(sys.argv[1], 'wb').write(data)\n",
                          Archive()));
    CPackFile file;
    ASSERT_EQ(0, file.Open("m.bin", Archive().c_str()));
    // Only the ten bytes that exist are served, never uninitialised ones.
    EXPECT_EQ(10, file.block->size);
    ASSERT_FALSE(boxes.Texts().empty());
    EXPECT_EQ("LibUtils : The Archive seems to be corrupted", boxes.Texts()[0]);
}

TEST_F(PackTest, ImplausibleStoredSizeIsRefusedBeforeAllocating)
{
    ASSERT_TRUE(RunPython(std::string(kPatchHelpers) +
                              "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                              "    z.writestr('m.bin', b'x' * 100, compress_type=zipfile.ZIP_DEFLATED)\n"
                              "data = bytearray(open(sys.argv[1], 'rb').read())\n"
                              "patch(data, b'PK\\x03\\x04', 22, '<I', 0xF0000000)\n"
                              "patch(data, b'PK\\x01\\x02', 24, '<I', 0xF0000000)\n"
                              "open(sys.argv[1], 'wb').write(data)\n",
                          Archive()));
    CPackFile file;
    EXPECT_EQ(1, file.Open("m.bin", Archive().c_str()));
    EXPECT_EQ(nullptr, file.block);
    ASSERT_EQ(1u, boxes.Texts().size());
    EXPECT_EQ(0u, boxes.Texts()[0].find("LibUtils : file m.bin is too large (4026531840 bytes) in the "));
}

// A stored size the archive could hold (its 200 KB times the inflate limit)
// but that lies: the member costs memory by the bytes that arrive, not by the
// size it claims. Opened in a child with 128 MB of room, where allocating
// the claimed 200 MB would fail.
TEST_F(PackTest, LyingStoredSizeCostsOnlyTheBytesThatArrive)
{
    ASSERT_TRUE(RunPython(std::string(kPatchHelpers) +
                              "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                              "    z.writestr('m.bin', b'x' * 200000)\n"
                              "data = bytearray(open(sys.argv[1], 'rb').read())\n"
                              "patch(data, b'PK\\x03\\x04', 22, '<I', 200000000)\n"
                              "patch(data, b'PK\\x01\\x02', 24, '<I', 200000000)\n"
                              "open(sys.argv[1], 'wb').write(data)\n",
                          Archive()));
    const std::string archive = Archive();
    const int kept = RunWithMemoryCap(128ull << 20, [&archive] {
        CPackFile file;
        if (file.Open("m.bin", archive.c_str()) != 0) {
            return 1;
        }
        return file.Remaining() == 200000 ? 0 : 2;
    });
    EXPECT_EQ(0, kept);
}

} // namespace
