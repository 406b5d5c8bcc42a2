#include "gfx/render_texture.h"

#include "gfx/screen_vertex.h"
#include "platform/d3d8/release_interface.h"
#include "platform/report/report.h"

RenderTexture::RenderTexture(IDirect3DDevice8* device) : m_device(device) {}

RenderTexture::~RenderTexture()
{
    ReleaseSurfaces();
}

void RenderTexture::ReleaseSurfaces()
{
    ReleaseInterface(m_surface);
    ReleaseInterface(m_depth);
    ReleaseInterface(m_texture);
    ReleaseInterface(m_savedTarget);
    ReleaseInterface(m_savedDepth);
}

int RenderTexture::Create(UINT width, UINT height)
{
    ReleaseSurfaces();
    if (!m_device) {
        ShowError("LibDX : Could not create Render To Texture");
        return 1;
    }
    if (m_device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                &m_texture) != D3D_OK ||
        !m_texture) {
        ShowError("LibDX : Could not create Render To Texture");
        return 1;
    }
    if (m_device->CreateDepthStencilSurface(width, height, D3DFMT_D24X8, D3DMULTISAMPLE_NONE, &m_depth) != D3D_OK ||
        !m_depth) {
        ShowError("LibDX : Could not create Render To Texture ZBuffer");
        return 1;
    }
    if (m_texture->GetSurfaceLevel(0, &m_surface) != D3D_OK || !m_surface) {
        ShowError("LibDX : Could not get Surface level Render To Texture");
        return 1;
    }
    if (m_device->GetRenderTarget(&m_savedTarget) != D3D_OK || !m_savedTarget) {
        ShowError("LibDX : Could not get Render Target");
        return 1;
    }
    if (m_device->GetDepthStencilSurface(&m_savedDepth) != D3D_OK || !m_savedDepth) {
        ShowError("LibDX : Could not ZBuffer Surface");
        return 1;
    }

    // A trial scene in the texture, so that a target the device cannot use
    // is found now rather than in the middle of the show.
    if (m_device->SetRenderTarget(m_surface, m_depth) != D3D_OK) {
        ShowError("LibDX : Cannot Set Render Target");
        return 1;
    }
    if (m_device->BeginScene() != D3D_OK) {
        ShowError("LibDX : Cannot Begin Scene in a texture");
        m_device->SetRenderTarget(m_savedTarget, m_savedDepth);
        return 1;
    }
    if (m_device->EndScene() != D3D_OK) {
        ShowError("LibDX : Cannot End Scene in a texture");
        m_device->SetRenderTarget(m_savedTarget, m_savedDepth);
        return 1;
    }
    m_device->SetRenderTarget(m_savedTarget, m_savedDepth);
    return 0;
}

void RenderTexture::BeginScene()
{
    if (m_device->SetRenderTarget(m_surface, m_depth) != D3D_OK) {
        ShowError("LibDX : Cannot Set Render Target");
        return;
    }
    if (m_device->BeginScene() != D3D_OK)
        ShowError("LibDX : Cannot Begin Scene in a texture");
}

void RenderTexture::EndScene()
{
    if (m_device->EndScene() != D3D_OK) {
        ShowError("LibDX : Cannot End Scene in a texture");
        return;
    }
    m_device->SetRenderTarget(m_savedTarget, m_savedDepth);
}

void RenderTexture::DrawFade(IDirect3DDevice8* device, IDirect3DBaseTexture8* texture, float amount)
{
    if (!(amount > 0.0f) || amount > 1.0f)
        return;
    D3DVIEWPORT8 viewport;
    if (device->GetViewport(&viewport) != D3D_OK) {
        ShowError("LibDemo : Cannot get viewport for rendering to texture");
        return;
    }
    const float w = static_cast<float>(viewport.Width);
    const float h = static_cast<float>(viewport.Height);
    const D3DCOLOR colour = (static_cast<DWORD>(amount * 255.0f) << 24) | 0x00FFFFFFu;
    const ScreenVertex quad[4] = {
        {0.0f, 0.0f, 10.0f, 1.0f, colour, 0.0f, 0.0f},
        {w, 0.0f, 10.0f, 1.0f, colour, 1.0f, 0.0f},
        {w, h, 10.0f, 1.0f, colour, 1.0f, 1.0f},
        {0.0f, h, 10.0f, 1.0f, colour, 0.0f, 1.0f},
    };

    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetVertexShader(kScreenVertexFvf);
    device->SetTexture(0, texture);

    device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(ScreenVertex));

    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
}

void RenderTexture::DrawOverlay(IDirect3DDevice8* device, IDirect3DBaseTexture8* texture, float xOffset,
                                float yOffset, float width, float height, int alpha)
{
    D3DVIEWPORT8 viewport;
    if (device->GetViewport(&viewport) != D3D_OK) {
        ShowError("LibDemo : Cannot get viewport");
        return;
    }
    const float W = static_cast<float>(viewport.Width);
    const float H = static_cast<float>(viewport.Height);
    const float w = W * width;
    const float h = H * height;
    const float x0 = W * xOffset + W * 0.5f - w * 0.5f;
    const float y0 = H * 0.5f - H * yOffset - h * 0.5f;
    const float x1 = x0 + w;
    const float y1 = y0 + h;
    const D3DCOLOR colour = (static_cast<DWORD>(alpha) << 24) | 0x00FFFFFFu;
    const ScreenVertex quad[4] = {
        {x0, y0, 0.0f, 1.0f, colour, 0.0f, 0.0f},
        {x1, y0, 0.0f, 1.0f, colour, 1.0f, 0.0f},
        {x1, y1, 0.0f, 1.0f, colour, 1.0f, 1.0f},
        {x0, y1, 0.0f, 1.0f, colour, 0.0f, 1.0f},
    };

    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetTexture(0, texture);
    device->SetVertexShader(kScreenVertexFvf);

    device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(ScreenVertex));

    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}
