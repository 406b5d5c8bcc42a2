// Controller records: an int32 type, an int32 key count and the keys; a type
// that creates no controller is the record's only field.
#include <new>

#include "platform/report/report.h"
#include "scene/controller.h"
#include "scene/kvf_format.h"
#include "scene/kvf_read.h"

namespace {

// Key sizes in the file, by layout.
constexpr int kVectorTCBKeySize = 36;
constexpr int kVectorLinearKeySize = 40;
constexpr int kVectorSampledKeySize = 16;
constexpr int kRotationTCBKeySize = 40;
constexpr int kRotationLinearKeySize = 20;
constexpr int kRotationSampledKeySize = 20;
constexpr int kAngleTCBKeySize = 28;
constexpr int kAngleLinearKeySize = 16;
constexpr int kFloatTCBKeySize = 28;
constexpr int kFloatLinearKeySize = 16;

// Reads the key count and checks that keys of `keySize` bytes fit in the
// rest of the member.
int ReadKeyCount(CPackFile* file, const char* what, int keySize, int32_t* count)
{
    *count = ReadInt32(file);
    if (!CountFits(file, *count, keySize)) {
        ShowError("LibKVF : Corrupted %s controller record : %d keys", what, *count);
        return 1;
    }
    return 0;
}

void ReportNoMemory(const char* what)
{
    ShowError("LibKVF : Not enough memory for a %s controller", what);
}

// Allocates a controller of kind C with `count` keys, or reports.
template <typename C>
C* NewController(int32_t count, const char* what)
{
    C* controller = new (std::nothrow) C();
    if (controller == nullptr || controller->Allocate(count) != 0) {
        delete controller;
        ReportNoMemory(what);
        return nullptr;
    }
    return controller;
}

// Reads the key count of keys `keySize` bytes long and makes a controller of
// kind C with that many keys; null after reporting.
template <typename C>
C* ReadKeyedController(CPackFile* file, const char* what, int keySize)
{
    int32_t count = 0;
    if (ReadKeyCount(file, what, keySize, &count) != 0) {
        return nullptr;
    }
    return NewController<C>(count, what);
}

// Tension, continuity, bias, ease from, ease to: the order of the file.
template <typename Key>
void ReadParams(CPackFile* file, Key* key)
{
    key->tension = ReadFloat(file);
    key->continuity = ReadFloat(file);
    key->bias = ReadFloat(file);
    key->easeFrom = ReadFloat(file);
    key->easeTo = ReadFloat(file);
}

// The position and scale records differ only in the value's conversion and
// in what the linear layout skips before it.
int ReadVectorController(CPackFile* file, const char* what, D3DVECTOR (*readValue)(CPackFile*), int linearSkip,
                         CControllerVector** result)
{
    *result = nullptr;
    const int32_t type = ReadInt32(file);
    if (type == kvf::kControllerTcb || type == kvf::kControllerLinear) {
        const int keySize = type == kvf::kControllerTcb ? kVectorTCBKeySize : kVectorLinearKeySize;
        auto* controller = ReadKeyedController<CControllerVectorTCB>(file, what, keySize);
        if (controller == nullptr) {
            return 1;
        }
        for (int32_t i = 0; i < controller->keyCount; ++i) {
            VectorKeyTCB& key = controller->keys[i];
            key.time = ReadInt32(file);
            if (type == kvf::kControllerTcb) {
                ReadParams(file, &key);
            } else {
                SkipBytes(file, linearSkip);
            }
            key.value = readValue(file);
        }
        *result = controller;
        return 0;
    }
    auto* controller = ReadKeyedController<CControllerVectorSampled>(file, what, kVectorSampledKeySize);
    if (controller == nullptr) {
        return 1;
    }
    for (int32_t i = 0; i < controller->keyCount; ++i) {
        controller->keys[i].time = ReadFloat(file);
        controller->keys[i].value = readValue(file);
    }
    *result = controller;
    return 0;
}

// Axis-angle family: each key of the TCB layouts is relative to the one
// before it; the sampled layout holds absolute rotations.
int ReadAxisAngleRotation(CPackFile* file, CControllerRotation** result)
{
    const char* what = "rotation";
    const int32_t type = ReadInt32(file);
    if (type == kvf::kControllerTcb || type == kvf::kControllerLinear) {
        const int keySize = type == kvf::kControllerTcb ? kRotationTCBKeySize : kRotationLinearKeySize;
        auto* controller = ReadKeyedController<CControllerRotationTCB>(file, what, keySize);
        if (controller == nullptr) {
            return 1;
        }
        for (int32_t i = 0; i < controller->keyCount; ++i) {
            RotationKeyTCB& key = controller->keys[i];
            key.time = ReadInt32(file);
            if (type == kvf::kControllerTcb) {
                ReadParams(file, &key);
            } else {
                key.tension = 25.0f;
                key.continuity = 25.0f;
                key.bias = 25.0f;
                key.easeFrom = 0.0f;
                key.easeTo = 0.0f;
            }
            key.axis = ReadVector(file);
            key.angle = ReadFloat(file);
            const Quaternion relative = fromAxisAngle(key.axis, key.angle);
            key.absolute = i == 0 ? relative : multiply(relative, controller->keys[i - 1].absolute);
        }
        *result = controller;
        return 0;
    }
    auto* controller = ReadKeyedController<CControllerRotationSampled>(file, what, kRotationSampledKeySize);
    if (controller == nullptr) {
        return 1;
    }
    for (int32_t i = 0; i < controller->keyCount; ++i) {
        controller->keys[i].time = ReadFloat(file);
        const D3DVECTOR axis = ReadVector(file);
        const float angle = ReadFloat(file);
        controller->keys[i].value = fromAxisAngle(axis, angle);
    }
    *result = controller;
    return 0;
}

int ReadFloatKeys(CPackFile* file, int32_t type, const char* what, CControllerFloatTCB** result)
{
    *result = nullptr;
    const int keySize = type == kvf::kControllerTcb ? kFloatTCBKeySize : kFloatLinearKeySize;
    auto* controller = ReadKeyedController<CControllerFloatTCB>(file, what, keySize);
    if (controller == nullptr) {
        return 1;
    }
    for (int32_t i = 0; i < controller->keyCount; ++i) {
        FloatKeyTCB& key = controller->keys[i];
        key.time = ReadInt32(file);
        if (type == kvf::kControllerTcb) {
            ReadParams(file, &key);
        } else {
            SkipBytes(file, 8);
        }
        key.value = ReadFloat(file);
    }
    *result = controller;
    return 0;
}

// Angle family: a float track (type 0) or single angles about z (type 1).
int ReadAngleRotation(CPackFile* file, CControllerRotation** result)
{
    const char* what = "rotation";
    const int32_t type = ReadInt32(file);
    if (type == kvf::kControllerTcb) {
        CControllerFloatTCB* track = nullptr;
        if (ReadFloatKeys(file, kvf::kControllerTcb, what, &track) != 0) {
            return 1;
        }
        CControllerRotationAngle* controller = new (std::nothrow) CControllerRotationAngle();
        if (controller == nullptr) {
            delete track;
            ReportNoMemory(what);
            return 1;
        }
        controller->value = track;
        *result = controller;
        return 0;
    }
    if (type != kvf::kControllerLinear) {
        return 0; // no controller: the record is the type alone
    }
    auto* controller = ReadKeyedController<CControllerRotationTCB>(file, what, kAngleLinearKeySize);
    if (controller == nullptr) {
        return 1;
    }
    for (int32_t i = 0; i < controller->keyCount; ++i) {
        RotationKeyTCB& key = controller->keys[i];
        key.time = ReadInt32(file);
        SkipBytes(file, 8);
        key.angle = ReadFloat(file);
        key.axis = D3DVECTOR{0.0f, 0.0f, 1.0f};
        key.absolute = Quaternion{0.0f, 0.0f, 1.0f, key.angle};
    }
    *result = controller;
    return 0;
}

} // namespace

int ReadPositionController(CPackFile* file, CControllerVector** controller)
{
    // The linear layout carries two vectors before the value.
    return ReadVectorController(file, "position", ReadVector, 24, controller);
}

int ReadScaleController(CPackFile* file, CControllerVector** controller)
{
    // The linear layout carries six floats before the value.
    return ReadVectorController(file, "scale", ReadScaleVector, 24, controller);
}

int ReadRotationController(CPackFile* file, uint8_t selector, CControllerRotation** controller)
{
    *controller = nullptr;
    return selector == kvf::kRotationAxisAngle ? ReadAxisAngleRotation(file, controller)
                                                : ReadAngleRotation(file, controller);
}

int ReadFloatController(CPackFile* file, CControllerFloat** controller)
{
    *controller = nullptr;
    const int32_t type = ReadInt32(file);
    if (type != kvf::kControllerTcb && type != kvf::kControllerLinear) {
        return 0; // no controller: the record is the type alone
    }
    CControllerFloatTCB* track = nullptr;
    if (ReadFloatKeys(file, type, "float", &track) != 0) {
        return 1;
    }
    *controller = track;
    return 0;
}

int ReadConstantFloatController(CPackFile* file, CControllerFloat** controller)
{
    *controller = nullptr;
    CControllerFloatTCB* track = NewController<CControllerFloatTCB>(1, "float");
    if (track == nullptr) {
        return 1;
    }
    track->keys[0].time = -1;
    track->keys[0].value = ReadFloat(file);
    *controller = track;
    return 0;
}
