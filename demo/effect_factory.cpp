#include "demo/effect_factory.h"

#include "demo/effect.h"

Effect* CreateEffect(int kind, DXDevice* device)
{
    switch (kind) {
    case kEffectKindPlain:
        return new Effect(device);
    // kEffectKindPlayer3D and kEffectKindMarble1 play scene files; they join
    // here once the scene effects exist. Until then a script naming them is
    // refused as an unknown kind.
    default:
        return nullptr;
    }
}
