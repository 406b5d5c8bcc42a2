#include "tools/inspect/controller_json.h"

#include "scene/controller.h"
#include "tools/inspect/engine_json.h"
#include "tools/inspect/json_writer.h"

namespace {

void QuaternionValue(JsonWriter& json, const char* key, const Quaternion& q)
{
    json.Key(key);
    const float values[4] = {q.x, q.y, q.z, q.w};
    json.FloatArray(values, 4);
}

template <typename Key>
void Params(JsonWriter& json, const Key& key)
{
    json.Key("time");
    json.Int(key.time);
    json.Key("tension");
    json.Float(key.tension);
    json.Key("continuity");
    json.Float(key.continuity);
    json.Key("bias");
    json.Float(key.bias);
    json.Key("easeFrom");
    json.Float(key.easeFrom);
    json.Key("easeTo");
    json.Float(key.easeTo);
}

void Begin(JsonWriter& json, const char* kind)
{
    json.BeginObject();
    json.Key("kind");
    json.String(kind);
    json.Key("keys");
    json.BeginArray();
}

void End(JsonWriter& json)
{
    json.EndArray();
    json.EndObject();
}

} // namespace

void WriteControllerJson(JsonWriter& json, const CControllerVector* controller)
{
    if (const auto* tcb = dynamic_cast<const CControllerVectorTCB*>(controller)) {
        Begin(json, "tcb");
        for (int32_t i = 0; i < tcb->keyCount; ++i) {
            json.BeginObject();
            Params(json, tcb->keys[i]);
            Vector(json, "value", tcb->keys[i].value);
            json.EndObject();
        }
        End(json);
    } else if (const auto* sampled = dynamic_cast<const CControllerVectorSampled*>(controller)) {
        Begin(json, "sampled");
        for (int32_t i = 0; i < sampled->keyCount; ++i) {
            json.BeginObject();
            json.Key("time");
            json.Float(sampled->keys[i].time);
            Vector(json, "value", sampled->keys[i].value);
            json.EndObject();
        }
        End(json);
    } else {
        json.Null();
    }
}

void WriteControllerJson(JsonWriter& json, const CControllerRotation* controller)
{
    if (const auto* tcb = dynamic_cast<const CControllerRotationTCB*>(controller)) {
        Begin(json, "tcb");
        for (int32_t i = 0; i < tcb->keyCount; ++i) {
            const RotationKeyTCB& key = tcb->keys[i];
            json.BeginObject();
            Params(json, key);
            Vector(json, "axis", key.axis);
            json.Key("angle");
            json.Float(key.angle);
            QuaternionValue(json, "value", key.absolute);
            json.EndObject();
        }
        End(json);
    } else if (const auto* sampled = dynamic_cast<const CControllerRotationSampled*>(controller)) {
        Begin(json, "sampled");
        for (int32_t i = 0; i < sampled->keyCount; ++i) {
            json.BeginObject();
            json.Key("time");
            json.Float(sampled->keys[i].time);
            QuaternionValue(json, "value", sampled->keys[i].value);
            json.EndObject();
        }
        End(json);
    } else if (const auto* angle = dynamic_cast<const CControllerRotationAngle*>(controller)) {
        json.BeginObject();
        json.Key("kind");
        json.String("angle");
        json.Key("track");
        WriteControllerJson(json, static_cast<const CControllerFloat*>(angle->value));
        json.EndObject();
    } else {
        json.Null();
    }
}

void WriteControllerJson(JsonWriter& json, const CControllerFloat* controller)
{
    if (const auto* tcb = dynamic_cast<const CControllerFloatTCB*>(controller)) {
        Begin(json, "tcb");
        for (int32_t i = 0; i < tcb->keyCount; ++i) {
            json.BeginObject();
            Params(json, tcb->keys[i]);
            json.Key("value");
            json.Float(tcb->keys[i].value);
            json.EndObject();
        }
        End(json);
    } else if (const auto* sampled = dynamic_cast<const CControllerFloatSampled*>(controller)) {
        Begin(json, "sampled");
        for (int32_t i = 0; i < sampled->keyCount; ++i) {
            json.BeginObject();
            json.Key("time");
            json.Float(sampled->keys[i].time);
            json.Key("value");
            json.Float(sampled->keys[i].value);
            json.EndObject();
        }
        End(json);
    } else {
        json.Null();
    }
}
