#include "demo/marble1_effect.h"

#include "demo/script_reader.h"
#include "gfx/dx_device.h"
#include "gfx/render_texture.h"
#include "gfx/texture_loader.h"
#include "platform/d3d8/release_interface.h"
#include "scene/mesh.h"
#include "scene/scene.h"

Marble1Effect::Marble1Effect(DXDevice* device) : SceneEffect(device)
{
    m_kind = kEffectKindMarble1;
}

Marble1Effect::~Marble1Effect()
{
    delete m_secondScene;
    m_secondScene = nullptr;
    ReleaseImages();
}

void Marble1Effect::ReleaseImages()
{
    for (IDirect3DTexture8*& image : m_images)
        ReleaseInterface(image);
}

int Marble1Effect::Init(const char*)
{
    if (LoadPreparedScene(&m_scene, kMainSceneFile, "Marble1") != 0)
        return 1;
    if (LoadPreparedScene(&m_secondScene, kSecondSceneFile, "Marble1") != 0)
        return 1;
    // The captions load first, then the logo, which is drawn first.
    ReleaseImages();
    for (int cue = 1; cue <= kOverlayCueCount; ++cue) {
        const int slot = cue % kOverlayCueCount;
        LoadTextureNoFilter(Device(), kOverlayTimeline[slot].image, &m_images[slot]);
    }
    Rewind();
    return 0;
}

void Marble1Effect::Render()
{
    if (!m_scene)
        return;
    LoopAndDrawScene();
    if (m_sceneTime >= kSecondSceneStart)
        DrawSecondScene();
    DrawOverlays();
    DrawName();
}

void Marble1Effect::DrawSecondScene()
{
    if (!m_secondScene)
        return;
    float y = m_sceneTime - kSecondSceneStart;
    if (y < 0.0f || y >= static_cast<float>(m_secondScene->endFrame))
        y = 0.0f;
    m_secondSceneTime = y;
    m_secondScene->Update(y);
    // The meshes alone, each marked in view: the main scene's camera, ambient
    // and lights stay in force, and nothing is culled.
    IDirect3DDevice8* device = Device();
    for (CMesh* mesh : m_secondScene->meshes) {
        mesh->inView = 1;
        if (device)
            mesh->Draw(device);
    }
}

void Marble1Effect::DrawOverlays()
{
    IDirect3DDevice8* device = Device();
    if (!device)
        return;
    const float seconds = OverlaySeconds(m_currentTime);
    bool blendSet = false;
    for (int cue = 0; cue < kOverlayCueCount; ++cue) {
        const OverlayCue& overlay = kOverlayTimeline[cue];
        int alpha = 0;
        if (!OverlayAlpha(overlay, seconds, &alpha))
            continue;
        // The overlay quad blends with whatever factors are in force, and a
        // scene material may have left additive or multiplying ones: the
        // opacity only fades an image under source-alpha blending.
        if (!blendSet) {
            device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
            blendSet = true;
        }
        RenderTexture::DrawOverlay(device, m_images[cue], overlay.xOffset, overlay.yOffset, overlay.width,
                                   overlay.height, alpha);
    }
}

int Marble1Effect::Read(ScriptReader* file)
{
    if (!ReadCommon(file))
        return 1;
    return Init(nullptr);
}
