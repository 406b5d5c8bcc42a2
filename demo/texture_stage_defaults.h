// The texture-stage states every drawing of the show starts from: stage 0
// modulates its texture by the diffuse colour and filters linearly, mipmaps
// included. The demo manager sets them once at start-up; tools that draw
// scenes the way the show does set the same.
#pragma once

class IDirect3DDevice8;

// Sets COLORARG1 = TEXTURE, COLORARG2 = DIFFUSE, COLOROP = MODULATE, then
// the minification, magnification and mipmap filters to LINEAR, in that
// order. A null device is ignored.
void SetDefaultTextureStageStates(IDirect3DDevice8* device);
