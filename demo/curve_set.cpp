#include "demo/curve_set.h"

#include <algorithm>
#include <cstring>

#include "demo/script_reader.h"
#include "scene/controller.h"

namespace {

// The smallest curve record: an empty name, number, key count, list count.
constexpr size_t kMinCurveRecordBytes = 1 + 4 + 4 + 4;

// One key as stored: the controller's 80-byte key. Only the time, the five
// parameters and the value matter; the tangents and working values between
// them are recomputed by Prepare.
bool ReadKey(ScriptReader* file, FloatKeyTCB* key)
{
    uint8_t raw[kCurveKeyBytes];
    if (!file->ReadBytes(raw, sizeof raw))
        return false;
    ScriptReader fields(raw, sizeof raw);
    std::memset(key, 0, sizeof *key);
    bool ok = fields.ReadInt32(&key->time) && fields.ReadFloat(&key->easeTo) && fields.ReadFloat(&key->easeFrom) &&
              fields.ReadFloat(&key->bias) && fields.ReadFloat(&key->continuity) && fields.ReadFloat(&key->tension);
    ScriptReader value(raw + 76, 4);
    return ok && value.ReadFloat(&key->value);
}

bool ReadCurve(ScriptReader* file, Curve* curve)
{
    int32_t keyCount = 0;
    if (!file->ReadString(&curve->name) || !file->ReadInt32(&curve->number) || !file->ReadInt32(&keyCount) ||
        !file->CanHold(keyCount, kCurveKeyBytes))
        return false;
    // The keys are gathered as they arrive and only then handed to the
    // controller, so a count that lies costs no more than the bytes present.
    std::vector<FloatKeyTCB> keys;
    for (int32_t k = 0; k < keyCount; ++k) {
        FloatKeyTCB key;
        if (!ReadKey(file, &key))
            return false;
        keys.push_back(key);
    }
    if (curve->controller->Allocate(keyCount) != 0)
        return false;
    std::copy(keys.begin(), keys.end(), curve->controller->keys);

    int32_t listCount = 0;
    if (!file->ReadInt32(&listCount) || !file->CanHold(listCount, sizeof(int32_t)))
        return false;
    curve->list.clear();
    for (int32_t i = 0; i < listCount; ++i) {
        int32_t entry = 0;
        if (!file->ReadInt32(&entry))
            return false;
        curve->list.push_back(entry);
    }
    curve->controller->Prepare();
    return true;
}

} // namespace

Curve::Curve() : controller(new CControllerFloatTCB()) {}

Curve::~Curve()
{
    delete controller;
}

int CurveSet::Read(ScriptReader* file)
{
    m_curves.clear();
    int32_t count = 0;
    if (!file->ReadInt32(&count))
        return 1;
    // A count of zero or below means no curves.
    if (count > 0 && !file->CanHold(count, kMinCurveRecordBytes))
        return 1;
    for (int32_t i = 0; i < count; ++i) {
        std::unique_ptr<Curve> curve(new Curve());
        if (!ReadCurve(file, curve.get()))
            return 1;
        m_curves.push_back(std::move(curve));
    }
    return 0;
}
