// The modifier block at the end of a mesh record and the gizmo modifier
// bodies (bend, stretch, twist, wave, ripple), written with the KVF writer.
#include <gtest/gtest.h>

#include "modifiers/modifier_bend.h"
#include "modifiers/modifier_skin.h"
#include "modifiers/modifier_stretch.h"
#include "modifiers/modifier_twist.h"
#include "modifiers/modifier_wave.h"
#include "scene/controller.h"
#include "scene/kvf_read.h"
#include "tests/scene/mesh_test_helpers.h"

namespace {

constexpr int32_t kSentinel = 0x5A5A5A5A;

struct BlockRead {
    int result;
    int consumed;
    bool sentinelFollows;
    std::unique_ptr<CMesh> mesh;
};

// Reads a block (followed by a sentinel) into an empty mesh named "M".
BlockRead ReadBlock(const kvf::ModifierBlock& block)
{
    kvf::ByteWriter out;
    kvf::WriteModifierBlock(out, block);
    const size_t size = out.Size();
    out.Int32(kSentinel);
    std::unique_ptr<CPackFile> file = MemoryStream(out.Data());
    BlockRead r;
    r.mesh = std::make_unique<CMesh>();
    r.mesh->name = CopyName("M");
    CScene scene;
    r.result = scene.ReadModifiers(file.get(), r.mesh.get());
    r.consumed = file->Tell(file.get());
    r.sentinelFollows = r.consumed == static_cast<int>(size) && ReadInt32(file.get()) == kSentinel;
    return r;
}

kvf::Modifier Entry(int32_t type)
{
    kvf::Modifier m;
    m.type = type;
    return m;
}

kvf::Controller TwoKeys(int32_t type)
{
    kvf::Controller c;
    c.type = type;
    kvf::Key a, b;
    a.time = 0;
    a.value[0] = 1.0f;
    b.time = 10;
    b.value[0] = 2.0f;
    c.keys = {a, b};
    return c;
}

TEST(ModifierBlock, CountAndPresentByteEndTheBlockEarly)
{
    kvf::ModifierBlock empty;
    BlockRead r = ReadBlock(empty);
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(4, r.consumed);

    kvf::ModifierBlock absent;
    absent.count = 3;
    absent.present = 0;
    r = ReadBlock(absent);
    EXPECT_EQ(5, r.consumed);
    EXPECT_TRUE(r.mesh->modifiers.Empty());

    kvf::ModifierBlock negative;
    negative.count = -2;
    r = ReadBlock(negative);
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(5, r.consumed);
    EXPECT_TRUE(r.mesh->modifiers.Empty());
}

TEST(ModifierBlock, EmptyAndUnknownCodesMakeNothing)
{
    kvf::ModifierBlock block;
    block.entries = {Entry(kvf::kEmptyEntry), Entry(kvf::kTwist)};
    BlockRead r = ReadBlock(block);
    ASSERT_EQ(0, r.result);
    EXPECT_TRUE(r.sentinelFollows);
    ASSERT_EQ(1, r.mesh->modifiers.Count());
    EXPECT_EQ(CModifier::kTwist, r.mesh->modifiers.First()->m_type);

    kvf::ModifierBlock empties;
    empties.entries = {Entry(4), Entry(4), Entry(4)};
    r = ReadBlock(empties);
    EXPECT_EQ(4 + 1 + 3 * 4, r.consumed);
    EXPECT_TRUE(r.mesh->modifiers.Empty());

    // An unknown code takes one entry; the next int32 is the next code.
    kvf::ModifierBlock unknown;
    unknown.entries = {Entry(99), Entry(kvf::kBend)};
    r = ReadBlock(unknown);
    EXPECT_TRUE(r.sentinelFollows);
    ASSERT_EQ(1, r.mesh->modifiers.Count());
    EXPECT_EQ(CModifier::kBend, r.mesh->modifiers.First()->m_type);
}

TEST(ModifierBlock, EveryBodyIsConsumedToTheByte)
{
    const int32_t types[] = {kvf::kBend, kvf::kStretch, kvf::kTwist, kvf::kWave, kvf::kRipple,
                             kvf::kSkinCountFirst, kvf::kSkinMatrixFirst};
    // Gizmo heads with every flag on, every flag off, and flags that are
    // neither 0 nor 1; parameters of every float controller type.
    const uint8_t flagSets[][3] = {{1, 1, 1}, {0, 0, 0}, {2, 1, 7}};
    const kvf::FloatParameter parameters[] = {
        kvf::ConstantParameter(3.5f), kvf::AnimatedParameter(TwoKeys(0)), kvf::AnimatedParameter(TwoKeys(1)),
        kvf::AnimatedParameter(TwoKeys(5)), // a type that makes no controller
    };
    for (int32_t type : types) {
        for (const auto& flags : flagSets) {
            for (const kvf::FloatParameter& parameter : parameters) {
                kvf::Modifier m = Entry(type);
                m.gizmo.hasOffset = flags[0];
                m.gizmo.hasScale = flags[1];
                m.gizmo.hasRotation = flags[2];
                m.gizmo.position.type = 2; // sampled
                m.gizmo.position.keys[0].time = 0.0f;
                m.parameters.assign(5, parameter);
                m.skin.bones = {{"Bone01", {}}, {"Bone02", {}}};
                kvf::ModifierBlock block;
                block.entries = {m, m};
                BlockRead r = ReadBlock(block);
                ASSERT_EQ(0, r.result) << "type " << type;
                EXPECT_TRUE(r.sentinelFollows) << "type " << type << " flags " << int(flags[0]);
                EXPECT_EQ(2, r.mesh->modifiers.Count());
            }
        }
    }
}

TEST(ModifierBlock, ModifiersKeepFileOrderAndTheirTypes)
{
    kvf::ModifierBlock block;
    block.entries = {Entry(kvf::kRipple), Entry(kvf::kBend), Entry(kvf::kSkinMatrixFirst), Entry(kvf::kWave),
                     Entry(kvf::kStretch)};
    BlockRead r = ReadBlock(block);
    ASSERT_EQ(0, r.result);
    std::vector<int32_t> types;
    for (CModifier* m : r.mesh->modifiers) {
        types.push_back(m->m_type);
    }
    // Both skin layouts are held as type 2.
    EXPECT_EQ((std::vector<int32_t>{16, 0, 2, 8, 1}), types);
}

TEST(ModifierBlock, GizmoHeadsAndParametersAreRead)
{
    kvf::Modifier bend = Entry(kvf::kBend);
    bend.axis = 1;
    bend.gizmo.matrix.m[9] = 5.0f; // translation x in file axes
    bend.gizmo.hasOffset = 0;
    bend.gizmo.hasScale = 2;
    bend.parameters = {kvf::ConstantParameter(90.0f), kvf::AnimatedParameter(TwoKeys(0))};
    kvf::Modifier twist = Entry(kvf::kTwist);
    twist.axis = 0;
    twist.parameters = {kvf::AnimatedParameter(TwoKeys(9)), kvf::ConstantParameter(50.0f)};
    kvf::ModifierBlock block;
    block.entries = {bend, twist};
    BlockRead r = ReadBlock(block);
    ASSERT_EQ(0, r.result);

    auto* b = static_cast<CModifierBend*>(r.mesh->modifiers.At(0));
    EXPECT_EQ(1, b->m_axis);
    EXPECT_EQ(-5.0f, b->m_modifierMatrix._41);
    EXPECT_NE(nullptr, b->m_positionController);
    EXPECT_EQ(nullptr, b->m_offsetController);
    EXPECT_EQ(nullptr, b->m_scaleController); // only the value 1 announces one
    EXPECT_NE(nullptr, b->m_rotationController);
    auto* angle = dynamic_cast<CControllerFloatTCB*>(b->m_angleController);
    ASSERT_NE(nullptr, angle);
    ASSERT_EQ(1, angle->keyCount);
    EXPECT_EQ(90.0f, angle->keys[0].value);
    auto* direction = dynamic_cast<CControllerFloatTCB*>(b->m_directionController);
    ASSERT_NE(nullptr, direction);
    EXPECT_EQ(2, direction->keyCount);
    // Nothing is evaluated while reading.
    EXPECT_EQ(0.0f, b->m_angle);
    EXPECT_EQ(1.0f, b->m_scale.x);

    auto* t = static_cast<CModifierTwist*>(r.mesh->modifiers.At(1));
    EXPECT_EQ(0, t->m_axis);
    EXPECT_EQ(nullptr, t->m_angleController); // type 9 makes none
    ASSERT_NE(nullptr, t->m_biasController);
    EXPECT_EQ(0, t->m_biasInUse);
}

TEST(ModifierBlock, WavesKeepTheirTypeAndFiveParameters)
{
    kvf::Modifier ripple = Entry(kvf::kRipple);
    for (int i = 0; i < 5; ++i) {
        ripple.parameters.push_back(kvf::ConstantParameter(static_cast<float>(i + 1)));
    }
    kvf::ModifierBlock block;
    block.entries = {ripple, Entry(kvf::kWave)};
    BlockRead r = ReadBlock(block);
    ASSERT_EQ(0, r.result);
    auto* w = static_cast<CModifierWave*>(r.mesh->modifiers.At(0));
    EXPECT_EQ(16, w->m_type);
    CControllerFloat* controllers[] = {w->m_amplitude1Controller, w->m_amplitude2Controller,
                                       w->m_waveLengthController, w->m_phaseController, w->m_decayController};
    for (int i = 0; i < 5; ++i) {
        auto* c = dynamic_cast<CControllerFloatTCB*>(controllers[i]);
        ASSERT_NE(nullptr, c);
        EXPECT_EQ(static_cast<float>(i + 1), c->keys[0].value);
    }
    EXPECT_EQ(8, r.mesh->modifiers.At(1)->m_type);
    // The point function is chosen by prepare; until then the linear wave.
    EXPECT_TRUE(w->m_pointFunction == &CModifierWave::LinearWave);
}

TEST(ModifierBlock, CorruptedBlocksAreRefused)
{
    BoxCapture boxes;
    kvf::ModifierBlock huge;
    huge.count = 1000;
    huge.entries = {Entry(kvf::kTwist)};
    BlockRead r = ReadBlock(huge);
    EXPECT_EQ(1, r.result);
    EXPECT_EQ((std::vector<std::string>{"LibKVF : Corrupted modifier record : M (bad modifier count)"}), boxes.Texts());

    // A controller inside a body whose key count cannot fit: the
    // controller's own message, and the half-read modifier is dropped.
    boxes.boxes.clear();
    kvf::Modifier bend = Entry(kvf::kBend);
    bend.parameters = {kvf::ConstantParameter(1.0f), kvf::AnimatedParameter(TwoKeys(0))};
    bend.parameters[1].controller.keyCount = 100000;
    kvf::ModifierBlock block;
    block.entries = {Entry(kvf::kTwist), bend};
    r = ReadBlock(block);
    EXPECT_EQ(1, r.result);
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("Zolt Engine Error", boxes.boxes[0].title);
    EXPECT_EQ(1, r.mesh->modifiers.Count());
}

} // namespace
