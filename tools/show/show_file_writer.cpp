#include "tools/show/show_file_writer.h"

#include <cmath>
#include <sstream>

#include "tools/show/byte_text.h"
#include "tools/show/show_time.h"

namespace show {

namespace {

const char* KindName(int32_t kind)
{
    switch (kind) {
    case kPlayer3DEffect: return "player3d";
    case kMarble1Effect: return "marble1";
    default: return "plain";
    }
}

// Clock times where they read back to the same bits and the window is one
// a show file accepts; the exact bits otherwise.
void WriteWindow(std::ostream& out, float start, float end)
{
    const std::string from = FormatClockTime(start);
    const std::string to = FormatClockTime(end);
    if (!from.empty() && !to.empty() && start <= end) {
        out << "start = \"" << from << "\"\nend = \"" << to << "\"\n";
    } else {
        out << "start = " << TomlBits(start) << "\nend = " << TomlBits(end) << "\n";
    }
}

void WriteCurves(std::ostream& out, const CurveBlock& block)
{
    out << "\n[curves]\n";
    if (block.presentByte != 1)
        out << "present = " << int(block.presentByte) << "\n";
    if (block.curves.empty() && block.emptyCount != 0)
        out << "count = " << block.emptyCount << "\n";
    for (const ScriptCurve& curve : block.curves) {
        out << "\n[[curves.curve]]\nname = " << TomlBytes(curve.name) << "\n";
        if (curve.number != 1000)
            out << "number = " << curve.number << "\n";
        if (!curve.list.empty()) {
            out << "list = [";
            for (size_t i = 0; i < curve.list.size(); ++i)
                out << (i ? ", " : "") << curve.list[i];
            out << "]\n";
        }
        for (const CurveKey& key : curve.keys) {
            out << "[[curves.curve.key]]\ntime = " << key.time << "\nvalue = " << TomlFloat(key.value) << "\n";
            const std::pair<const char*, float> parameters[] = {{"tension", key.tension},
                                                                {"continuity", key.continuity},
                                                                {"bias", key.bias},
                                                                {"ease_to", key.easeTo},
                                                                {"ease_from", key.easeFrom}};
            for (const auto& [name, value] : parameters) {
                if (value != 0.0f || std::signbit(value) || value != value)
                    out << name << " = " << TomlFloat(value) << "\n";
            }
            bool anyWorking = false;
            for (uint8_t b : key.working)
                anyWorking = anyWorking || b != 0;
            if (anyWorking)
                out << "working = \"" << BytesToHex(key.working.data(), key.working.size()) << "\"\n";
        }
    }
}

void WritePack(std::ostream& out, const PackListing& pack)
{
    if (pack.archive.empty() && pack.members.empty())
        return;
    out << "\n[pack]\n";
    if (!pack.archive.empty()) {
        out << "# The pack is kept as it is; `zolt-show unpack --extract` writes its members\n"
               "# into pack/ and lists them here instead. It holds "
            << pack.members.size() << (pack.members.size() == 1 ? " member:\n" : " members:\n");
        for (const ListedMember& member : pack.members)
            out << "#   " << TomlBytes(member.name) << "  " << member.size << " bytes\n";
        out << "archive = " << TomlBytes(pack.archive) << "\n";
        return;
    }
    out << "files = [\n";
    for (const ListedMember& member : pack.members) {
        const std::string base = member.extractedTo.substr(member.extractedTo.find_last_of('/') + 1);
        if (base == member.name)
            out << "  " << TomlBytes(member.extractedTo) << ",\n";
        else
            out << "  { file = " << TomlBytes(member.extractedTo) << ", name = " << TomlBytes(member.name) << " },\n";
    }
    out << "]\n";
}

} // namespace

std::string WriteShowFile(const ScriptModel& script, const PackListing& pack)
{
    std::ostringstream out;
    out << "# The show: zolt-show build turns this file into Marble.Spt and data.pac.\n"
           "# Times are seconds or \"m:ss.mmm\" of music (see docs/show-file.md).\n"
        << "music = " << TomlBytes(script.music) << "\n";
    for (const ScriptEffect& effect : script.effects) {
        out << "\n[[effect]]\nkind = \"" << KindName(effect.kind) << "\"\nname = " << TomlBytes(effect.name) << "\n";
        WriteWindow(out, effect.start, effect.end);
        if (effect.kind == kPlayer3DEffect)
            out << "scene = " << TomlBytes(effect.scene) << "\n";
    }
    if (script.curves)
        WriteCurves(out, *script.curves);
    if (!script.lastStringTerminated || !script.trailing.empty()) {
        out << "\n# Bytes beyond what the player reads, kept so that the script is rebuilt as it was.\n[script]\n";
        if (!script.lastStringTerminated)
            out << "final_zero_byte = false\n";
        if (!script.trailing.empty())
            out << "trailing = \"" << BytesToHex(script.trailing.data(), script.trailing.size()) << "\"\n";
    }
    WritePack(out, pack);
    return out.str();
}

} // namespace show
