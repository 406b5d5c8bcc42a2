#include "demo/overlay_timeline.h"

namespace {

// The caption band, 0.2 to 0.8 of the width and 0.78 to 0.88 of the height;
// the logo sits in the middle of the screen.
constexpr float kCaptionY = -0.33f;
constexpr float kCaptionWidth = 0.6f;
constexpr float kLogoWidth = 0.4f;
constexpr float kBandHeight = 0.1f;

} // namespace

const OverlayCue kOverlayTimeline[kOverlayCueCount] = {
    {"Kestrel.TGA", 0.0f, 8.0f, 11.0f, 32.0f, 85.333f, 0.0f, 0.0f, kLogoWidth, kBandHeight},
    {"Marble01.TGA", 11.0f, 15.0f, 20.0f, 64.0f, 51.2f, 0.0f, kCaptionY, kCaptionWidth, kBandHeight},
    {"Marble02.TGA", 20.0f, 24.0f, 26.0f, 64.0f, 128.0f, 0.0f, kCaptionY, kCaptionWidth, kBandHeight},
    {"Marble03.TGA", 26.0f, 28.0f, 30.0f, 128.0f, 128.0f, 0.0f, kCaptionY, kCaptionWidth, kBandHeight},
    {"Marble04.TGA", 29.0f, 32.0f, 33.0f, 85.33f, 256.0f, 0.0f, kCaptionY, kCaptionWidth, kBandHeight},
    {"Marble05.TGA", 32.0f, 35.0f, 36.0f, 85.33f, 256.0f, 0.0f, kCaptionY, kCaptionWidth, kBandHeight},
    {"Marble06.TGA", 35.0f, 38.0f, 39.0f, 85.33f, 256.0f, 0.0f, kCaptionY, kCaptionWidth, kBandHeight},
    {"Marble07.TGA", 38.0f, 41.0f, 42.0f, 85.33f, 256.0f, 0.0f, kCaptionY, kCaptionWidth, kBandHeight},
    {"Marble08.TGA", 41.0f, 44.0f, 45.0f, 85.33f, 256.0f, 0.0f, kCaptionY, kCaptionWidth, kBandHeight},
    {"Marble09.TGA", 44.0f, 47.0f, 48.0f, 85.33f, 256.0f, 0.0f, kCaptionY, kCaptionWidth, kBandHeight},
    {"Marble10.TGA", 48.0f, 51.0f, 55.0f, 85.333f, 64.0f, 0.0f, kCaptionY, kCaptionWidth, kBandHeight},
};

float OverlaySeconds(float musicTimeMs)
{
    return static_cast<float>(musicTimeMs * 0.001);
}

bool OverlayAlpha(const OverlayCue& cue, float seconds, int* alpha)
{
    if (cue.fadeIn <= seconds && seconds < cue.fadeOut) {
        *alpha = static_cast<int>((seconds - cue.fadeIn) * cue.rateIn);
        return true;
    }
    if (cue.fadeOut <= seconds && seconds < cue.end) {
        *alpha = 255 - static_cast<int>((seconds - cue.fadeOut) * cue.rateOut);
        return true;
    }
    return false;
}
