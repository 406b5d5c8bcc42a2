// The logo and caption images of the Marble1 sequence and when they show:
// each fades in over [fadeIn, fadeOut) and out over [fadeOut, end), timed in
// seconds of music position, whatever the effect's own window. The table is
// in drawing order, logo first; where two images' ranges overlap both are
// drawn.
#pragma once

struct OverlayCue {
    const char* image;  // member of the pack
    float fadeIn;       // s: the fade-in starts, opacity 0
    float fadeOut;      // s: fully opaque, the fade-out starts
    float end;          // s: gone
    float rateIn;       // opacity steps per second while fading in
    float rateOut;      // ... while fading out
    float xOffset;      // placement, fractions of the viewport (DrawOverlay)
    float yOffset;
    float width;
    float height;
};

constexpr int kOverlayCueCount = 11;
extern const OverlayCue kOverlayTimeline[kOverlayCueCount];

// The music position in seconds that the timeline runs on.
float OverlaySeconds(float musicTimeMs);

// Whether the cue shows at `seconds`, and with which opacity: the whole
// computed value, of which only the low 8 bits reach the screen.
bool OverlayAlpha(const OverlayCue& cue, float seconds, int* alpha);
