#include "demo/scene_effect.h"

#include <cmath>
#include <cstdint>

#include "demo/scene_camera.h"
#include "demo/scene_loop.h"
#include "gfx/dx_device.h"
#include "platform/report/report.h"
#include "scene/scene.h"

SceneEffect::SceneEffect(DXDevice* device) : Effect(device) {}

SceneEffect::~SceneEffect()
{
    delete m_scene;
    m_scene = nullptr;
}

IDirect3DDevice8* SceneEffect::Device() const
{
    return m_device ? m_device->m_device : nullptr;
}

int SceneEffect::LoadPreparedScene(CScene** slot, const char* fileName, const char* effectName)
{
    delete *slot;
    *slot = new CScene();
    if ((*slot)->LoadScene(fileName) != 0) {
        ShowError("LibDemo\t:\tCannot load the %s Effect : %s", effectName, fileName);
        return 1;
    }
    if ((*slot)->Prepare(Device()) != 0) {
        ShowError("LibDemo\t:\tCannot initialize the %s Effect : %s", effectName, fileName);
        return 1;
    }
    return 0;
}

void SceneEffect::Rewind()
{
    m_loopBase = m_start;
    m_sceneTime = 0.0f;
}

float SceneEffect::GetDuration()
{
    if (!m_scene)
        return -1.0f;
    // The frame count times 1000 is taken in 64 bits, where no frame range
    // can overflow it.
    const int64_t frames = static_cast<int64_t>(m_scene->endFrame) - m_scene->startFrame;
    // An empty scene lasts nothing, whatever its rate (0 / 0 would be NaN).
    if (frames == 0)
        return 0.0f;
    return static_cast<float>(frames * 1000) / static_cast<float>(m_scene->frameRate);
}

void SceneEffect::GetCamera(D3DVECTOR* eye, D3DVECTOR* target)
{
    GetSceneCamera(m_scene, eye, target);
}

void SceneEffect::LoopAndDrawScene()
{
    if (!m_scene)
        return;
    float x = static_cast<float>((m_currentTime - m_loopBase) * static_cast<float>(m_scene->frameRate) * 0.001);
    if (LoopsToFirstFrame(x, m_scene->endFrame)) {
        x = 0.0f;
        m_loopBase = m_currentTime;
    }
    m_sceneTime = x;
    PoseAndDrawScene(m_scene, x, Device());
}

int SceneEffect::CueAt(float musicTime)
{
    Rewind();
    if (!m_scene)
        return 0;
    const int restored = m_scene->RestorePreparedState();
    const int32_t frameRate = m_scene->frameRate;
    const int32_t endFrame = m_scene->endFrame;
    if (!Contains(musicTime) || frameRate <= 0 || endFrame <= 0)
        return restored;
    // Whole loops of endFrame frames since the window's start. A base that
    // rounding puts a hair off is harmless: the loop then restarts on the
    // first frame, as it would have within that hair while playing.
    const double loopMs = static_cast<double>(endFrame) * 1000.0 / frameRate;
    const double loops = std::floor((static_cast<double>(musicTime) - m_start) / loopMs);
    m_loopBase = static_cast<float>(m_start + loops * loopMs);
    return restored;
}
