#include "demo/script_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "demo/script_writer.h"
#include "tests/support/pack_builder.h"

namespace {

ScriptReader ReaderOver(const ScriptWriter& writer)
{
    return ScriptReader(writer.Bytes().data(), writer.Bytes().size());
}

TEST(ScriptReader, DecodesLittleEndianFieldsWrittenByTheWriter)
{
    ScriptWriter writer;
    writer.WriteInt32(-2);
    writer.WriteFloat(1.5f);
    writer.WriteByte(0xAB);
    writer.WriteString("Marble");
    ASSERT_EQ(writer.Bytes().size(), 4u + 4u + 1u + 7u);
    EXPECT_EQ(writer.Bytes()[0], 0xFE); // least significant byte first
    EXPECT_EQ(writer.Bytes()[3], 0xFF);

    ScriptReader reader = ReaderOver(writer);
    int32_t i = 0;
    float f = 0.0f;
    uint8_t b = 0;
    std::string s;
    EXPECT_TRUE(reader.ReadInt32(&i));
    EXPECT_TRUE(reader.ReadFloat(&f));
    EXPECT_TRUE(reader.ReadByte(&b));
    EXPECT_TRUE(reader.ReadString(&s));
    EXPECT_EQ(i, -2);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(s, "Marble");
    EXPECT_EQ(reader.Remaining(), 0u);
    EXPECT_FALSE(reader.Failed());
}

TEST(ScriptReader, StringLengthLimit)
{
    ScriptWriter writer;
    writer.WriteString(std::string(255, 'a'));
    writer.WriteString("");
    ScriptReader reader = ReaderOver(writer);
    std::string s;
    ASSERT_TRUE(reader.ReadString(&s));
    EXPECT_EQ(s.size(), 255u);
    ASSERT_TRUE(reader.ReadString(&s));
    EXPECT_EQ(s, "");

    ScriptWriter tooLong;
    tooLong.WriteString(std::string(256, 'b'));
    ScriptReader longReader = ReaderOver(tooLong);
    EXPECT_FALSE(longReader.ReadString(&s));
    EXPECT_TRUE(longReader.Failed());
}

TEST(ScriptReader, ShortReadsFailAndStayFailed)
{
    const uint8_t bytes[] = {1, 2, 3, 'a', 'b'};
    ScriptReader reader(bytes, 3);
    int32_t i = 77;
    EXPECT_FALSE(reader.ReadInt32(&i));
    EXPECT_EQ(i, 77); // untouched
    EXPECT_TRUE(reader.Failed());
    uint8_t b = 0;
    EXPECT_FALSE(reader.ReadByte(&b)); // sticky, although a byte remains

    // The end of the data also ends a string, but a string needs at least
    // one byte, and the limit still holds.
    ScriptReader unterminated(bytes + 3, 2);
    std::string s;
    EXPECT_TRUE(unterminated.ReadString(&s));
    EXPECT_EQ(s, "ab");
    EXPECT_FALSE(unterminated.ReadString(&s));
    const std::string tooLong(256, 'c');
    ScriptReader unterminatedTooLong(reinterpret_cast<const uint8_t*>(tooLong.data()), tooLong.size());
    EXPECT_FALSE(unterminatedTooLong.ReadString(&s));
    ScriptReader longest(reinterpret_cast<const uint8_t*>(tooLong.data()), 255);
    EXPECT_TRUE(longest.ReadString(&s));
    EXPECT_EQ(s.size(), 255u);

    ScriptReader empty(nullptr, 10);
    EXPECT_EQ(empty.Remaining(), 0u);
    EXPECT_FALSE(empty.ReadByte(&b));
}

TEST(ScriptReader, CanHoldRefusesNegativeAndImpossibleCounts)
{
    const uint8_t bytes[80] = {};
    {
        ScriptReader reader(bytes, sizeof bytes);
        EXPECT_TRUE(reader.CanHold(1, 80));
        EXPECT_TRUE(reader.CanHold(0, 80));
        EXPECT_FALSE(reader.CanHold(2, 80));
        EXPECT_TRUE(reader.Failed());
    }
    {
        ScriptReader reader(bytes, sizeof bytes);
        EXPECT_FALSE(reader.CanHold(-1, 4));
    }
    {
        ScriptReader reader(bytes, sizeof bytes);
        EXPECT_FALSE(reader.CanHold(0x7FFFFFFF, 4));
    }
}

TEST(ScriptReader, StreamsAFileWithoutReadingItWhole)
{
    // An endless file: each read takes only what it needs.
    std::FILE* zeros = std::fopen("/dev/zero", "rb");
    ASSERT_NE(zeros, nullptr);
    ScriptReader reader(zeros);
    std::string s = "x";
    int32_t i = 1;
    std::vector<uint8_t> big(200000, 0xFF);
    EXPECT_TRUE(reader.ReadString(&s));
    EXPECT_EQ(s, "");
    EXPECT_TRUE(reader.ReadBytes(big.data(), big.size())); // more than one block
    EXPECT_EQ(big[199999], 0);
    EXPECT_TRUE(reader.ReadInt32(&i));
    EXPECT_EQ(i, 0);
    EXPECT_EQ(reader.Position(), 1u + 200000u + 4u);
    EXPECT_TRUE(reader.CanHold(0x7FFFFFFF, 80)); // no end in sight
    std::fclose(zeros);

    // A regular file's end is known: strings and counts behave as in memory.
    TempDirectory dir;
    ScriptWriter writer;
    writer.WriteInt32(7);
    writer.WriteBytes("tail", 4);
    ASSERT_EQ(writer.SaveToFile(dir.File("s").c_str()), 0);
    std::FILE* file = std::fopen(dir.File("s").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    ScriptReader fromFile(file);
    EXPECT_EQ(fromFile.Remaining(), 8u);
    EXPECT_TRUE(fromFile.ReadInt32(&i));
    EXPECT_EQ(i, 7);
    EXPECT_TRUE(fromFile.CanHold(1, 4));
    EXPECT_TRUE(fromFile.ReadString(&s)); // ended by the end of the file
    EXPECT_EQ(s, "tail");
    EXPECT_FALSE(fromFile.ReadString(&s));
    std::fclose(file);
}

} // namespace
