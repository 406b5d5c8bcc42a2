// One scene drawn the way the show draws it, on the show's own device layer:
// a 640 x 480 full-screen device made as the entry makes it, the
// texture-stage defaults of the demo manager, optionally the skybox of the
// pack turned by the scene's camera, then the scene itself. The steps of a
// frame are separate so that benchmarks can time them apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "demo/scene_loop.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win32/win32_types.h"

class CScene;
class DXDevice;
class SkyBoxPlugIn;

class SceneRenderer {
public:
    static constexpr UINT kWidth = 640;
    static constexpr UINT kHeight = 480;

    SceneRenderer();
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    // Loads the KVF member `sceneName` of the archive `packPath`, creates the
    // device, with `skybox` the skybox of the pack's "Otter_*.JPG" faces,
    // sets the texture-stage defaults and prepares the scene. Textures come
    // from the same archive. 0 on success; 1 after the failing step's
    // messages (the scene is loaded before any device is made).
    int Open(const std::string& packPath, const std::string& sceneName, bool skybox);

    // One whole frame at scene time `frameTime` (frames): begun, the scene
    // posed and drawn as a playing effect draws it, ended.
    void DrawFrame(float frameTime, uint32_t clearColour);

    // Clears target and depth (depth 1.0), begins the scene and draws the
    // skybox turned by the camera as it stands.
    void BeginFrame(uint32_t clearColour);
    // Poses the scene at `frameTime`: nodes, modifiers, animated materials.
    void UpdateScene(float frameTime);
    // Draws the scene as posed.
    void RenderScene();
    void EndFrame();

    // Waits until the rasteriser has finished the frames drawn so far.
    bool FinishDrawing();
    // The back buffer, 0xAARRGGBB, top row first.
    bool ReadPicture(std::vector<uint32_t>* pixels, UINT* width, UINT* height);

    CScene* Scene() const { return m_scene; }
    IDirect3DDevice8* Device() const;

private:
    int CreateDevice();
    void Close();

    CScene* m_scene = nullptr;
    DXDevice* m_layer = nullptr;
    HWND m_window = nullptr;
    SkyBoxPlugIn* m_skybox = nullptr;
};
