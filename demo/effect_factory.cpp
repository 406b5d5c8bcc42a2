#include "demo/effect_factory.h"

#include "demo/effect.h"
#include "demo/marble1_effect.h"
#include "demo/player3d_effect.h"

Effect* CreateEffect(int kind, DXDevice* device)
{
    switch (kind) {
    case kEffectKindPlain:
        return new Effect(device);
    case kEffectKindPlayer3D:
        return new Player3DEffect(device);
    case kEffectKindMarble1:
        return new Marble1Effect(device);
    default:
        return nullptr;
    }
}
