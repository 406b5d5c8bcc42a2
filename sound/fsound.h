// The sound library's stream interface (the FSOUND calls the engine uses),
// over SDL2_mixer. Music streams from disk (OGG Vorbis, MP3, WAV, FLAC and
// tracker modules, whatever SDL2_mixer decodes). Where no audio device can be
// opened the library plays to SDL's silent dummy device, so a show still runs
// at real speed on a machine without sound.
//
// The play position is kept by a ShowClock fed from the mixer's post-mix
// callback, so it moves smoothly between mixing chunks and works for every
// format, tracker modules included.
//
// All calls are made from one thread. Stream handles are checked: a handle
// that was closed, or that belonged to a library since closed, is refused.
#pragma once

#include <cstdint>

struct FSOUND_STREAM;

// Mode flags of FSOUND_Stream_OpenFile. Only looping and loading from memory
// change what this library does; the others describe sample formats the
// mixer picks for itself.
constexpr unsigned int FSOUND_LOOP_OFF = 0x00000001u;
constexpr unsigned int FSOUND_LOOP_NORMAL = 0x00000002u;
constexpr unsigned int FSOUND_8BITS = 0x00000008u;
constexpr unsigned int FSOUND_16BITS = 0x00000010u;
constexpr unsigned int FSOUND_MONO = 0x00000020u;
constexpr unsigned int FSOUND_STEREO = 0x00000040u;
constexpr unsigned int FSOUND_2D = 0x00002000u;
constexpr unsigned int FSOUND_LOADMEMORY = 0x00008000u;

// FSOUND_Init flags. Music always keeps playing while the window is in the
// background here, so the global-focus flag is accepted and changes nothing.
constexpr unsigned int FSOUND_INIT_GLOBALFOCUS = 0x0002u;

// Channel argument of FSOUND_Stream_Play: pick a free channel.
constexpr int FSOUND_FREE = -1;

// The library's version number.
float FSOUND_GetVersion();

// Opens the output: mixrate frames per second, stereo. Returns 1 on success,
// 0 when no device, not even the silent one, could be opened. Calling it
// again while open changes nothing and succeeds.
signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);

// Shuts the output down and closes every stream still open.
void FSOUND_Close();

// Opens a music file as a stream (or, with FSOUND_LOADMEMORY, the `length`
// bytes at `nameOrData`, which must stay valid until the stream is closed).
// Returns null when the library is not open or the file cannot be decoded.
FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* nameOrData, unsigned int mode, int length);

// Pauses or resumes a stream; a stream paused before it plays starts paused.
signed char FSOUND_Stream_SetPaused(FSOUND_STREAM* stream, signed char paused);

// Starts a stream from its beginning (or where FSOUND_Stream_SetTime put it),
// stopping any other. Returns the channel number, or -1 on failure.
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);

// The play position in milliseconds: 0 before playing (or where
// FSOUND_Stream_SetTime put it), then the show clock, held at the stream's
// length once the music has ended.
int FSOUND_Stream_GetTime(FSOUND_STREAM* stream);

// Moves the play position to `ms` (kept within 0 and the stream's length): a
// playing stream goes on from there, a paused one starts there when it is
// resumed, one not yet played starts there when played. Returns 1; 0 for a
// bad handle, or when the decoder cannot seek in this format, in which case
// a playing stream starts again from its beginning.
signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms);

// The stream's length in milliseconds (0 for a bad handle).
int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream);

// Stops and frees a stream. Returns 1, or 0 for a bad handle.
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);

// ---- Beyond the published interface: facts about the output, for tools and
// tests that measure the clock.

struct FSoundOutputInfo {
    const char* driver;  // SDL's audio driver name ("dummy" without a device)
    int rate;            // frames per second
    int chunkFrames;     // frames per mixing chunk
    double latencyMs;    // assumed delay between mixing and hearing
};
// Fills `info` and returns 1 while the library is open; 0 otherwise.
int FSOUND_Zolt_GetOutputInfo(FSoundOutputInfo* info);
// Frames of the stream's music handed to the device so far.
int64_t FSOUND_Zolt_GetMixedFrames(FSOUND_STREAM* stream);
// The play position as FSOUND_Stream_GetTime gives it, before rounding down
// to whole milliseconds.
double FSOUND_Zolt_GetTimeMs(FSOUND_STREAM* stream);
// The show clock's present correction toward the decoder, in milliseconds.
double FSOUND_Zolt_GetSteeringMs(FSOUND_STREAM* stream);
