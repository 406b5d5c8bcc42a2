// Starting the show part-way: what a program that jumps to a music time does
// to each effect so that the frame it draws there is the one a show started
// at that time draws.
#pragma once

class Effect;

// Scene effects are cued (SceneEffect::CueAt); Marble1's second scene is
// restored to its prepared state too. Plain effects hold no state to reset.
// 1 when a scene could not be restored; 0 otherwise.
int CueEffect(Effect* effect, float musicTime);
