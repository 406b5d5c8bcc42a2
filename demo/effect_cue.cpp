#include "demo/effect_cue.h"

#include "demo/marble1_effect.h"
#include "demo/scene_effect.h"
#include "scene/scene.h"

int CueEffect(Effect* effect, float musicTime)
{
    auto* sceneEffect = dynamic_cast<SceneEffect*>(effect);
    if (sceneEffect == nullptr)
        return 0;
    int result = sceneEffect->CueAt(musicTime);
    auto* marble = dynamic_cast<Marble1Effect*>(effect);
    if (marble != nullptr && marble->GetSecondScene() != nullptr)
        result |= marble->GetSecondScene()->RestorePreparedState();
    return result;
}
