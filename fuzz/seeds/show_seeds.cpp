// Seeds of the zolt-show harnesses: scripts holding what only exact values
// give back (curve blocks with working bytes, a count below zero, a last
// string without its zero byte, bytes after the last record, NaN and
// reversed windows, names that are not UTF-8), the show files unpack writes
// for them, and a hand-written show file using every table and option.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "fuzz/seeds/seed_files.h"
#include "tools/show/script_codec.h"
#include "tools/show/show_file_writer.h"

namespace {

using show::ScriptModel;

constexpr const char* kFullShow = R"(music = "theme.ogg"

[[effect]]
kind = "marble1"
name = "Marble hall"
start = 0
end = "1:02"

[[effect]]
kind = "player3d"
name = "The ship"
start = "1:00.000"
end = { bits = 0x476A6000 }
scene = "Ship.KVF"

[[effect]]
kind = "plain"
name = { bytes = "546865e9" }
start = 98.5
end = 104

[curves]
present = 3

[[curves.curve]]
name = "fade"
number = 1000
list = [0, 25, -50]

[[curves.curve.key]]
time = 0
value = 0.0
tension = 0.5
continuity = -0.5
bias = { bits = 0x3F800000 }
ease_to = 1.0
ease_from = 0.25

[[curves.curve.key]]
time = 50
value = 1.0
working = "0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f202122232425262728292a2b2c2d2e2f30313233"

[pack]
archive = "data.pac"
models = [
  "models/ship.glb",
  { file = "models/hall.3ds", name = "Plan1_part1.KVF", fps = 25, scale = 0.1 },
  { file = "models/otter.fbx", name = "Plan1_partotter.KVF", fps = 25, bare = true },
]
textures = ["textures/logo_plate.jpg"]
files = [{ file = "scenes/ship.kvf", name = "Ship.KVF" }]

[pack.sky]
front = "sky/front.jpg"
back = "sky/back.jpg"
down = "sky/down.jpg"
up = "sky/up.jpg"
left = "sky/left.jpg"
right = "sky/right.jpg"

[pack.marble1]
logo = "overlays/logo.tga"
captions = ["overlays/c01.tga", "overlays/c02.tga"]

[script]
final_zero_byte = true
trailing = "00ff"
)";

float FromBits(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::vector<std::pair<std::string, ScriptModel>> Scripts()
{
    std::vector<std::pair<std::string, ScriptModel>> scripts;
    {
        ScriptModel curves;
        curves.music = "music.ogg";
        show::CurveBlock block;
        block.presentByte = 1;
        show::ScriptCurve curve;
        curve.name = "swing";
        curve.number = -7;
        for (int k = 0; k < 3; ++k) {
            show::CurveKey key;
            key.time = 10 * k;
            key.value = k == 2 ? FromBits(0x7FC00001) : 0.5f * static_cast<float>(k);
            key.tension = -0.25f;
            key.working[k] = static_cast<uint8_t>(0x80 + k);
            curve.keys.push_back(key);
        }
        curve.list = {1, -2, 3};
        block.curves.push_back(curve);
        curves.curves = block;
        curves.effects.push_back({show::kPlainEffect, "only", 0.0f, 1000.0f, ""});
        scripts.emplace_back("curves", curves);
    }
    {
        ScriptModel empty;
        empty.music = "music.ogg";
        show::CurveBlock block;
        block.presentByte = 200;
        block.emptyCount = -5;
        empty.curves = block;
        empty.effects.push_back({show::kMarble1Effect, "hall", 0.0f, 62000.0f, ""});
        scripts.emplace_back("negative_count", empty);
    }
    {
        ScriptModel odd;
        odd.music = "m\xfcsic.xm";
        odd.effects.push_back({show::kPlainEffect, "nan", std::numeric_limits<float>::quiet_NaN(), -1.0f, ""});
        odd.effects.push_back({show::kPlainEffect, "backwards", 5000.0f, 4000.0f, ""});
        odd.effects.push_back({show::kPlainEffect, "far", 3.0e38f, std::numeric_limits<float>::infinity(), ""});
        odd.effects.push_back({show::kPlayer3DEffect, "last", 0.0f, 1.5f, "Sc\xe8ne.KVF"});
        odd.lastStringTerminated = false;
        scripts.emplace_back("unterminated", odd);
    }
    {
        ScriptModel trailing;
        trailing.music = "";
        trailing.effects.push_back({show::kPlayer3DEffect, "", 0.0f, 0.0f, ""});
        trailing.trailing = {0, 1, 2, 0xff};
        scripts.emplace_back("trailing", trailing);
    }
    return scripts;
}

} // namespace

bool WriteShowScriptSeeds(const std::string& folder)
{
    bool ok = WriteScriptSeeds(folder);
    for (const auto& [name, script] : Scripts()) {
        ok = WriteSeed(folder, name + ".spt", show::EncodeScript(script)) && ok;
    }
    return ok;
}

bool WriteShowFileSeeds(const std::string& folder)
{
    bool ok = WriteSeed(folder, "full.toml", std::vector<uint8_t>(kFullShow, kFullShow + std::strlen(kFullShow)));
    for (const auto& [name, script] : Scripts()) {
        const std::string text = show::WriteShowFile(script, {});
        ok = WriteSeed(folder, name + ".toml", std::vector<uint8_t>(text.begin(), text.end())) && ok;
    }
    return ok;
}
