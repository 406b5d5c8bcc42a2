// The sound library's stream calls over Web Audio. The page fetches and
// decodes the show's music before the engine starts (Module.zoltMusic: the
// file name the script gives, and the decoded AudioBuffer, or null when it
// could not be had) and makes the audio context (Module.zoltAudio, null
// where the browser has no Web Audio). One stream at a time; its play
// position is the audio context's clock at the moment the sound leaves the
// speakers, so that picture and sound stay in step.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstring>

#include "sound/fsound.h"

struct FSOUND_STREAM {
    int serial;
};

namespace {

constexpr float kVersion = 3.74f;

bool g_open = false;
FSOUND_STREAM g_stream{0};
bool g_streamOpen = false;
int g_nextSerial = 1;

bool Valid(FSOUND_STREAM* stream)
{
    return g_open && g_streamOpen && stream == &g_stream;
}

} // namespace

EM_JS(int, WebAudioAvailable, (), { return Module["zoltAudio"] ? 1 : 0; });

// The music's length in milliseconds when the page holds the decoded music
// of this name, -1 otherwise.
EM_JS(double, WebAudioMusicLength, (const char* name), {
    const music = Module["zoltMusic"];
    if (!music || !music.buffer || music.name.toLowerCase() !== UTF8ToString(name).toLowerCase()) {
        return -1;
    }
    return music.buffer.duration * 1000;
});

EM_JS(double, WebAudioLoadedLength, (), {
    const music = Module["zoltMusic"];
    return music && music.buffer ? music.buffer.duration * 1000 : 0;
});

EM_JS(void, WebAudioPlay, (int paused), {
    const audio = Module["zoltAudio"];
    const music = Module["zoltMusic"];
    if (!audio || !music || !music.buffer) {
        return;
    }
    if (music.source) {
        music.source.stop();
        music.source.disconnect();
    }
    const source = audio.createBufferSource();
    source.buffer = music.buffer;
    source.connect(audio.destination);
    music.source = source;
    music.startTime = audio.currentTime;
    music.lastMs = 0;
    music.paused = paused !== 0;
    if (!music.paused) {
        source.start(music.startTime);
    }
});

EM_JS(void, WebAudioStop, (), {
    const music = Module["zoltMusic"];
    if (music && music.source) {
        music.source.stop();
        music.source.disconnect();
        music.source = null;
    }
});

// The position of what is heard now: the context time of the last sample
// that reached the output, moved on by the wall time since then.
EM_JS(double, WebAudioPositionMs, (), {
    const audio = Module["zoltAudio"];
    const music = Module["zoltMusic"];
    if (!audio || !music || !music.source || music.paused) {
        return 0;
    }
    let now = audio.currentTime;
    if (audio.getOutputTimestamp) {
        const stamp = audio.getOutputTimestamp();
        if (stamp.contextTime > 0) {
            now = stamp.contextTime + Math.max(0, performance.now() - stamp.performanceTime) / 1000;
            now = Math.min(now, audio.currentTime);
        }
    }
    let ms = (now - music.startTime) * 1000;
    ms = Math.max(music.lastMs, Math.min(ms, music.buffer.duration * 1000));
    music.lastMs = ms;
    return ms;
});

float FSOUND_GetVersion()
{
    return kVersion;
}

signed char FSOUND_Init(int, int, unsigned int)
{
    if (!g_open) {
        g_open = WebAudioAvailable() != 0;
    }
    return g_open ? 1 : 0;
}

void FSOUND_Close()
{
    if (g_streamOpen) {
        WebAudioStop();
    }
    g_streamOpen = false;
    g_open = false;
}

FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* name, unsigned int mode, int)
{
    if (!g_open || name == nullptr || (mode & FSOUND_LOADMEMORY) != 0 || WebAudioMusicLength(name) < 0) {
        return nullptr;
    }
    if (g_streamOpen) {
        WebAudioStop();
    }
    g_stream.serial = g_nextSerial++;
    g_streamOpen = true;
    return &g_stream;
}

signed char FSOUND_Stream_SetPaused(FSOUND_STREAM* stream, signed char)
{
    return Valid(stream) ? 1 : 0;
}

int FSOUND_Stream_Play(int, FSOUND_STREAM* stream)
{
    if (!Valid(stream)) {
        return -1;
    }
    WebAudioPlay(0);
    return 0;
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* stream)
{
    return Valid(stream) ? static_cast<int>(WebAudioPositionMs()) : 0;
}

int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream)
{
    if (!Valid(stream)) {
        return 0;
    }
    return static_cast<int>(WebAudioLoadedLength());
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream)
{
    if (!Valid(stream)) {
        return 0;
    }
    WebAudioStop();
    g_streamOpen = false;
    return 1;
}

int FSOUND_Zolt_GetOutputInfo(FSoundOutputInfo* info)
{
    if (!g_open || info == nullptr) {
        return 0;
    }
    *info = FSoundOutputInfo{"webaudio", 44100, 128, 0.0};
    return 1;
}

int64_t FSOUND_Zolt_GetMixedFrames(FSOUND_STREAM* stream)
{
    return Valid(stream) ? static_cast<int64_t>(WebAudioPositionMs() * 44.1) : 0;
}

double FSOUND_Zolt_GetTimeMs(FSOUND_STREAM* stream)
{
    return Valid(stream) ? WebAudioPositionMs() : 0.0;
}

double FSOUND_Zolt_GetSteeringMs(FSOUND_STREAM*)
{
    return 0.0;
}
