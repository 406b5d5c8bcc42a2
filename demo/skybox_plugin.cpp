#include "demo/skybox_plugin.h"

#include "demo/script_reader.h"
#include "demo/script_writer.h"
#include "gfx/dx_device.h"
#include "gfx/skybox_mesh.h"
#include "gfx/skybox_vertices.h"
#include "math/d3dx_math.h"
#include "platform/report/report.h"

namespace {
// The box's own lens: 0.7 radians vertically (the float 0x3F333333), square.
constexpr float kSkyBoxFieldOfView = 0.7f;
constexpr float kSkyBoxAspect = 1.0f;
constexpr float kSkyBoxNear = 1.0f;
constexpr float kSkyBoxFar = 10000.0f;
constexpr DWORD kSkyBoxFvf = D3DFVF_XYZ | D3DFVF_TEX1; // 0x102
const char* const kShowSkyBoxFaces[6] = {
    "Otter_FR.JPG", "Otter_BK.JPG", "Otter_DN.JPG", "Otter_UP.JPG", "Otter_LF.JPG", "Otter_RT.JPG",
};
} // namespace

SkyBoxPlugIn::SkyBoxPlugIn(DXDevice* device) : m_device(device) {}

SkyBoxPlugIn::~SkyBoxPlugIn()
{
    delete m_mesh;
}

int SkyBoxPlugIn::Load(const char* front, const char* back, const char* down, const char* up, const char* left,
                       const char* right)
{
    const char* names[6] = {front, back, down, up, left, right};
    for (int i = 0; i < 6; ++i)
        m_faceNames[i] = names[i] ? names[i] : "";

    delete m_mesh;
    m_mesh = new SkyBoxMesh();
    IDirect3DDevice8* device = m_device ? m_device->m_device : nullptr;
    if (!device) {
        ShowError("LibDemo\t:\tCannot initialize the BackGround SkyBox Plug-In");
        return 1;
    }
    // A face that fails has been reported; the box goes on without it.
    const char* faceNames[6];
    for (int i = 0; i < 6; ++i)
        faceNames[i] = m_faceNames[i].c_str();
    m_mesh->LoadFaces(device, faceNames);
    if (m_mesh->CreateBuffers(device) != 0) {
        ShowError("LibDemo\t:\tCannot initialize the BackGround SkyBox Plug-In");
        return 1;
    }
    return 0;
}

int SkyBoxPlugIn::LoadShowFaces()
{
    return Load(kShowSkyBoxFaces[0], kShowSkyBoxFaces[1], kShowSkyBoxFaces[2], kShowSkyBoxFaces[3],
                kShowSkyBoxFaces[4], kShowSkyBoxFaces[5]);
}

void SkyBoxPlugIn::Draw(const D3DVECTOR& eye, const D3DVECTOR& target)
{
    DrawBox(eye, target, true);
}

IDirect3DDevice8* SkyBoxPlugIn::DrawingDevice() const
{
    IDirect3DDevice8* device = m_device ? m_device->m_device : nullptr;
    if (!device || !m_mesh || !m_mesh->GetVertexBuffer() || !m_mesh->GetIndexBuffer())
        return nullptr;
    return device;
}

bool SkyBoxPlugIn::DrawBehind(const D3DVECTOR& eye, const D3DVECTOR& target)
{
    IDirect3DDevice8* device = DrawingDevice();
    if (!device)
        return false;
    m_behindEye = eye;
    m_behindTarget = target;
    if (!ZoltPaintBehind(device, &SkyBoxPlugIn::PaintBehind, this))
        return false;
    // What follows is drawn in the state drawing the box leaves.
    DrawBox(eye, target, false);
    return true;
}

void SkyBoxPlugIn::PaintBehind(void* self)
{
    auto* sky = static_cast<SkyBoxPlugIn*>(self);
    sky->DrawBox(sky->m_behindEye, sky->m_behindTarget, true);
}

void SkyBoxPlugIn::DrawBox(const D3DVECTOR& eye, const D3DVECTOR& target, bool drawFaces)
{
    IDirect3DDevice8* device = DrawingDevice();
    if (!device)
        return;

    DWORD lighting = TRUE;
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_NONE);
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);

    D3DMATRIX savedView;
    D3DMATRIX savedProjection;
    device->GetTransform(D3DTS_VIEW, &savedView);
    device->GetTransform(D3DTS_PROJECTION, &savedProjection);

    // The eye stays at the box's centre: the box turns with the camera but
    // never moves with it.
    const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 direction(target.x - eye.x, target.y - eye.y, target.z - eye.z);
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &origin, &direction, &up);
    device->SetTransform(D3DTS_VIEW, &view);
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, kSkyBoxFieldOfView, kSkyBoxAspect, kSkyBoxNear, kSkyBoxFar);
    device->SetTransform(D3DTS_PROJECTION, &projection);

    device->SetStreamSource(0, m_mesh->GetVertexBuffer(), sizeof(SkyBoxVertex));
    device->SetVertexShader(kSkyBoxFvf);
    device->SetIndices(m_mesh->GetIndexBuffer(), 0);
    for (int face = 0; face < kSkyBoxFaceCount; ++face) {
        device->SetTexture(0, m_mesh->GetFaceTexture(face));
        if (drawFaces)
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4 * face, 4, 6 * face, 2);
    }

    device->SetTransform(D3DTS_VIEW, &savedView);
    // The scene that follows sets its camera's projection anyway; putting the
    // saved one back keeps the box from leaking its lens to anything else.
    device->SetTransform(D3DTS_PROJECTION, &savedProjection);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
    device->SetRenderState(D3DRS_LIGHTING, lighting);
}

int SkyBoxPlugIn::Write(ScriptWriter* file)
{
    BackgroundPlugIn::Write(file);
    for (const std::string& name : m_faceNames)
        file->WriteString(name);
    return 0;
}

int SkyBoxPlugIn::Read(ScriptReader* file)
{
    if (BackgroundPlugIn::Read(file) != 0)
        return 1;
    for (std::string& name : m_faceNames) {
        if (!file->ReadString(&name))
            return 1;
    }
    return 0;
}
