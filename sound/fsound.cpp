#include "sound/fsound.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <string>

#include <sys/stat.h>
#include <vector>

#include "sound/show_clock.h"

struct FSOUND_STREAM {
    Mix_Music* music = nullptr;
    unsigned int mode = 0;
    int lengthMs = 0;
    bool paused = false;
    bool started = false;
    // Where playing starts, in ms of music: the clock counts from here.
    double originMs = 0.0;
    // Moved while paused: the music is halted and starts at the origin when
    // resumed.
    bool pendingStart = false;
    ShowClock clock;
};

namespace {

// 1,024-frame chunks: the dummy device's pace comes closest to real time with
// them, and the position steps are small.
constexpr int kChunkFrames = 1024;
constexpr float kVersion = 3.74f;

bool g_open = false;
bool g_subsystemStarted = false;
int g_rate = 0;
int g_bytesPerFrame = 0;
int g_chunkFrames = kChunkFrames;
double g_latencyMs = 0.0;
std::vector<FSOUND_STREAM*> g_streams;

// Shared with the audio thread. The stream the mixer plays is published here
// before its music starts and cleared (then the mixer is locked once, which
// waits for any callback still using it) before it is freed.
std::atomic<FSOUND_STREAM*> g_current{nullptr};
// Set when the music ends inside a mixing pass: that pass's buffer still
// carries the last samples and is counted.
std::atomic<bool> g_finished{false};

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool IsOpenStream(const FSOUND_STREAM* stream)
{
    return stream != nullptr && std::find(g_streams.begin(), g_streams.end(), stream) != g_streams.end();
}

void SDLCALL OnMusicFinished()
{
    g_finished.store(true, std::memory_order_release);
}

// Runs on SDL's audio thread after every mixing pass, with the mixer locked.
void SDLCALL CountMixedFrames(void* /*userData*/, Uint8* /*buffer*/, int length)
{
    const bool finished = g_finished.exchange(false, std::memory_order_acq_rel);
    FSOUND_STREAM* stream = g_current.load(std::memory_order_acquire);
    if (stream == nullptr || g_bytesPerFrame <= 0) {
        return;
    }
    const bool playing = Mix_PlayingMusic() != 0 && Mix_PausedMusic() == 0;
    if (!playing && !finished) {
        return;
    }
    double decoderFrames = -1.0;
    // A looping stream's decoder jumps back at every loop: nothing to steer by.
    if (playing && (stream->mode & FSOUND_LOOP_NORMAL) == 0) {
        const double seconds = Mix_GetMusicPosition(stream->music);
        if (seconds >= 0.0) {
            decoderFrames = seconds * g_rate;
        }
    }
    stream->clock.OnMixed(length / g_bytesPerFrame, NowNs(), decoderFrames);
}

// Stops whatever music plays and makes sure no callback still uses its stream.
void StopCurrentMusic()
{
    g_current.store(nullptr, std::memory_order_release);
    Mix_HaltMusic();  // locks the mixer: an in-flight callback has finished
    g_finished.store(false, std::memory_order_release);
}

// Starts the stream's music at its origin with a fresh clock. A decoder that
// cannot seek starts from the beginning instead (the origin goes back to 0).
bool StartAtOrigin(FSOUND_STREAM* stream)
{
    StopCurrentMusic();
    // No callback touches this stream's clock until it is published below.
    stream->clock.Reset(g_rate, g_latencyMs, 0.5 * 1000.0 * g_chunkFrames / g_rate);
    stream->started = true;
    stream->pendingStart = false;
    g_current.store(stream, std::memory_order_release);
    const int loops = (stream->mode & FSOUND_LOOP_NORMAL) != 0 ? -1 : 0;
    int result = -1;
    if (stream->originMs > 0.0) {
        // Halts again by itself when the position cannot be set.
        result = Mix_FadeInMusicPos(stream->music, loops, 0, stream->originMs / 1000.0);
        if (result != 0) {
            stream->originMs = 0.0;
        }
    }
    if (result != 0) {
        result = Mix_PlayMusic(stream->music, loops);
    }
    if (result != 0) {
        StopCurrentMusic();
        stream->started = false;
        return false;
    }
    return true;
}

bool OpenMixer(int rate)
{
    Mix_SetPostMix(CountMixedFrames, nullptr);
    Mix_HookMusicFinished(OnMusicFinished);
    if (Mix_OpenAudio(rate, AUDIO_S16SYS, 2, kChunkFrames) != 0) {
        Mix_SetPostMix(nullptr, nullptr);
        Mix_HookMusicFinished(nullptr);
        return false;
    }
    int frequency = 0;
    Uint16 format = 0;
    int channels = 0;
    if (Mix_QuerySpec(&frequency, &format, &channels) == 0 || frequency <= 0 || channels <= 0) {
        Mix_CloseAudio();
        Mix_SetPostMix(nullptr, nullptr);
        Mix_HookMusicFinished(nullptr);
        return false;
    }
    g_rate = frequency;
    g_bytesPerFrame = static_cast<int>(SDL_AUDIO_BITSIZE(format) / 8) * channels;
    g_chunkFrames = kChunkFrames;
    // The dummy and disk drivers "play" a chunk while they sleep after it; a
    // real device holds about one chunk queued ahead of the one being mixed.
    const char* driver = SDL_GetCurrentAudioDriver();
    const bool silent = driver != nullptr && (SDL_strcmp(driver, "dummy") == 0 || SDL_strcmp(driver, "disk") == 0);
    g_latencyMs = silent ? 0.0 : 1000.0 * g_chunkFrames / g_rate;
    return true;
}

// True when nothing that could play sound is visible: no sound card device
// nodes and no sound server socket. SDL would then try ALSA, which fills
// standard error with its complaints before failing.
bool NoAudioDeviceVisible()
{
    const char* chosen = SDL_getenv("SDL_AUDIODRIVER");
    if (chosen != nullptr && *chosen != '\0') {
        return false;
    }
    if (SDL_getenv("PULSE_SERVER") != nullptr) {
        return false;
    }
    struct stat info {};
    if (stat("/dev/snd", &info) == 0) {
        return false;
    }
    const char* runtime = SDL_getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') {
        const std::string base(runtime);
        if (stat((base + "/pulse/native").c_str(), &info) == 0 || stat((base + "/pipewire-0").c_str(), &info) == 0) {
            return false;
        }
    }
    return true;
}

bool StartAudio(int rate)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    g_subsystemStarted = true;
    if (OpenMixer(rate)) {
        return true;
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_subsystemStarted = false;
    return false;
}

}  // namespace

float FSOUND_GetVersion()
{
    return kVersion;
}

signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags)
{
    if (g_open) {
        return 1;
    }
    if (mixrate <= 0) {
        return 0;
    }
    Mix_Init(MIX_INIT_OGG | MIX_INIT_MP3 | MIX_INIT_FLAC | MIX_INIT_MOD);
    if (NoAudioDeviceVisible()) {
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    }
    if (!StartAudio(mixrate)) {
        // SDL never falls back to its silent driver by itself. Only an
        // override beats an SDL_AUDIODRIVER setting, even an empty one.
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        if (!StartAudio(mixrate)) {
            Mix_Quit();
            return 0;
        }
    }
    g_open = true;
    return 1;
}

void FSOUND_Close()
{
    if (!g_open) {
        return;
    }
    while (!g_streams.empty()) {
        FSOUND_Stream_Close(g_streams.back());
    }
    Mix_HookMusicFinished(nullptr);
    Mix_SetPostMix(nullptr, nullptr);
    Mix_CloseAudio();
    Mix_Quit();
    if (g_subsystemStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        g_subsystemStarted = false;
    }
    g_open = false;
}

FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* nameOrData, unsigned int mode, int length)
{
    if (!g_open || nameOrData == nullptr) {
        return nullptr;
    }
    Mix_Music* music = nullptr;
    if ((mode & FSOUND_LOADMEMORY) != 0) {
        if (length <= 0) {
            return nullptr;
        }
        SDL_RWops* memory = SDL_RWFromConstMem(nameOrData, length);
        music = memory != nullptr ? Mix_LoadMUS_RW(memory, 1) : nullptr;
    } else {
        music = Mix_LoadMUS(nameOrData);
    }
    if (music == nullptr) {
        return nullptr;
    }
    auto* stream = new FSOUND_STREAM;
    stream->music = music;
    stream->mode = mode;
    const double seconds = Mix_MusicDuration(music);
    if (seconds > 0.0) {
        stream->lengthMs = static_cast<int>(std::min<double>(std::llround(seconds * 1000.0), INT_MAX));
    }
    g_streams.push_back(stream);
    return stream;
}

signed char FSOUND_Stream_SetPaused(FSOUND_STREAM* stream, signed char paused)
{
    if (!IsOpenStream(stream)) {
        return 0;
    }
    stream->paused = paused != 0;
    if (stream->started && g_current.load(std::memory_order_acquire) == stream) {
        if (stream->paused) {
            Mix_PauseMusic();
        } else if (stream->pendingStart) {
            StartAtOrigin(stream);
        } else {
            Mix_ResumeMusic();
        }
    }
    return 1;
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream)
{
    if (!IsOpenStream(stream)) {
        return -1;
    }
    if (!StartAtOrigin(stream)) {
        return -1;
    }
    if (stream->paused) {
        Mix_PauseMusic();
    }
    return channel >= 0 ? channel : 0;
}

signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms)
{
    if (!IsOpenStream(stream)) {
        return 0;
    }
    double target = std::max(0, ms);
    if (stream->lengthMs > 0) {
        target = std::min(target, static_cast<double>(stream->lengthMs));
    }
    stream->originMs = target;
    if (!stream->started || g_current.load(std::memory_order_acquire) != stream) {
        return 1;
    }
    if (stream->paused) {
        StopCurrentMusic();
        stream->clock.Reset(g_rate, g_latencyMs, 0.5 * 1000.0 * g_chunkFrames / g_rate);
        stream->pendingStart = true;
        g_current.store(stream, std::memory_order_release);
        return 1;
    }
    return StartAtOrigin(stream) && stream->originMs == target ? 1 : 0;
}

double FSOUND_Zolt_GetTimeMs(FSOUND_STREAM* stream)
{
    if (!IsOpenStream(stream)) {
        return 0.0;
    }
    if (!stream->started) {
        return stream->originMs;
    }
    double ms = stream->originMs + stream->clock.NowMs(NowNs());
    if (stream->lengthMs > 0) {
        if ((stream->mode & FSOUND_LOOP_NORMAL) != 0) {
            ms = std::fmod(ms, static_cast<double>(stream->lengthMs));
        } else {
            ms = std::min(ms, static_cast<double>(stream->lengthMs));
        }
    }
    return std::min(ms, static_cast<double>(INT_MAX));
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* stream)
{
    return static_cast<int>(FSOUND_Zolt_GetTimeMs(stream));
}

int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream)
{
    return IsOpenStream(stream) ? stream->lengthMs : 0;
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream)
{
    if (!IsOpenStream(stream)) {
        return 0;
    }
    if (g_current.load(std::memory_order_acquire) == stream) {
        StopCurrentMusic();
    }
    Mix_FreeMusic(stream->music);
    g_streams.erase(std::find(g_streams.begin(), g_streams.end(), stream));
    delete stream;
    return 1;
}

int FSOUND_Zolt_GetOutputInfo(FSoundOutputInfo* info)
{
    if (!g_open || info == nullptr) {
        return 0;
    }
    info->driver = SDL_GetCurrentAudioDriver();
    info->rate = g_rate;
    info->chunkFrames = g_chunkFrames;
    info->latencyMs = g_latencyMs;
    return 1;
}

int64_t FSOUND_Zolt_GetMixedFrames(FSOUND_STREAM* stream)
{
    return IsOpenStream(stream) ? stream->clock.MixedFrames() : 0;
}

double FSOUND_Zolt_GetSteeringMs(FSOUND_STREAM* stream)
{
    return IsOpenStream(stream) ? stream->clock.SteeringMs() : 0.0;
}
