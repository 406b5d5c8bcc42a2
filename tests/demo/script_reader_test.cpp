#include "demo/script_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "demo/script_writer.h"

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

    // A string cut off by the end of the data is not a string.
    ScriptReader unterminated(bytes + 3, 2);
    std::string s;
    EXPECT_FALSE(unterminated.ReadString(&s));

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

} // namespace
