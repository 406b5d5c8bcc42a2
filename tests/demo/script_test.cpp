// Loading the show's script through the demo manager. No device is needed:
// plain effects load nothing, and the music file named here does not exist,
// so the stream reports it and loading goes on without it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "demo/curve_set.h"
#include "demo/demo_manager.h"
#include "demo/effect.h"
#include "demo/script_writer.h"
#include "scene/controller.h"
#include "tests/support/box_capture.h"

namespace {

const char* const kMissingMusic = "no_such_music.wav";

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zolt-script-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string Save(const ScriptWriter& writer, const char* name = "Marble.Spt")
    {
        std::string path = m_dir + "/" + name;
        EXPECT_EQ(writer.SaveToFile(path.c_str()), 0);
        return path;
    }
    std::string SaveBytes(const std::vector<uint8_t>& bytes)
    {
        ScriptWriter writer;
        writer.WriteBytes(bytes.data(), bytes.size());
        return Save(writer);
    }
    // Loads and returns the boxes shown, the manager's own music messages
    // left out.
    std::vector<std::string> Load(DemoManager* manager, const std::string& path, int expected)
    {
        BoxCapture capture;
        EXPECT_EQ(manager->LoadScript(path.c_str()), expected);
        std::vector<std::string> texts;
        for (const std::string& text : capture.Texts()) {
            if (text.rfind("LibSound", 0) != 0)
                texts.push_back(text);
        }
        return texts;
    }
    std::string SptMessage(const std::string& path) { return "LibDemo\t:\tError while loading Spt File : " + path; }

    std::string m_dir;
};

void WritePlainEffect(ScriptWriter* writer, const std::string& name, float start, float end)
{
    writer->WriteInt32(0);
    writer->WriteString(name);
    writer->WriteFloat(start);
    writer->WriteFloat(end);
}

// The 80-byte key of a curve: time, five parameters, value at offset 76.
void WriteCurveKey(ScriptWriter* writer, int32_t time, float value, float tension)
{
    writer->WriteInt32(time);
    writer->WriteFloat(0.0f); // ease to
    writer->WriteFloat(0.0f); // ease from
    writer->WriteFloat(0.0f); // bias
    writer->WriteFloat(0.0f); // continuity
    writer->WriteFloat(tension);
    for (int i = 0; i < 13; ++i)
        writer->WriteFloat(-99.0f); // tangents and working values: ignored
    writer->WriteFloat(value);
}

// Music, a curve block with one curve of two keys and a list of three, and
// two overlapping plain effects.
ScriptWriter FullScript()
{
    ScriptWriter writer;
    writer.WriteString(kMissingMusic);
    writer.WriteByte(1);
    writer.WriteInt32(1);
    writer.WriteString("fade");
    writer.WriteInt32(42);
    writer.WriteInt32(2);
    WriteCurveKey(&writer, 0, 0.0f, 0.0f);
    WriteCurveKey(&writer, 10, 10.0f, 0.0f);
    writer.WriteInt32(3);
    writer.WriteInt32(7);
    writer.WriteInt32(-8);
    writer.WriteInt32(9);
    writer.WriteInt32(2);
    WritePlainEffect(&writer, "first", 0.0f, 10000.0f);
    WritePlainEffect(&writer, "second", 8000.0f, 20000.0f);
    return writer;
}

TEST_F(ScriptTest, FullScriptLoadsMusicCurvesAndEffects)
{
    DemoManager manager(nullptr);
    EXPECT_TRUE(Load(&manager, Save(FullScript()), 0).empty());
    EXPECT_EQ(manager.GetMusicFileName(), kMissingMusic);

    ASSERT_NE(manager.GetCurveSet(), nullptr);
    ASSERT_EQ(manager.GetCurveSet()->GetCount(), 1);
    const Curve& curve = manager.GetCurveSet()->GetCurve(0);
    EXPECT_EQ(curve.name, "fade");
    EXPECT_EQ(curve.number, 42);
    EXPECT_EQ(curve.list, (std::vector<int32_t>{7, -8, 9}));
    ASSERT_EQ(curve.controller->keyCount, 2);
    EXPECT_EQ(curve.controller->keys[1].time, 10);
    EXPECT_EQ(curve.controller->keys[1].value, 10.0f);
    // Prepared on load: stored tangents are replaced by computed ones.
    EXPECT_FLOAT_EQ(curve.controller->keys[0].outTangent, 10.0f);
    EXPECT_FLOAT_EQ(curve.controller->Sample(5.0f), 5.0f);

    ASSERT_EQ(manager.GetEffectCount(), 2);
    EXPECT_EQ(manager.GetEffect(0)->GetName(), "first");
    EXPECT_EQ(manager.GetEffect(0)->GetKind(), 0);
    EXPECT_EQ(manager.GetEffect(1)->GetStart(), 8000.0f);
    EXPECT_EQ(manager.GetEffect(1)->GetEnd(), 20000.0f);
    ASSERT_EQ(manager.GetTransitions().size(), 1u);
    EXPECT_FLOAT_EQ(manager.GetTransitionAmount(0, 9000.0f), 0.5f);
}

TEST_F(ScriptTest, NoCurveBlockAndSingleEffect)
{
    ScriptWriter writer;
    writer.WriteString(kMissingMusic);
    writer.WriteByte(0);
    writer.WriteInt32(1);
    WritePlainEffect(&writer, "only", 100.0f, 200.0f);
    writer.WriteString("trailing bytes are not read");

    DemoManager manager(nullptr);
    EXPECT_TRUE(Load(&manager, Save(writer), 0).empty());
    EXPECT_EQ(manager.GetCurveSet(), nullptr);
    ASSERT_EQ(manager.GetEffectCount(), 1);
    EXPECT_EQ(manager.GetEffect(0)->GetName(), "only");
    EXPECT_TRUE(manager.GetTransitions().empty());
}

TEST_F(ScriptTest, ZeroEffectsLoad)
{
    ScriptWriter writer;
    writer.WriteString(kMissingMusic);
    writer.WriteByte(0);
    writer.WriteInt32(0);
    DemoManager manager(nullptr);
    EXPECT_TRUE(Load(&manager, Save(writer), 0).empty());
    EXPECT_EQ(manager.GetEffectCount(), 0);
    EXPECT_EQ(manager.SelectEffects(0.0f).active, -1);
}

TEST_F(ScriptTest, LongestStringsLoadAndLongerOnesAreRefused)
{
    const std::string name255(255, 'n');
    ScriptWriter writer;
    writer.WriteString(kMissingMusic);
    writer.WriteByte(0);
    writer.WriteInt32(1);
    WritePlainEffect(&writer, name255, 0.0f, 1.0f);
    DemoManager manager(nullptr);
    EXPECT_TRUE(Load(&manager, Save(writer), 0).empty());
    ASSERT_EQ(manager.GetEffectCount(), 1);
    EXPECT_EQ(manager.GetEffect(0)->GetName(), name255);

    ScriptWriter tooLong;
    tooLong.WriteString(kMissingMusic);
    tooLong.WriteByte(0);
    tooLong.WriteInt32(1);
    WritePlainEffect(&tooLong, std::string(256, 'n'), 0.0f, 1.0f);
    DemoManager other(nullptr);
    std::string path = Save(tooLong);
    EXPECT_EQ(Load(&other, path, 1), std::vector<std::string>{SptMessage(path)});
}

TEST_F(ScriptTest, UnknownKindIsRefused)
{
    ScriptWriter writer;
    writer.WriteString(kMissingMusic);
    writer.WriteByte(0);
    writer.WriteInt32(2);
    WritePlainEffect(&writer, "fine", 0.0f, 1.0f);
    writer.WriteInt32(7);
    writer.WriteString("strange");
    writer.WriteFloat(0.0f);
    writer.WriteFloat(1.0f);
    DemoManager manager(nullptr);
    EXPECT_EQ(Load(&manager, Save(writer), 1), std::vector<std::string>{"LibDemo : Unknown Effect"});
    // The effect read before the failure stays with the manager.
    EXPECT_EQ(manager.GetEffectCount(), 1);
}

TEST_F(ScriptTest, MissingScriptFile)
{
    DemoManager manager(nullptr);
    std::string path = m_dir + "/absent.Spt";
    EXPECT_EQ(Load(&manager, path, 1), std::vector<std::string>{SptMessage(path)});
    EXPECT_EQ(manager.GetStatus(), -1); // no music stream: the show is over
}

TEST_F(ScriptTest, EveryTruncationIsRefusedAsABadScript)
{
    const std::vector<uint8_t> full = FullScript().Bytes();
    // Each load past the music name starts the sound library, so lengths are
    // sampled there; the last bytes, where every field is short, are all tried.
    std::vector<size_t> lengths;
    for (size_t length = 0; length < full.size(); ++length) {
        if (length <= std::string(kMissingMusic).size() + 2 || length % 5 == 0 || length + 16 >= full.size())
            lengths.push_back(length);
    }
    for (size_t length : lengths) {
        DemoManager manager(nullptr);
        std::string path = SaveBytes(std::vector<uint8_t>(full.begin(), full.begin() + length));
        EXPECT_EQ(Load(&manager, path, 1), std::vector<std::string>{SptMessage(path)}) << "length " << length;
    }
}

// Replaces the int32 at a byte offset of the full script.
std::vector<uint8_t> Patched(size_t offset, int32_t value)
{
    std::vector<uint8_t> bytes = FullScript().Bytes();
    uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = uint8_t(bits >> (8 * i));
    return bytes;
}

TEST_F(ScriptTest, ImpossibleCountsAreRefusedAsABadScript)
{
    const size_t music = std::string(kMissingMusic).size() + 1;
    const size_t curveCount = music + 1;
    const size_t keyCount = curveCount + 4 + 5 + 4; // after "fade\0" and the number
    const size_t listCount = keyCount + 4 + 2 * 80;
    const size_t effectCount = listCount + 4 + 3 * 4;
    ASSERT_EQ(Patched(effectCount, 2), FullScript().Bytes()); // offsets are right

    const struct {
        size_t offset;
        int32_t value;
    } cases[] = {
        {curveCount, 0x7FFFFFFF}, {keyCount, -1},     {keyCount, 0x40000000},
        {listCount, -5},  {listCount, 0x7FFFFFFF},  {effectCount, -1}, {effectCount, 0x7FFFFFFF},
        {effectCount, 3},
    };
    for (const auto& c : cases) {
        DemoManager manager(nullptr);
        std::string path = SaveBytes(Patched(c.offset, c.value));
        EXPECT_EQ(Load(&manager, path, 1), std::vector<std::string>{SptMessage(path)})
            << "offset " << c.offset << " value " << c.value;
    }
}

TEST_F(ScriptTest, NegativeCurveCountMeansNoCurves)
{
    ScriptWriter writer;
    writer.WriteString(kMissingMusic);
    writer.WriteByte(1);
    writer.WriteInt32(-3);
    writer.WriteInt32(1);
    WritePlainEffect(&writer, "after", 0.0f, 1.0f);
    DemoManager manager(nullptr);
    EXPECT_TRUE(Load(&manager, Save(writer), 0).empty());
    ASSERT_NE(manager.GetCurveSet(), nullptr);
    EXPECT_EQ(manager.GetCurveSet()->GetCount(), 0);
    ASSERT_EQ(manager.GetEffectCount(), 1);
    EXPECT_EQ(manager.GetEffect(0)->GetName(), "after");
}

TEST_F(ScriptTest, BytesAfterTheRecordsAreNeverRead)
{
    // More than 64 MiB follow the records (a sparse file: nothing is written
    // to disk), and an effect count that the trailing bytes could hold.
    ScriptWriter writer;
    writer.WriteString(kMissingMusic);
    writer.WriteByte(0);
    writer.WriteInt32(1);
    WritePlainEffect(&writer, "only", 0.0f, 1.0f);
    const std::string path = Save(writer);
    ASSERT_EQ(truncate(path.c_str(), off_t(65) * 1024 * 1024 + 3), 0);
    DemoManager manager(nullptr);
    EXPECT_TRUE(Load(&manager, path, 0).empty());
    ASSERT_EQ(manager.GetEffectCount(), 1);
    EXPECT_EQ(manager.GetEffect(0)->GetName(), "only");
}

TEST_F(ScriptTest, ReloadReplacesEffectsAndCurves)
{
    DemoManager manager(nullptr);
    EXPECT_TRUE(Load(&manager, Save(FullScript()), 0).empty());
    ScriptWriter writer;
    writer.WriteString("other.wav");
    writer.WriteByte(0);
    writer.WriteInt32(1);
    WritePlainEffect(&writer, "again", 0.0f, 5.0f);
    EXPECT_TRUE(Load(&manager, Save(writer, "second.Spt"), 0).empty());
    EXPECT_EQ(manager.GetMusicFileName(), "other.wav");
    EXPECT_EQ(manager.GetCurveSet(), nullptr);
    ASSERT_EQ(manager.GetEffectCount(), 1);
    EXPECT_EQ(manager.GetEffect(0)->GetName(), "again");
    EXPECT_TRUE(manager.GetTransitions().empty());
}

} // namespace
