#include "tools/show/script_codec.h"

#include <cstring>

#include "demo/curve_set.h"
#include "demo/script_reader.h"
#include "demo/script_writer.h"

namespace show {

namespace {

bool ReadKey(ScriptReader* file, CurveKey* key)
{
    uint8_t raw[kCurveKeyBytes];
    if (!file->ReadBytes(raw, sizeof raw))
        return false;
    ScriptReader fields(raw, sizeof raw);
    const bool ok = fields.ReadInt32(&key->time) && fields.ReadFloat(&key->easeTo) &&
                    fields.ReadFloat(&key->easeFrom) && fields.ReadFloat(&key->bias) &&
                    fields.ReadFloat(&key->continuity) && fields.ReadFloat(&key->tension) &&
                    fields.ReadBytes(key->working.data(), key->working.size()) && fields.ReadFloat(&key->value);
    return ok;
}

// The curve block after its presence byte, kept whole. The player's own
// reading of the block decides first whether it loads at all, so what is
// accepted here is exactly what the show accepts.
bool ReadCurveBlock(const std::vector<uint8_t>& bytes, ScriptReader* file, CurveBlock* block)
{
    const size_t start = file->Position();
    ScriptReader check(bytes.data() + start, bytes.size() - start);
    CurveSet set;
    if (set.Read(&check) != 0)
        return false;

    int32_t count = 0;
    if (!file->ReadInt32(&count))
        return false;
    if (count <= 0)
        block->emptyCount = count;
    for (int32_t i = 0; i < count; ++i) {
        ScriptCurve curve;
        int32_t keyCount = 0;
        if (!file->ReadString(&curve.name) || !file->ReadInt32(&curve.number) || !file->ReadInt32(&keyCount) ||
            !file->CanHold(keyCount, kCurveKeyBytes))
            return false;
        curve.keys.resize(static_cast<size_t>(keyCount));
        for (CurveKey& key : curve.keys) {
            if (!ReadKey(file, &key))
                return false;
        }
        int32_t listCount = 0;
        if (!file->ReadInt32(&listCount) || !file->CanHold(listCount, sizeof(int32_t)))
            return false;
        curve.list.resize(static_cast<size_t>(listCount));
        for (int32_t& entry : curve.list) {
            if (!file->ReadInt32(&entry))
                return false;
        }
        block->curves.push_back(std::move(curve));
    }
    return file->Position() == start + check.Position();
}

void WriteKey(ScriptWriter* out, const CurveKey& key)
{
    out->WriteInt32(key.time);
    out->WriteFloat(key.easeTo);
    out->WriteFloat(key.easeFrom);
    out->WriteFloat(key.bias);
    out->WriteFloat(key.continuity);
    out->WriteFloat(key.tension);
    out->WriteBytes(key.working.data(), key.working.size());
    out->WriteFloat(key.value);
}

} // namespace

std::string ScriptFileMessage(const std::string& scriptName)
{
    return "LibDemo\t:\tError while loading Spt File : " + scriptName;
}

bool DecodeScript(const std::vector<uint8_t>& bytes, const std::string& scriptName, ScriptModel* model,
                  std::string* reason)
{
    ScriptReader file(bytes.data(), bytes.size());
    ScriptModel read;
    uint8_t present = 0;
    bool ok = file.ReadString(&read.music) && file.ReadByte(&present);
    if (ok && present != 0) {
        CurveBlock block;
        block.presentByte = present;
        ok = ReadCurveBlock(bytes, &file, &block);
        read.curves = std::move(block);
    }
    int32_t count = 0;
    ok = ok && file.ReadInt32(&count) && file.CanHold(count, kMinEffectRecordBytes);
    for (int32_t i = 0; ok && i < count; ++i) {
        ScriptEffect effect;
        if (!file.ReadInt32(&effect.kind))
            break;
        if (effect.kind != kPlainEffect && effect.kind != kPlayer3DEffect && effect.kind != kMarble1Effect) {
            *reason = kUnknownEffectMessage;
            return false;
        }
        ok = file.ReadString(&effect.name) && file.ReadFloat(&effect.start) && file.ReadFloat(&effect.end);
        if (ok && effect.kind == kPlayer3DEffect) {
            const size_t before = file.Position();
            ok = file.ReadString(&effect.scene);
            read.lastStringTerminated = file.Position() - before == effect.scene.size() + 1;
        }
        read.effects.push_back(std::move(effect));
    }
    if (!ok || file.Failed()) {
        *reason = ScriptFileMessage(scriptName);
        return false;
    }
    read.trailing.assign(bytes.begin() + static_cast<std::ptrdiff_t>(file.Position()), bytes.end());
    *model = std::move(read);
    return true;
}

std::vector<uint8_t> EncodeScript(const ScriptModel& model)
{
    ScriptWriter out;
    out.WriteString(model.music);
    if (!model.curves) {
        out.WriteByte(0);
    } else {
        const CurveBlock& block = *model.curves;
        out.WriteByte(block.presentByte);
        out.WriteInt32(block.curves.empty() ? block.emptyCount : static_cast<int32_t>(block.curves.size()));
        for (const ScriptCurve& curve : block.curves) {
            out.WriteString(curve.name);
            out.WriteInt32(curve.number);
            out.WriteInt32(static_cast<int32_t>(curve.keys.size()));
            for (const CurveKey& key : curve.keys)
                WriteKey(&out, key);
            out.WriteInt32(static_cast<int32_t>(curve.list.size()));
            for (int32_t entry : curve.list)
                out.WriteInt32(entry);
        }
    }
    out.WriteInt32(static_cast<int32_t>(model.effects.size()));
    for (size_t i = 0; i < model.effects.size(); ++i) {
        const ScriptEffect& effect = model.effects[i];
        out.WriteInt32(effect.kind);
        out.WriteString(effect.name);
        out.WriteFloat(effect.start);
        out.WriteFloat(effect.end);
        if (effect.kind == kPlayer3DEffect) {
            const bool last = i + 1 == model.effects.size();
            if (last && !model.lastStringTerminated)
                out.WriteBytes(effect.scene.data(), effect.scene.size());
            else
                out.WriteString(effect.scene);
        }
    }
    out.WriteBytes(model.trailing.data(), model.trailing.size());
    return out.Bytes();
}

} // namespace show
