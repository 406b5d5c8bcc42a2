// A textured box of six faces drawn behind every effect. It stays centred on
// the viewer and turns with the camera, so only the viewing direction changes
// what is seen; it writes no depth, so everything drawn afterwards lies in
// front of it.
#pragma once

#include <string>

#include "demo/background_plugin.h"

class DXDevice;
class SkyBoxMesh;
class IDirect3DDevice8;

class SkyBoxPlugIn : public BackgroundPlugIn {
public:
    explicit SkyBoxPlugIn(DXDevice* device);
    ~SkyBoxPlugIn() override;
    // Loads the faces from the pack (a face that fails is reported and left
    // empty) and creates the box's buffers. 1 only when the buffers fail.
    int Load(const char* front, const char* back, const char* down, const char* up, const char* left,
             const char* right) override;
    // Load with the show's six faces "Otter_FR.JPG", "Otter_BK.JPG",
    // "Otter_DN.JPG", "Otter_UP.JPG", "Otter_LF.JPG" and "Otter_RT.JPG".
    int LoadShowFaces();
    void Draw(const D3DVECTOR& eye, const D3DVECTOR& target) override;
    // The device is left in the state Draw leaves, and the faces are drawn
    // when the device calls for them.
    bool DrawBehind(const D3DVECTOR& eye, const D3DVECTOR& target) override;
    int Write(ScriptWriter* file) override;
    int Read(ScriptReader* file) override;

    const std::string& GetFaceName(int face) const { return m_faceNames[face]; }
    const SkyBoxMesh* GetMesh() const { return m_mesh; }

private:
    // The device, when there is one and a box with buffers to draw; null
    // otherwise.
    IDirect3DDevice8* DrawingDevice() const;
    // Draw, with or without the faces' draw calls.
    void DrawBox(const D3DVECTOR& eye, const D3DVECTOR& target, bool drawFaces);
    static void PaintBehind(void* self);

    DXDevice* m_device;
    D3DVECTOR m_behindEye = {0.0f, 0.0f, 0.0f};
    D3DVECTOR m_behindTarget = {0.0f, 0.0f, 0.0f};
    SkyBoxMesh* m_mesh = nullptr;
    std::string m_faceNames[6];
};
