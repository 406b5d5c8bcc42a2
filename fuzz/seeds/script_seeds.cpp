// Script seeds from the script writer: with and without the curve block,
// overlapping plain effects (crossfades), and the kinds that are refused.
#include <string>

#include "demo/curve_set.h"
#include "demo/effect.h"
#include "demo/script_writer.h"
#include "fuzz/seeds/seed_files.h"

namespace {

void WriteCurve(ScriptWriter* out, const std::string& name, int keyCount, int listCount)
{
    out->WriteString(name);
    out->WriteInt32(1000);
    out->WriteInt32(keyCount);
    for (int k = 0; k < keyCount; ++k) {
        // The stored key: time, ease to, ease from, bias, continuity,
        // tension, working values the reader skips, and the value last.
        uint8_t key[kCurveKeyBytes] = {};
        ScriptWriter fields;
        fields.WriteInt32(10 * k);
        fields.WriteFloat(0.5f);
        fields.WriteFloat(0.25f);
        fields.WriteFloat(-0.5f);
        fields.WriteFloat(0.5f);
        fields.WriteFloat(0.125f * static_cast<float>(k));
        for (size_t i = 0; i < fields.Bytes().size(); ++i) {
            key[i] = fields.Bytes()[i];
        }
        ScriptWriter value;
        value.WriteFloat(static_cast<float>(k * k));
        for (size_t i = 0; i < 4; ++i) {
            key[kCurveKeyBytes - 4 + i] = value.Bytes()[i];
        }
        out->WriteBytes(key, sizeof key);
    }
    out->WriteInt32(listCount);
    for (int i = 0; i < listCount; ++i) {
        out->WriteInt32(i * 7);
    }
}

void WriteEffect(ScriptWriter* out, int32_t kind, const std::string& name, float start, float end)
{
    out->WriteInt32(kind);
    out->WriteString(name);
    out->WriteFloat(start);
    out->WriteFloat(end);
}

} // namespace

bool WriteScriptSeeds(const std::string& folder)
{
    bool ok = true;
    {
        ScriptWriter plain;
        plain.WriteString("music.ogg");
        plain.WriteByte(0);
        plain.WriteInt32(3);
        WriteEffect(&plain, kEffectKindPlain, "intro", 0.0f, 5000.0f);
        WriteEffect(&plain, kEffectKindPlain, "fade", 4000.0f, 9000.0f);
        WriteEffect(&plain, kEffectKindPlain, "end", 9000.0f, 8000.0f);
        ok = WriteSeed(folder, "plain.spt", plain.Bytes()) && ok;
    }
    {
        ScriptWriter curves;
        curves.WriteString("music.ogg");
        curves.WriteByte(1);
        curves.WriteInt32(3);
        WriteCurve(&curves, "one", 1, 0);
        WriteCurve(&curves, "three", 3, 2);
        WriteCurve(&curves, "none", 0, 1);
        curves.WriteInt32(1);
        WriteEffect(&curves, kEffectKindPlain, "only", 0.0f, 1000.0f);
        ok = WriteSeed(folder, "curves.spt", curves.Bytes()) && ok;
    }
    for (int32_t kind : {kEffectKindPlayer3D, kEffectKindMarble1}) {
        ScriptWriter scenes;
        scenes.WriteString("music.ogg");
        scenes.WriteByte(0);
        scenes.WriteInt32(1);
        WriteEffect(&scenes, kind, "scene", 0.0f, 1000.0f);
        scenes.WriteString("scene.kvf");
        ok = WriteSeed(folder, "kind" + std::to_string(kind) + ".spt", scenes.Bytes()) && ok;
    }
    return ok;
}
