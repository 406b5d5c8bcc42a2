#include "tools/preview/preview_clock.h"

#include "platform/win32/window.h"
#include "sound/music_stream.h"

double PreviewClock::GetMusicTimeMs()
{
    if (m_held || m_music == nullptr) {
        return m_heldMs;
    }
    return static_cast<double>(m_music->GetTime());
}

uint32_t PreviewClock::GetTickCount()
{
    return ::GetTickCount();
}
