// The scene-playing effect of kind 1 (and what it shares with kind 2): the
// loop against the music clock, the camera, the duration, its script record
// and the messages of a scene that cannot be used.
#include "demo/player3d_effect.h"

#include <cstdint>
#include <limits>

#include "demo/demo_manager.h"
#include "demo/marble1_effect.h"
#include "tests/demo/scene_effect_fixture.h"

namespace {

class Player3DTest : public SceneEffectTest {};

TEST_F(Player3DTest, LoopsOnTheFrameThatReachesTheEndFrameAndKeepsItsBaseWhenShownAgain)
{
    ASSERT_TRUE(WritePack("data.pac", {SceneMember("clock.KVF", ClockScene(100, 30))}));
    Player3DEffect effect(s_device->Layer());
    ScriptWriter record = Record("player", 30000.0f, 60000.0f);
    record.WriteString("clock.KVF");
    ASSERT_EQ(ReadRecord(&effect, record), 0);
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(effect.GetLoopBase(), 30000.0f);

    const struct {
        float time;
        float frame;
        float loopBase;
    } frames[] = {
        {30000.0f, 0.0f, 30000.0f},  // the window's start is frame 0
        {31000.0f, 30.0f, 30000.0f}, // one second later: frames per second
        {33333.0f, 99.99f, 30000.0f},
        {33334.0f, 0.0f, 33334.0f}, // reaches frame 100: back to 0 from now
        {34334.0f, 30.0f, 33334.0f},
        // Another effect was shown meanwhile: this one goes on from where
        // the music puts it, not from its start.
        {35000.0f, 49.98f, 33334.0f},
        {33000.0f, 0.0f, 33000.0f}, // a time before the base restarts too
    };
    for (const auto& frame : frames) {
        effect.Update(frame.time);
        EXPECT_FLOAT_EQ(effect.GetSceneTime(), frame.frame) << frame.time;
        EXPECT_EQ(effect.GetLoopBase(), frame.loopBase) << frame.time;
        EXPECT_NEAR(ClockTime(effect.GetScene()), frame.frame, 1e-3) << frame.time;
    }
    EXPECT_EQ(effect.GetCurrentTime(), 33000.0f);

    effect.Rewind();
    EXPECT_EQ(effect.GetLoopBase(), 30000.0f);
    EXPECT_EQ(effect.GetSceneTime(), 0.0f);
}

TEST_F(Player3DTest, CameraAndDuration)
{
    kvf::Scene tight = ClockScene(100, 30);
    tight.startFrame = 16777217; // a float would make this range 4 frames
    tight.endFrame = 16777219;
    kvf::Scene huge = ClockScene(100, 1000);
    huge.startFrame = -2000000000; // times 1000 overflows 32 bits
    huge.endFrame = 2000000000;
    kvf::Scene empty = ClockScene(0, 0); // no frames at no rate
    kvf::Scene still = ClockScene(5, 0); // frames at no rate
    ASSERT_TRUE(WritePack("data.pac", {SceneMember("clock.KVF", ClockScene(100, 30)),
                                       SceneMember("tight.KVF", tight), SceneMember("huge.KVF", huge),
                                       SceneMember("empty.KVF", empty), SceneMember("still.KVF", still)}));

    Player3DEffect effect(s_device->Layer());
    D3DVECTOR eye = {9, 9, 9};
    D3DVECTOR target = {9, 9, 9};
    effect.GetCamera(&eye, &target);
    EXPECT_EQ(eye.x, 0.0f); // no scene: the origin
    EXPECT_EQ(target.z, 0.0f);
    EXPECT_EQ(effect.GetDuration(), -1.0f);
    Effect plain(nullptr);
    EXPECT_EQ(plain.GetDuration(), 5000.0f);

    ASSERT_EQ(effect.Init("clock.KVF"), 0);
    effect.GetCamera(&eye, &target);
    EXPECT_FLOAT_EQ(eye.x, 1.0f);
    EXPECT_FLOAT_EQ(eye.y, 2.0f);
    EXPECT_FLOAT_EQ(eye.z, 3.0f);
    EXPECT_FLOAT_EQ(target.x, 4.0f);
    EXPECT_FLOAT_EQ(target.y, 5.0f);
    EXPECT_FLOAT_EQ(target.z, 6.0f);
    EXPECT_EQ(effect.GetDuration(), 100000.0f / 30.0f);

    ASSERT_EQ(effect.Init("tight.KVF"), 0);
    EXPECT_EQ(effect.GetDuration(), 2000.0f / 30.0f);
    ASSERT_EQ(effect.Init("huge.KVF"), 0);
    EXPECT_EQ(effect.GetDuration(), static_cast<float>(int64_t(4000000000) * 1000) / 1000.0f);
    ASSERT_EQ(effect.Init("empty.KVF"), 0);
    EXPECT_EQ(effect.GetDuration(), 0.0f);
    ASSERT_EQ(effect.Init("still.KVF"), 0);
    EXPECT_EQ(effect.GetDuration(), std::numeric_limits<float>::infinity());
    EXPECT_TRUE(Texts().empty());
}

TEST_F(Player3DTest, RecordsRoundTripAndTheLastStringMayEndWithTheFile)
{
    ASSERT_TRUE(WritePack("data.pac", {SceneMember("clock.KVF", ClockScene(100, 30))}));
    ScriptWriter record = Record("player", 1.5f, 2.5f);
    record.WriteString("clock.KVF");

    Player3DEffect player(s_device->Layer());
    ASSERT_EQ(ReadRecord(&player, record), 0);
    EXPECT_EQ(player.GetKind(), kEffectKindPlayer3D);
    EXPECT_EQ(player.GetName(), "player");
    EXPECT_EQ(player.GetStart(), 1.5f);
    EXPECT_EQ(player.GetEnd(), 2.5f);
    ScriptWriter written;
    EXPECT_EQ(player.Write(&written), 0);
    EXPECT_EQ(written.Bytes(), record.Bytes());

    // The scene file name without its terminator, at the end of the script.
    std::vector<uint8_t> cut = record.Bytes();
    cut.pop_back();
    Player3DEffect atEnd(s_device->Layer());
    ScriptReader reader(cut.data(), cut.size());
    ASSERT_EQ(atEnd.Read(&reader), 0);
    EXPECT_EQ(atEnd.GetSceneFileName(), "clock.KVF");
    EXPECT_NE(atEnd.GetScene(), nullptr);

    // A plain record, and a record cut before its window, read nothing more.
    Effect plain(nullptr);
    ScriptWriter plainRecord = Record("plain", 3.0f, 4.0f);
    ASSERT_EQ(ReadRecord(&plain, plainRecord), 0);
    ScriptWriter plainWritten;
    plain.Write(&plainWritten);
    EXPECT_EQ(plainWritten.Bytes(), plainRecord.Bytes());
    Player3DEffect short3D(s_device->Layer());
    ScriptReader shortReader(record.Bytes().data(), 9);
    EXPECT_EQ(short3D.Read(&shortReader), 1);
    EXPECT_TRUE(shortReader.Failed());
    EXPECT_TRUE(Texts().empty());
}

// Loads a script of a plain effect and then `record` (kind and all) through
// the manager; returns the messages shown.
class SceneFailureTest : public Player3DTest {
protected:
    std::vector<std::string> LoadScript(const ScriptWriter& record)
    {
        ScriptWriter script;
        script.WriteString("absent.wav");
        script.WriteByte(0);
        script.WriteInt32(2);
        script.WriteInt32(kEffectKindPlain);
        script.WriteBytes(Record("before", 0.0f, 1.0f).Bytes().data(), Record("before", 0.0f, 1.0f).Bytes().size());
        script.WriteBytes(record.Bytes().data(), record.Bytes().size());
        EXPECT_EQ(script.SaveToFile("Marble.Spt"), 0);
        boxes.boxes.clear();
        DemoManager manager(s_device->Layer());
        EXPECT_EQ(manager.LoadScript("Marble.Spt"), 1);
        EXPECT_EQ(manager.GetEffectCount(), 2); // both stay until the manager goes
        return Texts();
    }

    static ScriptWriter Player3DRecord(const std::string& sceneFile)
    {
        ScriptWriter record;
        record.WriteInt32(kEffectKindPlayer3D);
        record.WriteString("p3");
        record.WriteFloat(0.0f);
        record.WriteFloat(1.0f);
        record.WriteString(sceneFile);
        return record;
    }
};

// A mesh skinned by a bone the scene lacks: it loads but cannot be prepared.
kvf::Scene UnpreparableScene()
{
    kvf::Scene scene = ClockScene(100, 30);
    kvf::Mesh skinned = std::get<kvf::Mesh>(scene.objects[2]);
    kvf::Modifier skin;
    skin.type = kvf::kSkinCountFirst;
    skin.skin.bones = {kvf::SkinBone{"nowhere", kvf::Matrix43{}}};
    kvf::SkinVertex vertex;
    vertex.influences = {kvf::SkinInfluence{0, 1.0f}};
    skin.skin.vertices.assign(3, vertex);
    skinned.modifiers.entries = {skin};
    scene.objects[2] = skinned;
    return scene;
}

TEST_F(SceneFailureTest, AScenePlayer3DCannotUseIsReportedInOrder)
{
    ASSERT_TRUE(WritePack("data.pac", {PackMember{"corrupt.KVF", {'K', 'V', 'X', 1, 0, 0, 0}},
                                       SceneMember("unprepared.KVF", UnpreparableScene())}));
    EXPECT_EQ(LoadScript(Player3DRecord("absent.KVF")),
              (std::vector<std::string>{"LibUtils : file absent.KVF not found in the data.pac zipfile\n",
                                        "Error while loading: absent.KVF",
                                        "LibDemo\t:\tCannot load the Player3D Effect : absent.KVF",
                                        "LibDemo\t:\tError while loading p3 effect"}));
    EXPECT_EQ(LoadScript(Player3DRecord("corrupt.KVF")),
              (std::vector<std::string>{"Bad file : not a KVF",
                                        "LibDemo\t:\tCannot load the Player3D Effect : corrupt.KVF",
                                        "LibDemo\t:\tError while loading p3 effect"}));
    EXPECT_EQ(LoadScript(Player3DRecord("unprepared.KVF")),
              (std::vector<std::string>{"LibKVF : Cannot find the bone : nowhere",
                                        "LibDemo\t:\tCannot initialize the Player3D Effect : unprepared.KVF",
                                        "LibDemo\t:\tError while loading p3 effect"}));
}

TEST_F(SceneFailureTest, AScenesMarble1CannotUseIsReportedInOrder)
{
    ScriptWriter record;
    record.WriteInt32(kEffectKindMarble1);
    record.WriteString("m1");
    record.WriteFloat(0.0f);
    record.WriteFloat(1.0f);

    ASSERT_TRUE(WritePack("data.pac", {SceneMember("Plan1_partotter.KVF", ClockScene(100, 30))}));
    EXPECT_EQ(LoadScript(record),
              (std::vector<std::string>{"LibUtils : file Plan1_part1.KVF not found in the data.pac zipfile\n",
                                        "Error while loading: Plan1_part1.KVF",
                                        "LibDemo\t:\tCannot load the Marble1 Effect : Plan1_part1.KVF",
                                        "LibDemo\t:\tError while loading m1 effect"}));

    ASSERT_TRUE(WritePack("data.pac", {SceneMember("Plan1_part1.KVF", UnpreparableScene())}));
    EXPECT_EQ(LoadScript(record),
              (std::vector<std::string>{"LibKVF : Cannot find the bone : nowhere",
                                        "LibDemo\t:\tCannot initialize the Marble1 Effect : Plan1_part1.KVF",
                                        "LibDemo\t:\tError while loading m1 effect"}));

    ASSERT_TRUE(WritePack("data.pac", {SceneMember("Plan1_part1.KVF", ClockScene(100, 30)),
                                       PackMember{"Plan1_partotter.KVF", {'K', 'V', 'F', 2, 0, 0, 0}}}));
    EXPECT_EQ(LoadScript(record),
              (std::vector<std::string>{"Bad file : not the good version",
                                        "LibDemo\t:\tCannot load the Marble1 Effect : Plan1_partotter.KVF",
                                        "LibDemo\t:\tError while loading m1 effect"}));

    ASSERT_TRUE(WritePack("data.pac", {SceneMember("Plan1_part1.KVF", ClockScene(100, 30)),
                                       SceneMember("Plan1_partotter.KVF", UnpreparableScene())}));
    EXPECT_EQ(LoadScript(record),
              (std::vector<std::string>{"LibKVF : Cannot find the bone : nowhere",
                                        "LibDemo\t:\tCannot initialize the Marble1 Effect : Plan1_partotter.KVF",
                                        "LibDemo\t:\tError while loading m1 effect"}));
}

} // namespace
