// A texture that can be drawn into, with its own depth buffer, used to
// crossfade one effect over another; and the two screen-space quads that lay
// a texture over the viewport (the crossfade) or over a part of it (captions
// and logos) with a uniform opacity.
#pragma once

#include "platform/d3d8/d3d8.h"

class RenderTexture {
public:
    explicit RenderTexture(IDirect3DDevice8* device);
    ~RenderTexture();
    RenderTexture(const RenderTexture&) = delete;
    RenderTexture& operator=(const RenderTexture&) = delete;

    // Creates the target texture and its depth buffer, notes the device's
    // current target and depth surfaces, and tries one scene in the texture.
    // 0 on success, 1 after the failing step's message.
    int Create(UINT width, UINT height);

    // Redirects drawing into the texture and begins a scene there.
    void BeginScene();
    // Ends that scene and returns drawing to the noted target and depth.
    void EndScene();

    IDirect3DTexture8* GetTexture() const { return m_texture; }

    // Draws texture over the whole viewport with opacity amount; nothing for
    // an amount outside (0, 1].
    static void DrawFade(IDirect3DDevice8* device, IDirect3DBaseTexture8* texture, float amount);
    // Draws texture over a rectangle given in fractions of the viewport: its
    // centre moved from the viewport's centre by (xOffset, yOffset), x to
    // the right and y upwards, its size width by height. The low 8 bits of
    // alpha are the opacity. The blend factors in force apply.
    static void DrawOverlay(IDirect3DDevice8* device, IDirect3DBaseTexture8* texture, float xOffset, float yOffset,
                            float width, float height, int alpha);

private:
    void ReleaseSurfaces();

    IDirect3DDevice8* m_device;
    IDirect3DTexture8* m_texture = nullptr;
    IDirect3DSurface8* m_surface = nullptr;
    IDirect3DSurface8* m_depth = nullptr;
    IDirect3DSurface8* m_savedTarget = nullptr;
    IDirect3DSurface8* m_savedDepth = nullptr;
};
