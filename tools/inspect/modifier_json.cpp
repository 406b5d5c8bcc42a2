#include "tools/inspect/modifier_json.h"

#include "modifiers/modifier_bend.h"
#include "modifiers/modifier_gizmo.h"
#include "modifiers/modifier_skin.h"
#include "modifiers/modifier_stretch.h"
#include "modifiers/modifier_twist.h"
#include "modifiers/modifier_wave.h"
#include "tools/inspect/controller_json.h"
#include "tools/inspect/engine_json.h"
#include "tools/inspect/json_writer.h"

namespace {

template <typename Controller>
void Track(JsonWriter& json, const char* key, const Controller* controller)
{
    json.Key(key);
    WriteControllerJson(json, controller);
}

void Gizmo(JsonWriter& json, const CModifierGizmo& gizmo)
{
    Matrix(json, "matrix", gizmo.m_modifierMatrix);
    Track(json, "position", gizmo.m_positionController);
    Track(json, "offset", gizmo.m_offsetController);
    Track(json, "scale", gizmo.m_scaleController);
    Track(json, "rotation", gizmo.m_rotationController);
}

void Skin(JsonWriter& json, const CModifierSkin& skin, bool influences)
{
    Matrix(json, "meshMatrix", skin.m_meshMatrix);
    json.Key("bones");
    json.BeginArray();
    for (const SkinBone& bone : skin.m_bones) {
        json.BeginObject();
        json.Key("name");
        json.String(bone.m_name.c_str());
        Matrix(json, "bind", bone.m_bindMatrix);
        json.EndObject();
    }
    json.EndArray();
    json.Key("vertexCount");
    json.Int(skin.m_nbVertex);
    if (!influences) {
        return;
    }
    json.Key("influences");
    json.BeginArray();
    for (const SkinVertex& vertex : skin.m_vertices) {
        json.BeginArray();
        for (int32_t i = 0; i < vertex.m_nbBone; ++i) {
            json.BeginArray();
            json.Int(i < static_cast<int32_t>(vertex.m_boneIndices.size()) ? vertex.m_boneIndices[i] : -1);
            json.Float(i < static_cast<int32_t>(vertex.m_weights.size()) ? vertex.m_weights[i] : 0.0f);
            json.EndArray();
        }
        json.EndArray();
    }
    json.EndArray();
}

} // namespace

void WriteModifierJson(JsonWriter& json, const CModifier& modifier, bool influences)
{
    json.BeginObject();
    json.Key("type");
    json.Int(modifier.m_type);
    if (const auto* bend = dynamic_cast<const CModifierBend*>(&modifier)) {
        Gizmo(json, *bend);
        json.Key("axis");
        json.Int(bend->m_axis);
        Track(json, "angle", bend->m_angleController);
        Track(json, "direction", bend->m_directionController);
    } else if (const auto* stretch = dynamic_cast<const CModifierStretch*>(&modifier)) {
        Gizmo(json, *stretch);
        json.Key("axis");
        json.Int(stretch->m_axis);
        Track(json, "stretch", stretch->m_stretchController);
        Track(json, "amplify", stretch->m_amplifyController);
    } else if (const auto* twist = dynamic_cast<const CModifierTwist*>(&modifier)) {
        Gizmo(json, *twist);
        json.Key("axis");
        json.Int(twist->m_axis);
        Track(json, "angle", twist->m_angleController);
        Track(json, "bias", twist->m_biasController);
    } else if (const auto* wave = dynamic_cast<const CModifierWave*>(&modifier)) {
        Gizmo(json, *wave);
        Track(json, "amplitude1", wave->m_amplitude1Controller);
        Track(json, "amplitude2", wave->m_amplitude2Controller);
        Track(json, "waveLength", wave->m_waveLengthController);
        Track(json, "phase", wave->m_phaseController);
        Track(json, "decay", wave->m_decayController);
    } else if (const auto* skin = dynamic_cast<const CModifierSkin*>(&modifier)) {
        Skin(json, *skin, influences);
    }
    json.EndObject();
}
