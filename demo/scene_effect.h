// What the scene-playing effects share: one scene they own and play in a
// loop against the music clock, the camera they are seen through, and the
// loading of a scene from the pack with the effect's own messages.
#pragma once

#include "demo/effect.h"

class CScene;
class IDirect3DDevice8;

class SceneEffect : public Effect {
public:
    ~SceneEffect() override;

    // Loop base at the window's start, scene time 0.
    void Rewind() override;
    // The scene's length in ms; -1 without a scene, 0 for a scene without
    // frames, and infinite for a frame rate of 0 otherwise (the scene then
    // never leaves frame 0).
    float GetDuration() override;
    // The first camera's position and its target's.
    void GetCamera(D3DVECTOR* eye, D3DVECTOR* target) override;

    // Puts the effect where a show started at `musicTime` has it: its scene
    // back in the state preparing it left, and, when its window holds the
    // time, the loop base on the loop that playing from the window's start
    // reaches at that time (otherwise at the start, as Rewind puts it).
    // 1 when the scene could not be restored; 0 otherwise.
    int CueAt(float musicTime);

    CScene* GetScene() const { return m_scene; }
    float GetLoopBase() const { return m_loopBase; }
    // The frame time last given to the scene.
    float GetSceneTime() const { return m_sceneTime; }

protected:
    explicit SceneEffect(DXDevice* device);

    // Creates a scene into *slot (destroying one held there), loads the
    // named member of the pack and prepares it for the device. 0 on
    // success; otherwise 1 after "Cannot load" or "Cannot initialize the
    // <effect> Effect : <file>", the scene staying in the slot for the
    // destructor.
    int LoadPreparedScene(CScene** slot, const char* fileName, const char* effectName);

    // The scene time for the current music time: frames since the loop
    // base, restarting from frame 0 (and moving the loop base to now) on the
    // frame that reaches the scene's end frame. The scene is updated to it
    // and drawn. Nothing without a scene.
    void LoopAndDrawScene();

    IDirect3DDevice8* Device() const;

    CScene* m_scene = nullptr;
    float m_loopBase = 0.0f;
    float m_sceneTime = 0.0f;
};
