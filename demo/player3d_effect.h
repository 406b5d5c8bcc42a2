// Effect kind 1: plays one scene file from the pack in a loop, seen through
// the scene's first camera, with the effect's name in the text overlay.
#pragma once

#include <string>

#include "demo/scene_effect.h"

class Player3DEffect : public SceneEffect {
public:
    explicit Player3DEffect(DXDevice* device);

    // Loads and prepares the named scene, then rewinds. 0, or 1 after the
    // effect's message.
    int Init(const char* sceneFileName) override;
    void Render() override;
    // Name, start and end, then the scene file name.
    int Write(ScriptWriter* file) override;
    // Name, start, end and the scene file name, then Init with it.
    int Read(ScriptReader* file) override;

    const std::string& GetSceneFileName() const { return m_sceneFileName; }

private:
    std::string m_sceneFileName;
};
