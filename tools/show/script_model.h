// Everything a script file holds, field by field, as plain values: what
// unpack reads out of "Marble.Spt" and build writes back. Besides the fields
// the player reads it keeps what it skips (the stored bytes of the curve
// keys' working values, a curve count of zero or below, bytes after the last
// record, a last string the end of the file ends), so that a script goes
// through unpack and build byte for byte.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace show {

enum EffectKind : int32_t { kPlainEffect = 0, kPlayer3DEffect = 1, kMarble1Effect = 2 };

// One 80-byte key of a curve: its time, its five parameters in the order
// the key holds them, the 52 bytes the controller fills when it prepares
// itself, and its value.
struct CurveKey {
    int32_t time = 0;
    float easeTo = 0.0f;
    float easeFrom = 0.0f;
    float bias = 0.0f;
    float continuity = 0.0f;
    float tension = 0.0f;
    std::array<uint8_t, 52> working{};
    float value = 0.0f;
};

struct ScriptCurve {
    std::string name;
    int32_t number = 1000;
    std::vector<CurveKey> keys;
    std::vector<int32_t> list;
};

struct CurveBlock {
    uint8_t presentByte = 1; // any value but 0
    // The stored count when there are no curves (zero or below).
    int32_t emptyCount = 0;
    std::vector<ScriptCurve> curves;
};

struct ScriptEffect {
    int32_t kind = kPlainEffect;
    std::string name;
    float start = 0.0f; // ms of music
    float end = 0.0f;
    std::string scene; // Player3D only
};

struct ScriptModel {
    std::string music;
    std::optional<CurveBlock> curves;
    std::vector<ScriptEffect> effects;
    // False when the file ends with the last Player3D effect's scene name
    // without its zero byte.
    bool lastStringTerminated = true;
    std::vector<uint8_t> trailing; // after the last record; never read
};

} // namespace show
