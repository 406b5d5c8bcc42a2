#include "scene/controller.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/scene/memory_stream.h"
#include "tests/support/box_capture.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace {

constexpr float kTolerance = 1e-5f;

kvf::Key VectorKey(float time, float x, float y, float z, kvf::TcbParams params = {})
{
    kvf::Key key;
    key.time = time;
    key.params = params;
    key.value[0] = x;
    key.value[1] = y;
    key.value[2] = z;
    return key;
}

kvf::Key RotationKey(float time, float ax, float ay, float az, float angle)
{
    kvf::Key key = VectorKey(time, ax, ay, az);
    key.value[3] = angle;
    return key;
}

kvf::Key FloatKey(float time, float value)
{
    kvf::Key key;
    key.time = time;
    key.value[0] = value;
    return key;
}

std::vector<uint8_t> Record(kvf::ControllerFamily family, int32_t type, std::vector<kvf::Key> keys)
{
    kvf::ByteWriter out;
    kvf::Controller controller;
    controller.type = type;
    controller.keys = std::move(keys);
    kvf::WriteController(out, family, controller);
    return out.Take();
}

// Reads with `read` and checks that exactly the record's bytes were used.
template <typename C, typename Read>
C* ReadWhole(const std::vector<uint8_t>& bytes, Read read)
{
    MemoryStream stream(bytes);
    C* controller = nullptr;
    EXPECT_EQ(0, read(&stream, &controller));
    EXPECT_EQ(static_cast<int>(bytes.size()), stream.Tell(&stream)) << "record not consumed to the byte";
    return controller;
}

CControllerVector* ReadPosition(const std::vector<uint8_t>& bytes)
{
    return ReadWhole<CControllerVector>(bytes, ReadPositionController);
}

CControllerRotation* ReadRotation(const std::vector<uint8_t>& bytes, uint8_t selector)
{
    return ReadWhole<CControllerRotation>(
        bytes, [selector](CPackFile* f, CControllerRotation** c) { return ReadRotationController(f, selector, c); });
}

D3DVECTOR SampleVector(const CControllerVector* c, float t)
{
    D3DVECTOR v;
    c->Sample(t, &v);
    return v;
}

Quaternion SampleRotation(const CControllerRotation* c, float t)
{
    Quaternion q;
    c->Sample(t, &q);
    return q;
}

void ExpectQuaternionNear(const Quaternion& e, const Quaternion& a, float tolerance = 1e-5f)
{
    EXPECT_NEAR(e.x, a.x, tolerance);
    EXPECT_NEAR(e.y, a.y, tolerance);
    EXPECT_NEAR(e.z, a.z, tolerance);
    EXPECT_NEAR(e.w, a.w, tolerance);
}

// ---- Vector controllers ----------------------------------------------------

TEST(VectorController, PositionKeysAreConvertedToEngineAxes)
{
    CControllerVector* c = ReadPosition(Record(kvf::ControllerFamily::Vector, 0, {VectorKey(0, 1, 2, 3)}));
    ASSERT_NE(nullptr, dynamic_cast<CControllerVectorTCB*>(c));
    const D3DVECTOR v = SampleVector(c, 7.0f);
    EXPECT_EQ(-1.0f, v.x);
    EXPECT_EQ(3.0f, v.y);
    EXPECT_EQ(-2.0f, v.z);
    delete c;
}

TEST(VectorController, ScaleKeysSwapAxesWithoutSigns)
{
    for (int type : {0, 1, 2}) {
        CControllerVector* c = ReadWhole<CControllerVector>(
            Record(kvf::ControllerFamily::Vector, type, {VectorKey(0, 1, 2, 3)}), ReadScaleController);
        const D3DVECTOR v = SampleVector(c, 0.0f);
        EXPECT_EQ(1.0f, v.x) << "type " << type;
        EXPECT_EQ(3.0f, v.y) << "type " << type;
        EXPECT_EQ(2.0f, v.z) << "type " << type;
        delete c;
    }
}

TEST(VectorController, TypeOneHasZeroParametersAndSkipsItsFiller)
{
    kvf::Key key = VectorKey(4, 1, 2, 3, kvf::TcbParams{0.5f, 0.5f, 0.5f, 0.5f, 0.5f});
    for (float& s : key.skipped) {
        s = 99.0f;
    }
    CControllerVector* c = ReadPosition(Record(kvf::ControllerFamily::Vector, 1, {key}));
    auto* tcb = dynamic_cast<CControllerVectorTCB*>(c);
    ASSERT_NE(nullptr, tcb);
    ASSERT_EQ(1, tcb->keyCount);
    EXPECT_EQ(4, tcb->keys[0].time);
    EXPECT_EQ(0.0f, tcb->keys[0].tension);
    EXPECT_EQ(0.0f, tcb->keys[0].easeFrom);
    EXPECT_EQ(-1.0f, tcb->keys[0].value.x);
    delete c;
}

TEST(VectorController, EndsOfTheKeyRange)
{
    CControllerVector* c = ReadPosition(Record(kvf::ControllerFamily::Vector, 0,
                                               {VectorKey(10, -1, 0, 0), VectorKey(20, -5, 0, 0)}));
    c->Prepare();
    EXPECT_EQ(1.0f, SampleVector(c, 3.0f).x);   // below the first key
    EXPECT_EQ(5.0f, SampleVector(c, 20.0f).x);  // exactly the last key
    EXPECT_EQ(5.0f, SampleVector(c, 500.0f).x); // above the last key
    delete c;
}

TEST(VectorController, TwoKeyTangentsAndMidpoint)
{
    // File x = -value gives engine x = value.
    CControllerVector* c = ReadPosition(Record(kvf::ControllerFamily::Vector, 0,
                                               {VectorKey(0, 0, 0, 0), VectorKey(10, -10, 0, 0)}));
    c->Prepare();
    auto* tcb = static_cast<CControllerVectorTCB*>(c);
    EXPECT_FLOAT_EQ(10.0f, tcb->keys[0].outTangent.x);
    EXPECT_FLOAT_EQ(10.0f, tcb->keys[1].inTangent.x);
    EXPECT_FLOAT_EQ(5.0f, SampleVector(c, 5.0f).x);
    EXPECT_FLOAT_EQ(2.5f, SampleVector(c, 2.5f).x);
    delete c;
}

TEST(VectorController, EaseFromOfTheFirstKeySlowsTheStart)
{
    EXPECT_FLOAT_EQ(0.25f, Ease(0.5f, 1.0f, 0.0f));
    EXPECT_FLOAT_EQ(0.5f, Ease(0.5f, 0.0f, 0.0f));
    // Ease parameters that sum above 1 are scaled down to sum to 1.
    EXPECT_FLOAT_EQ(Ease(0.3f, 0.5f, 0.5f), Ease(0.3f, 1.0f, 1.0f));

    kvf::TcbParams easeFrom;
    easeFrom.easeFrom = 1.0f;
    CControllerVector* c = ReadPosition(Record(kvf::ControllerFamily::Vector, 0,
                                               {VectorKey(0, 0, 0, 0, easeFrom), VectorKey(10, -10, 0, 0)}));
    c->Prepare();
    // Hermite with tangents equal to the chord is linear: the value is 10 * e.
    EXPECT_FLOAT_EQ(2.5f, SampleVector(c, 5.0f).x);
    delete c;
}

TEST(VectorController, InnerAndEndTangentsOfThreeKeys)
{
    CControllerVector* c = ReadPosition(Record(
        kvf::ControllerFamily::Vector, 0, {VectorKey(0, 0, 0, 0), VectorKey(10, -10, 0, 0), VectorKey(20, -30, 0, 0)}));
    c->Prepare();
    auto* tcb = static_cast<CControllerVectorTCB*>(c);
    EXPECT_FLOAT_EQ(7.5f, tcb->keys[0].outTangent.x);
    EXPECT_FLOAT_EQ(15.0f, tcb->keys[1].inTangent.x);
    EXPECT_FLOAT_EQ(15.0f, tcb->keys[1].outTangent.x);
    EXPECT_FLOAT_EQ(22.5f, tcb->keys[2].inTangent.x);
    EXPECT_FLOAT_EQ(10.0f, SampleVector(c, 10.0f).x);
    delete c;
}

TEST(VectorController, SampledTrackHoldsOneKeyPerFrame)
{
    CControllerVector* c = ReadPosition(Record(kvf::ControllerFamily::Vector, 2,
                                               {VectorKey(0, -1, 0, 0), VectorKey(1, -2, 0, 0), VectorKey(2, -3, 0, 0)}));
    ASSERT_NE(nullptr, dynamic_cast<CControllerVectorSampled*>(c));
    EXPECT_EQ(2.0f, SampleVector(c, 1.9f).x);
    EXPECT_EQ(3.0f, SampleVector(c, 2.5f).x);
    EXPECT_EQ(1.0f, SampleVector(c, -4.0f).x);
    EXPECT_EQ(1.0f, SampleVector(c, std::nanf("")).x);
    delete c;
}

TEST(VectorController, SampledTrackStartingLateStaysWithinItsKeys)
{
    // Keys for frames 5 to 7: frame 6 would be key number 6, past the end.
    CControllerVector* c = ReadPosition(Record(kvf::ControllerFamily::Vector, 2,
                                               {VectorKey(5, -1, 0, 0), VectorKey(6, -2, 0, 0), VectorKey(7, -3, 0, 0)}));
    EXPECT_EQ(3.0f, SampleVector(c, 6.0f).x);
    EXPECT_EQ(1.0f, SampleVector(c, 4.0f).x);
    delete c;
}

TEST(VectorController, NoKeysSampleZero)
{
    CControllerVector* c = ReadPosition(Record(kvf::ControllerFamily::Vector, 0, {}));
    c->Prepare();
    const D3DVECTOR v = SampleVector(c, 3.0f);
    EXPECT_EQ(0.0f, v.x);
    EXPECT_EQ(0.0f, v.y);
    EXPECT_EQ(0.0f, v.z);
    delete c;
}

// ---- Rotation controllers --------------------------------------------------

TEST(RotationController, AxisAngleKeysAccumulateRelativeTurns)
{
    // Two quarter turns about file z, which is the engine's y.
    CControllerRotation* c = ReadRotation(Record(kvf::ControllerFamily::RotationAxisAngle, 0,
                                                 {RotationKey(0, 0, 0, 1, kPi / 2), RotationKey(10, 0, 0, 1, kPi / 2)}),
                                          1);
    auto* tcb = dynamic_cast<CControllerRotationTCB*>(c);
    ASSERT_NE(nullptr, tcb);
    EXPECT_EQ(1.0f, tcb->keys[0].axis.y);
    ExpectQuaternionNear(fromAxisAngle(D3DVECTOR{0, 1, 0}, kPi / 2), tcb->keys[0].absolute);
    ExpectQuaternionNear(fromAxisAngle(D3DVECTOR{0, 1, 0}, kPi), tcb->keys[1].absolute);
    c->Prepare();
    ExpectQuaternionNear(tcb->keys[1].absolute, SampleRotation(c, 10.0f));
    // Halfway between a quarter and a half turn.
    ExpectQuaternionNear(fromAxisAngle(D3DVECTOR{0, 1, 0}, 3 * kPi / 4), SampleRotation(c, 5.0f), 1e-4f);
    delete c;
}

TEST(RotationController, TypeOneKeysCarryFixedParameters)
{
    CControllerRotation* c =
        ReadRotation(Record(kvf::ControllerFamily::RotationAxisAngle, 1, {RotationKey(3, 1, 0, 0, 0.5f)}), 1);
    auto* tcb = dynamic_cast<CControllerRotationTCB*>(c);
    ASSERT_NE(nullptr, tcb);
    EXPECT_EQ(3, tcb->keys[0].time);
    EXPECT_EQ(25.0f, tcb->keys[0].tension);
    EXPECT_EQ(25.0f, tcb->keys[0].continuity);
    EXPECT_EQ(25.0f, tcb->keys[0].bias);
    EXPECT_EQ(0.0f, tcb->keys[0].easeFrom);
    EXPECT_EQ(0.0f, tcb->keys[0].easeTo);
    ExpectQuaternionNear(fromAxisAngle(D3DVECTOR{-1, 0, 0}, 0.5f), tcb->keys[0].absolute);
    delete c;
}

TEST(RotationController, SpinCountsAreWholeTurnsTowardZero)
{
    CControllerRotation* c = ReadRotation(
        Record(kvf::ControllerFamily::RotationAxisAngle, 0,
               {RotationKey(0, 0, 0, 1, 0), RotationKey(10, 0, 0, 1, 5 * kPi), RotationKey(20, 0, 0, 1, -4.5f * kPi)}),
        1);
    c->Prepare();
    auto* tcb = static_cast<CControllerRotationTCB*>(c);
    EXPECT_EQ(2.0f, tcb->keys[0].spin);  // 5 pi: two and a half turns
    EXPECT_EQ(-4.0f, tcb->keys[1].spin); // -9.5 pi: toward zero, not -5
    delete c;
}

TEST(RotationController, SampledKeysAreAbsolute)
{
    CControllerRotation* c = ReadRotation(Record(kvf::ControllerFamily::RotationAxisAngle, 2,
                                                 {RotationKey(0, 0, 0, 1, 1.0f), RotationKey(1, 0, 0, 1, 1.0f)}),
                                          1);
    ASSERT_NE(nullptr, dynamic_cast<CControllerRotationSampled*>(c));
    ExpectQuaternionNear(fromAxisAngle(D3DVECTOR{0, 1, 0}, 1.0f), SampleRotation(c, 1.0f));
    delete c;
}

TEST(RotationController, AngleFamily)
{
    // Type 0: a float track read as (0, 1, 0, value).
    CControllerRotation* angle =
        ReadRotation(Record(kvf::ControllerFamily::RotationAngle, 0, {FloatKey(0, 0.75f)}), 0);
    ASSERT_NE(nullptr, dynamic_cast<CControllerRotationAngle*>(angle));
    angle->Prepare();
    ExpectQuaternionNear(Quaternion{0, 1, 0, 0.75f}, SampleRotation(angle, 12.0f), 0.0f);
    delete angle;

    // Type 1: single angles stored as (0, 0, 1, angle), no accumulation.
    CControllerRotation* single = ReadRotation(
        Record(kvf::ControllerFamily::RotationAngle, 1, {FloatKey(0, 0.5f), FloatKey(10, 0.5f)}), 2);
    auto* tcb = dynamic_cast<CControllerRotationTCB*>(single);
    ASSERT_NE(nullptr, tcb);
    ExpectQuaternionNear(Quaternion{0, 0, 1, 0.5f}, tcb->keys[1].absolute, 0.0f);
    EXPECT_EQ(1.0f, tcb->keys[1].axis.z);
    delete single;

    // Any other type: no controller, the record is the type alone.
    EXPECT_EQ(nullptr, ReadRotation(Record(kvf::ControllerFamily::RotationAngle, 5, {FloatKey(0, 1)}), 0));
}

// ---- Float controllers -----------------------------------------------------

TEST(FloatController, KeyFramedTypesAndNoController)
{
    CControllerFloat* tcb = ReadWhole<CControllerFloat>(
        Record(kvf::ControllerFamily::Float, 0, {FloatKey(0, 0), FloatKey(10, 10)}), ReadFloatController);
    tcb->Prepare();
    // No easing for floats: linear halfway with chord tangents.
    EXPECT_FLOAT_EQ(5.0f, tcb->Sample(5.0f));
    delete tcb;

    CControllerFloat* linear = ReadWhole<CControllerFloat>(
        Record(kvf::ControllerFamily::Float, 1, {FloatKey(2, 7)}), ReadFloatController);
    ASSERT_NE(nullptr, linear);
    EXPECT_EQ(7.0f, linear->Sample(0.0f));
    delete linear;

    EXPECT_EQ(nullptr, ReadWhole<CControllerFloat>(Record(kvf::ControllerFamily::Float, 3, {}), ReadFloatController));
}

TEST(FloatController, ConstantIsOneKeyAtTimeMinusOne)
{
    kvf::ByteWriter out;
    out.Float(4.5f);
    CControllerFloat* c = ReadWhole<CControllerFloat>(out.Take(), ReadConstantFloatController);
    auto* tcb = dynamic_cast<CControllerFloatTCB*>(c);
    ASSERT_NE(nullptr, tcb);
    ASSERT_EQ(1, tcb->keyCount);
    EXPECT_EQ(-1, tcb->keys[0].time);
    EXPECT_EQ(4.5f, c->Sample(100.0f));
    delete c;
}

// ---- Corrupted records -----------------------------------------------------

TEST(CorruptedController, KeyCountsThatCannotFitAreRefused)
{
    BoxCapture boxes;
    for (int32_t count : {-1, 2, 0x7FFFFFFF}) {
        kvf::ByteWriter out;
        kvf::Controller controller;
        controller.type = 0;
        controller.keys = {VectorKey(0, 1, 2, 3)};
        controller.keyCount = count;
        kvf::WriteController(out, kvf::ControllerFamily::Vector, controller);
        MemoryStream stream(out.Take());
        CControllerVector* c = reinterpret_cast<CControllerVector*>(0x1);
        EXPECT_EQ(1, ReadPositionController(&stream, &c)) << count;
        EXPECT_EQ(nullptr, c);
    }
    ASSERT_EQ(3u, boxes.Texts().size());
    EXPECT_EQ("LibKVF : Corrupted position controller record : -1 keys", boxes.Texts()[0]);
}

TEST(CorruptedController, EveryReaderChecksItsCount)
{
    BoxCapture boxes;
    kvf::ByteWriter out;
    out.Int32(0);
    out.Int32(1000);
    const std::vector<uint8_t> bytes = out.Take();
    {
        MemoryStream s(bytes);
        CControllerRotation* c = nullptr;
        EXPECT_EQ(1, ReadRotationController(&s, 1, &c));
    }
    {
        MemoryStream s(bytes);
        CControllerRotation* c = nullptr;
        EXPECT_EQ(1, ReadRotationController(&s, 0, &c));
    }
    {
        MemoryStream s(bytes);
        CControllerVector* c = nullptr;
        EXPECT_EQ(1, ReadScaleController(&s, &c));
    }
    {
        MemoryStream s(bytes);
        CControllerFloat* c = nullptr;
        EXPECT_EQ(1, ReadFloatController(&s, &c));
    }
    EXPECT_EQ(4u, boxes.Texts().size());
}

} // namespace
