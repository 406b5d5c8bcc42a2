// The show's timeline and its script "Marble.Spt". The Marble1 effect opens
// the show (its logo and captions follow the music from 0 to 55 s; its main
// scene runs 62 s at 25 frames a second, the second scene joining at frame
// 1490). Scene effects follow, each window overlapping the next by two
// seconds so that one fades into the other, with one short gap of dark blue
// before the lights, and a plain black effect the flight fades into at the
// end of the music (204 s).
#include "content/show.h"
#include "demo/script_writer.h"

namespace content {

std::vector<ShowEffect> ShowTimeline()
{
    return {
        {2, "Marble hall", 0.0f, 62000.0f, ""},
        {1, "Skin and bones", 60000.0f, 100000.0f, "Dancer.KVF"},
        {1, "Glass and chrome", 98000.0f, 136000.0f, "Glass.KVF"},
        {1, "Lights and lines", 137500.0f, 172000.0f, "Lights.KVF"},
        {1, "Flight", 170000.0f, 200000.0f, "Flight.KVF"},
        {0, "Thanks for watching", 198000.0f, 204000.0f, ""},
    };
}

std::vector<uint8_t> ShowScript(const std::string& musicFile)
{
    ScriptWriter writer;
    writer.WriteString(musicFile);
    writer.WriteByte(0); // no curve block
    const std::vector<ShowEffect> timeline = ShowTimeline();
    writer.WriteInt32(static_cast<int32_t>(timeline.size()));
    for (const ShowEffect& effect : timeline) {
        writer.WriteInt32(effect.kind);
        writer.WriteString(effect.name);
        writer.WriteFloat(effect.start);
        writer.WriteFloat(effect.end);
        if (effect.kind == 1) {
            writer.WriteString(effect.sceneFile);
        }
    }
    return writer.Bytes();
}

} // namespace content
