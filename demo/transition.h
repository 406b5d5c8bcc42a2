// The crossfade between two consecutive effects of the script: the incoming
// effect fades in from its own start until the earlier effect's end.
#pragma once

struct Transition {
    bool overlapping = false;
    float start = 0.0f; // start of the later effect, ms
    float end = 0.0f;   // end of the earlier effect, ms
};
