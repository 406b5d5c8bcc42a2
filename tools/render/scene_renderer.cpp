#include "tools/render/scene_renderer.h"

#include "demo/scene_camera.h"
#include "demo/scene_loop.h"
#include "demo/skybox_plugin.h"
#include "demo/texture_stage_defaults.h"
#include "gfx/dx_device.h"
#include "gfx/texture_loader.h"
#include "platform/d3d8/back_buffer_readback.h"
#include "platform/win32/window.h"
#include "scene/scene.h"

namespace {

constexpr char kWindowClass[] = "ZoltViewer";
constexpr float kClearDepth = 1.0f;

} // namespace

SceneRenderer::SceneRenderer() = default;

SceneRenderer::~SceneRenderer()
{
    Close();
}

void SceneRenderer::Close()
{
    // Everything holding device resources goes before the device.
    delete m_skybox;
    m_skybox = nullptr;
    delete m_scene;
    m_scene = nullptr;
    if (m_layer != nullptr) {
        m_layer->Release();
        delete m_layer;
        m_layer = nullptr;
    }
    if (m_window != nullptr) {
        DestroyWindow(m_window);
        m_window = nullptr;
    }
    SetTexturePack(nullptr);
}

IDirect3DDevice8* SceneRenderer::Device() const
{
    return m_layer != nullptr ? m_layer->m_device : nullptr;
}

int SceneRenderer::CreateDevice()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass); // refused harmlessly when already registered

    m_layer = new DXDevice();
    D3DDISPLAYMODE mode{};
    mode.Width = kWidth;
    mode.Height = kHeight;
    mode.RefreshRate = 0;
    mode.Format = D3DFMT_X8R8G8B8;
    if (m_layer->Create(&m_window, GetModuleHandleA(nullptr), mode, true, true) != 0)
        return 1;
    return 0;
}

int SceneRenderer::Open(const std::string& packPath, const std::string& sceneName, bool skybox)
{
    Close();
    SetTexturePack(packPath.c_str());

    m_scene = new CScene();
    if (m_scene->LoadScene(sceneName.c_str(), packPath.c_str()) != 0)
        return 1;
    if (CreateDevice() != 0)
        return 1;
    if (skybox) {
        m_skybox = new SkyBoxPlugIn(m_layer);
        if (m_skybox->LoadShowFaces() != 0)
            return 1;
    }
    SetDefaultTextureStageStates(Device());
    return m_scene->Prepare(Device());
}

void SceneRenderer::DrawFrame(float frameTime, uint32_t clearColour)
{
    BeginFrame(clearColour);
    PoseAndDrawScene(m_scene, frameTime, Device());
    EndFrame();
}

void SceneRenderer::BeginFrame(uint32_t clearColour)
{
    IDirect3DDevice8* device = Device();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clearColour & 0x00FFFFFFu, kClearDepth, 0);
    device->BeginScene();
    // As in the player's frame, the skybox is turned by the camera before
    // the scene is updated to this frame's time.
    if (m_skybox != nullptr) {
        D3DVECTOR eye;
        D3DVECTOR target;
        GetSceneCamera(m_scene, &eye, &target);
        // Painted behind the scene where the device can, as the player does.
        if (!m_skybox->DrawBehind(eye, target))
            m_skybox->Draw(eye, target);
    }
}

void SceneRenderer::UpdateScene(float frameTime)
{
    m_scene->Update(frameTime);
}

void SceneRenderer::RenderScene()
{
    m_scene->Render(Device());
}

void SceneRenderer::EndFrame()
{
    ZoltPaintBehindNow(Device());
    Device()->EndScene();
}

bool SceneRenderer::FinishDrawing()
{
    return ZoltFinishDrawing(Device());
}

bool SceneRenderer::ReadPicture(std::vector<uint32_t>* pixels, UINT* width, UINT* height)
{
    return ZoltReadBackBuffer(Device(), pixels, width, height);
}
