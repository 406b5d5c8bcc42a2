// Creates the effect of a script's kind code.
#pragma once

class DXDevice;
class Effect;

// A new effect of the given kind for the device layer, owned by the caller;
// null for a kind this player does not know (the caller reports it).
Effect* CreateEffect(int kind, DXDevice* device);
