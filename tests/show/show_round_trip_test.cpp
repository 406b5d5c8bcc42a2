// zolt-show unpack then build, on scripts written field by field: every
// effect kind, curve blocks with and without curves, a negative curve count,
// float bit patterns no decimal gives, non-UTF-8 names, a last string the
// end of the file ends and bytes after the last record all come back byte
// for byte. Scripts the player refuses are refused with its reason.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>

#include "demo/script_writer.h"
#include "tests/support/pack_builder.h"
#include "tests/support/wav_writer.h"
#include "tools/show/show_build.h"
#include "tools/show/show_unpack.h"

namespace {

float Bits(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void Effect(ScriptWriter* s, int32_t kind, const std::string& name, float start, float end, const char* scene = "")
{
    s->WriteInt32(kind);
    s->WriteString(name);
    s->WriteFloat(start);
    s->WriteFloat(end);
    if (kind == 1)
        s->WriteString(scene);
}

void Key(ScriptWriter* s, int32_t time, float value, uint8_t working)
{
    s->WriteInt32(time);
    // (The shortest decimal of the largest float lies above it.)
    for (float parameter : {0.5f, -0.0f, 1e-40f, Bits(0xFFC00001), Bits(0xFF7FFFFF)})
        s->WriteFloat(parameter);
    for (int i = 0; i < 52; ++i)
        s->WriteByte(static_cast<uint8_t>(working + i));
    s->WriteFloat(value);
}

std::vector<uint8_t> EveryKindScript()
{
    ScriptWriter s;
    s.WriteString("music.wav");
    s.WriteByte(0);
    s.WriteInt32(4);
    Effect(&s, 0, "\nPlain\r\n", 0.0f, 1000.0f); // a line break first is kept
    Effect(&s, 1, "Scene", Bits(0x7FC00123), -0.0f, "Dancer.KVF");
    Effect(&s, 2, "\xff\xfe caption\t\x01\x7f \"quoted\" \\", 5000.25f, 1e-45f);
    Effect(&s, 0, std::string(255, 'x'), 0.1f, 1e30f);
    return s.Bytes();
}

std::vector<uint8_t> CurvesScript()
{
    ScriptWriter s;
    s.WriteString("m\xe9lodie.wav");
    s.WriteByte(7);
    s.WriteInt32(2);
    s.WriteString("fade");
    s.WriteInt32(42);
    s.WriteInt32(2);
    Key(&s, 0, 1.0f, 1);
    Key(&s, -30, Bits(0x7F800001), 200);
    s.WriteInt32(3);
    for (int32_t entry : {1, -2, 2147483647})
        s.WriteInt32(entry);
    s.WriteString("");
    s.WriteInt32(1000);
    s.WriteInt32(0);
    s.WriteInt32(0);
    s.WriteInt32(1);
    Effect(&s, 1, "Last", 62000.0f, 1234.5678f, "dancer.kvf");
    // The end of the file ends the scene name.
    return std::vector<uint8_t>(s.Bytes().begin(), s.Bytes().end() - 1);
}

std::vector<uint8_t> NegativeCountScript()
{
    ScriptWriter s;
    s.WriteString("music.wav");
    s.WriteByte(1);
    s.WriteInt32(-7);
    s.WriteInt32(1);
    Effect(&s, 2, "Marble", 0.0f, 204000.0f);
    for (int b : {0, 255, int('a'), int('b')})
        s.WriteByte(static_cast<uint8_t>(b)); // never read
    return s.Bytes();
}

std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

// A folder with the music the scripts name and a pack with their scenes.
void MakeFolder(const TempDirectory& folder)
{
    const std::vector<uint8_t> wav = PcmWav(22050, 1, std::vector<int16_t>(2205, 0));
    ASSERT_TRUE(WriteFileBytes(folder.File("music.wav"), wav));
    ASSERT_TRUE(WriteFileBytes(folder.File("m\xe9lodie.wav"), wav));
    const std::vector<uint8_t> bytes = {1, 2, 3};
    ASSERT_TRUE(WritePack(folder.File("data.pac"), {{"Dancer.KVF", bytes},
                                                   {"Plan1_part1.KVF", bytes},
                                                   {"Plan1_partotter.KVF", bytes},
                                                   {"Kestrel.TGA", bytes}}));
}

TEST(ShowRoundTrip, UnpackThenBuildGivesTheSameScript)
{
    const struct {
        const char* what;
        std::vector<uint8_t> script;
        bool extract;
        bool marble1;
        bool scriptOnly; // in a folder with nothing but the script
    } cases[] = {
        {"every kind, no curve block, odd float bits and bytes", EveryKindScript(), true, true, false},
        {"curves, NaN values, working bytes, unterminated last string", CurvesScript(), false, false, false},
        {"negative curve count and trailing bytes", NegativeCountScript(), false, true, false},
        {"the script alone", EveryKindScript(), false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDirectory folder;
        if (!c.scriptOnly)
            MakeFolder(folder);
        ASSERT_TRUE(WriteFileBytes(folder.File("Marble.Spt"), c.script));
        std::ostringstream out, err;
        show::UnpackOptions options;
        options.extract = c.extract;
        ASSERT_EQ(show::RunUnpack(folder.Path(), options, out, err), 0) << err.str();
        ASSERT_EQ(std::rename(folder.File("Marble.Spt").c_str(), folder.File("original.spt").c_str()), 0);
        ASSERT_EQ(show::RunBuild(folder.Path(), out, err, c.scriptOnly), 0) << err.str();
        EXPECT_EQ(ReadAll(folder.File("Marble.Spt")), c.script);
        // Marble1's missing captions are warned of as the player reports them.
        const std::string warning = "warning: the pack holds no Marble03.TGA; the player will show "
                                    "\"LibDX\\t:\\tCannot open Texture : Marble03.TGA\"";
        EXPECT_EQ(err.str().find(warning) != std::string::npos, c.marble1) << err.str();
        EXPECT_EQ(Exists(folder.File("pack/Dancer.KVF")), c.extract);
        EXPECT_EQ(Exists(folder.File("data.pac")), !c.scriptOnly);
    }
}

TEST(ShowRoundTrip, ScriptsThePlayerRefusesAreRefusedWithItsReason)
{
    const auto script = [](auto write) {
        ScriptWriter s;
        s.WriteString("music.wav");
        write(&s);
        return s.Bytes();
    };
    const char* const kBadFile = "LibDemo\\t:\\tError while loading Spt File : Marble.Spt";
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* reason;
    } cases[] = {
        {"cut short", script([](ScriptWriter* s) { s->WriteByte(0); }), kBadFile},
        {"unknown kind", script([](ScriptWriter* s) { s->WriteByte(0); s->WriteInt32(1); Effect(s, 3, "x", 0, 1); }),
         "LibDemo : Unknown Effect"},
        {"negative effect count", script([](ScriptWriter* s) { s->WriteByte(0); s->WriteInt32(-1); }), kBadFile},
        {"negative key count", script([](ScriptWriter* s) {
             s->WriteByte(1);
             s->WriteInt32(1);
             s->WriteString("c");
             s->WriteInt32(0);
             s->WriteInt32(-1);
         }),
         kBadFile},
        {"name of 256 bytes",
         script([](ScriptWriter* s) { s->WriteByte(0); s->WriteInt32(1); Effect(s, 0, std::string(256, 'n'), 0, 1); }),
         kBadFile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDirectory folder;
        ASSERT_TRUE(WriteFileBytes(folder.File("Marble.Spt"), c.bytes));
        std::ostringstream out, err;
        EXPECT_EQ(show::RunUnpack(folder.Path(), {}, out, err), 1);
        EXPECT_NE(err.str().find(c.reason), std::string::npos) << err.str();
        EXPECT_FALSE(Exists(folder.File("show.toml")));
    }
}

} // namespace
