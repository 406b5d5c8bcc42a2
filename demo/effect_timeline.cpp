#include "demo/effect_timeline.h"

#include "demo/effect.h"

EffectSelection SelectEffects(Effect* const* effects, int count, float t)
{
    EffectSelection selection;
    for (int i = 0; i < count; ++i) {
        if (effects[i] && effects[i]->Contains(t)) {
            selection.active = i;
            break;
        }
    }
    int next = selection.active + 1;
    if (selection.active >= 0 && next < count && effects[next] && effects[next]->Contains(t))
        selection.incoming = next;
    return selection;
}

void BuildTransitions(Effect* const* effects, int count, std::vector<Transition>* transitions)
{
    if (count <= 1) {
        transitions->clear();
        return;
    }
    transitions->assign(static_cast<size_t>(count - 1), Transition());
    for (int i = 0; i + 1 < count; ++i) {
        Transition& transition = (*transitions)[static_cast<size_t>(i)];
        transition.start = effects[i + 1] ? effects[i + 1]->GetStart() : 0.0f;
        transition.end = effects[i] ? effects[i]->GetEnd() : 0.0f;
        transition.overlapping = transition.end - transition.start > 0.0f;
    }
}

float TransitionAmount(const std::vector<Transition>& transitions, int active, float t)
{
    if (active < 0 || static_cast<size_t>(active) >= transitions.size())
        return 0.0f;
    const Transition& transition = transitions[static_cast<size_t>(active)];
    if (!transition.overlapping)
        return 0.0f;
    return (t - transition.start) / (transition.end - transition.start);
}
