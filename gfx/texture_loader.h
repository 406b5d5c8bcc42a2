// Textures from the resource pack ("data.pac" by default). LoadTexture uses the texture
// service's defaults (full mipmap chain, filtered), for scene materials;
// LoadTextureNoFilter keeps the image's exact pixels in one level, for
// screen-space images and the skybox faces. Both return 0 when the texture
// was created, 1 after showing a message.
#pragma once

#include "platform/d3d8/d3d8.h"

int LoadTexture(IDirect3DDevice8* device, const char* memberName, IDirect3DTexture8** texture);
int LoadTextureNoFilter(IDirect3DDevice8* device, const char* memberName, IDirect3DTexture8** texture);

// The archive every texture is read from unless told otherwise, in the
// working directory.
constexpr const char* kResourcePackName = "data.pac";

// Reads later textures from another archive (a path); null puts the default
// back. Tools that draw a scene from a pack of their choice use it so that
// the scene's textures come from the same pack.
void SetTexturePack(const char* archivePath);
const char* GetTexturePack();
