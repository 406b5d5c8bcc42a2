#include "sound/music_stream.h"

#include "platform/report/report.h"
#include "platform/win32/window.h"
#include "sound/fsound.h"

namespace {

// The oldest library version the stream calls work with.
constexpr float kRequiredVersion = 3.33f;
constexpr int kMixRate = 44100;
constexpr int kSoftwareChannels = 32;
// One non-looping stream; the sample format flags are what the player asks
// for, the mixer converts as it needs.
constexpr unsigned int kStreamMode = FSOUND_LOOP_OFF | FSOUND_8BITS | FSOUND_MONO | FSOUND_2D;

// Streams that started the sound library and have not closed yet.
int g_libraryUsers = 0;

}  // namespace

MusicStream::MusicStream(const char* fileName) : m_stream(nullptr), m_channel(0), m_closed(false)
{
    if (FSOUND_GetVersion() < kRequiredVersion) {
        Report(ReportSeverity::Plain, "fmod error", "You are using the wrong DLL version!");
        PostQuitMessage(1);
    }
    if (!FSOUND_Init(kMixRate, kSoftwareChannels, FSOUND_INIT_GLOBALFOCUS)) {
        ShowError("LibSound\t:\tCannot initialize FMOD");
        PostQuitMessage(1);
        return;
    }
    m_usesLibrary = true;
    ++g_libraryUsers;
    m_stream = fileName != nullptr ? FSOUND_Stream_OpenFile(fileName, kStreamMode, 0) : nullptr;
    if (m_stream == nullptr) {
        ShowError("LibSound\t:\tCannot initialize the stream, does the file %s exist ?",
                  fileName != nullptr ? fileName : "");
        PostQuitMessage(1);
    }
}

MusicStream::~MusicStream()
{
    if (!m_closed) {
        Close();
    }
}

void MusicStream::Close()
{
    if (m_stream != nullptr) {
        FSOUND_Stream_Close(m_stream);
        m_stream = nullptr;
    }
    if (m_usesLibrary) {
        m_usesLibrary = false;
        --g_libraryUsers;
    }
    if (g_libraryUsers == 0) {
        FSOUND_Close();
    }
    m_closed = true;
}

void MusicStream::SetPaused(bool paused)
{
    if (m_stream != nullptr) {
        FSOUND_Stream_SetPaused(m_stream, paused ? 1 : 0);
    }
}

bool MusicStream::SetTime(int ms)
{
    return m_stream != nullptr && FSOUND_Stream_SetTime(m_stream, ms) != 0;
}

void MusicStream::Play()
{
    if (m_stream == nullptr) {
        return;
    }
    FSOUND_Stream_SetPaused(m_stream, 0);
    m_channel = FSOUND_Stream_Play(FSOUND_FREE, m_stream);
}

int MusicStream::GetTime()
{
    return m_stream != nullptr ? FSOUND_Stream_GetTime(m_stream) : 0;
}

unsigned int MusicStream::GetLength()
{
    return m_stream != nullptr ? static_cast<unsigned int>(FSOUND_Stream_GetLengthMs(m_stream)) : 0u;
}
