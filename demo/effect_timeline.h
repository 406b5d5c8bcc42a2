// Choosing what to draw at a music time: which effect is active, which one
// fades in over it, and how far the fade has gone. Effect windows are half
// open, [start, end).
#pragma once

#include <vector>

#include "demo/transition.h"

class Effect;

struct EffectSelection {
    int active = -1;   // index of the effect shown, -1 for none
    int incoming = -1; // index of the effect fading in over it, -1 for none
};

// The active effect is the first whose window holds t; only its successor in
// the list can be incoming, and only when its window holds t too.
EffectSelection SelectEffects(Effect* const* effects, int count, float t);

// One transition per consecutive pair; none for fewer than two effects.
void BuildTransitions(Effect* const* effects, int count, std::vector<Transition>* transitions);

// The opacity of the incoming effect for active index a at time t: the
// fraction of the overlap that has passed, 0 when the pair does not overlap
// or a has no transition.
float TransitionAmount(const std::vector<Transition>& transitions, int active, float t);
