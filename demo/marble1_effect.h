// Effect kind 2: the fixed Marble1 sequence. It plays its main scene in a
// loop, from frame 1490 of the main scene draws a second scene through the
// main scene's camera and lights, and fades a logo and ten captions in and
// out at fixed music times (demo/overlay_timeline.h).
#pragma once

#include "demo/overlay_timeline.h"
#include "demo/scene_effect.h"

class IDirect3DTexture8;

class Marble1Effect : public SceneEffect {
public:
    explicit Marble1Effect(DXDevice* device);
    ~Marble1Effect() override;

    // Loads its fixed scene files and images (the name is not used): a
    // scene that fails ends it with 1 after the effect's message; an image
    // that fails only leaves its slot empty.
    int Init(const char* sceneFileName) override;
    void Render() override;
    // Name, start and end, then Init.
    int Read(ScriptReader* file) override;

    CScene* GetSecondScene() const { return m_secondScene; }
    // The frame time last given to the second scene.
    float GetSecondSceneTime() const { return m_secondSceneTime; }
    // The image of kOverlayTimeline[cue]; null when it failed to load.
    IDirect3DTexture8* GetImage(int cue) const { return m_images[cue]; }

    static constexpr const char* kMainSceneFile = "Plan1_part1.KVF";
    static constexpr const char* kSecondSceneFile = "Plan1_partotter.KVF";
    // The main scene's frame from which the second scene is drawn; the
    // second scene's frame 0 lies there.
    static constexpr float kSecondSceneStart = 1490.0f;

private:
    void DrawSecondScene();
    void DrawOverlays();
    void ReleaseImages();

    CScene* m_secondScene = nullptr;
    float m_secondSceneTime = 0.0f;
    IDirect3DTexture8* m_images[kOverlayCueCount] = {};
};
