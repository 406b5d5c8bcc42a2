// A Direct3D device that passes every call on to a real one and, while told
// to, notes each clear and draw of a frame with what decides its pixels: the
// target, the transforms, the stage-0 texture and its sampling, the blend,
// depth, cull and fill states and the vertices and indices it reads. The
// floor benchmark bakes such a frame into static buffers.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/d3d8/d3d8.h"

struct RecordedState {
    IDirect3DSurface8* target = nullptr; // null: the back buffer
    IDirect3DBaseTexture8* texture = nullptr;
    DWORD minFilter = 0, magFilter = 0, mipFilter = 0, addressU = 0, addressV = 0;
    DWORD blend = 0, srcBlend = 0, destBlend = 0;
    DWORD zEnable = 0, zWrite = 0, zFunc = 0, cull = 0, fill = 0;

    bool operator==(const RecordedState& o) const
    {
        return target == o.target && texture == o.texture && minFilter == o.minFilter && magFilter == o.magFilter &&
               mipFilter == o.mipFilter && addressU == o.addressU && addressV == o.addressV && blend == o.blend &&
               srcBlend == o.srcBlend && destBlend == o.destBlend && zEnable == o.zEnable && zWrite == o.zWrite &&
               zFunc == o.zFunc && cull == o.cull && fill == o.fill;
    }
};

struct RecordedOp {
    bool clear = false;
    DWORD clearFlags = 0;
    D3DCOLOR clearColour = 0;
    float clearZ = 1.0f;
    RecordedState state;
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    DWORD fvf = 0;
    UINT stride = 0;
    D3DMATRIX worldViewProjection{};
    UINT viewportWidth = 0, viewportHeight = 0;
    std::vector<uint8_t> vertices;  // `stride` bytes each
    std::vector<uint32_t> indices;  // empty: the vertices in order
};

class RecordingDevice : public IDirect3DDevice8 {
public:
    explicit RecordingDevice(IDirect3DDevice8* real) : m_real(real)
    {
        for (DWORD i = 0; i < 4; ++i) {
            std::memset(&m_transforms[i], 0, sizeof(D3DMATRIX));
            m_transforms[i]._11 = m_transforms[i]._22 = m_transforms[i]._33 = m_transforms[i]._44 = 1.0f;
        }
    }

    void StartRecording()
    {
        m_ops.clear();
        m_recording = true;
    }
    std::vector<RecordedOp> StopRecording()
    {
        m_recording = false;
        return std::move(m_ops);
    }
    IDirect3DDevice8* Real() const { return m_real; }

    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT TestCooperativeLevel() override { return m_real->TestCooperativeLevel(); }
    HRESULT GetDirect3D(IDirect3D8** d) override { return m_real->GetDirect3D(d); }
    HRESULT GetDisplayMode(D3DDISPLAYMODE* m) override { return m_real->GetDisplayMode(m); }
    HRESULT Reset(D3DPRESENT_PARAMETERS* p) override { return m_real->Reset(p); }
    HRESULT Present(const RECT* s, const RECT* d, HWND w, const void* r) override { return m_real->Present(s, d, w, r); }
    HRESULT GetBackBuffer(UINT b, D3DBACKBUFFER_TYPE t, IDirect3DSurface8** s) override
    {
        return m_real->GetBackBuffer(b, t, s);
    }
    HRESULT CreateTexture(UINT w, UINT h, UINT l, DWORD u, D3DFORMAT f, D3DPOOL p, IDirect3DTexture8** t) override
    {
        return m_real->CreateTexture(w, h, l, u, f, p, t);
    }
    HRESULT CreateVertexBuffer(UINT l, DWORD u, DWORD f, D3DPOOL p, IDirect3DVertexBuffer8** b) override
    {
        return m_real->CreateVertexBuffer(l, u, f, p, b);
    }
    HRESULT CreateIndexBuffer(UINT l, DWORD u, D3DFORMAT f, D3DPOOL p, IDirect3DIndexBuffer8** b) override
    {
        return m_real->CreateIndexBuffer(l, u, f, p, b);
    }
    HRESULT CreateRenderTarget(UINT w, UINT h, D3DFORMAT f, D3DMULTISAMPLE_TYPE m, BOOL l,
                               IDirect3DSurface8** s) override
    {
        return m_real->CreateRenderTarget(w, h, f, m, l, s);
    }
    HRESULT CreateDepthStencilSurface(UINT w, UINT h, D3DFORMAT f, D3DMULTISAMPLE_TYPE m,
                                      IDirect3DSurface8** s) override
    {
        return m_real->CreateDepthStencilSurface(w, h, f, m, s);
    }
    HRESULT SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depth) override
    {
        const HRESULT result = m_real->SetRenderTarget(target, depth);
        if (result == D3D_OK && target != nullptr) {
            IDirect3DSurface8* back = nullptr;
            m_real->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back);
            m_target = target == back ? nullptr : target;
            if (back != nullptr)
                back->Release();
        }
        return result;
    }
    HRESULT GetRenderTarget(IDirect3DSurface8** s) override { return m_real->GetRenderTarget(s); }
    HRESULT GetDepthStencilSurface(IDirect3DSurface8** s) override { return m_real->GetDepthStencilSurface(s); }
    HRESULT BeginScene() override { return m_real->BeginScene(); }
    HRESULT EndScene() override { return m_real->EndScene(); }
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z, DWORD stencil) override
    {
        if (m_recording) {
            RecordedOp op;
            op.clear = true;
            op.clearFlags = flags;
            op.clearColour = colour;
            op.clearZ = z;
            op.state.target = m_target;
            m_ops.push_back(std::move(op));
        }
        return m_real->Clear(count, rects, flags, colour, z, stencil);
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        const HRESULT result = m_real->SetTransform(state, matrix);
        if (result == D3D_OK)
            Track(state);
        return result;
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX* m) override { return m_real->GetTransform(s, m); }
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        const HRESULT result = m_real->MultiplyTransform(state, matrix);
        if (result == D3D_OK)
            Track(state);
        return result;
    }
    HRESULT SetViewport(const D3DVIEWPORT8* v) override { return m_real->SetViewport(v); }
    HRESULT GetViewport(D3DVIEWPORT8* v) override { return m_real->GetViewport(v); }
    HRESULT SetMaterial(const D3DMATERIAL8* m) override { return m_real->SetMaterial(m); }
    HRESULT GetMaterial(D3DMATERIAL8* m) override { return m_real->GetMaterial(m); }
    HRESULT SetLight(DWORD i, const D3DLIGHT8* l) override { return m_real->SetLight(i, l); }
    HRESULT GetLight(DWORD i, D3DLIGHT8* l) override { return m_real->GetLight(i, l); }
    HRESULT LightEnable(DWORD i, BOOL e) override { return m_real->LightEnable(i, e); }
    HRESULT GetLightEnable(DWORD i, BOOL* e) override { return m_real->GetLightEnable(i, e); }
    HRESULT SetRenderState(D3DRENDERSTATETYPE s, DWORD v) override { return m_real->SetRenderState(s, v); }
    HRESULT GetRenderState(D3DRENDERSTATETYPE s, DWORD* v) override { return m_real->GetRenderState(s, v); }
    HRESULT GetTexture(DWORD s, IDirect3DBaseTexture8** t) override { return m_real->GetTexture(s, t); }
    HRESULT SetTexture(DWORD s, IDirect3DBaseTexture8* t) override { return m_real->SetTexture(s, t); }
    HRESULT GetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, DWORD* v) override
    {
        return m_real->GetTextureStageState(s, t, v);
    }
    HRESULT SetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, DWORD v) override
    {
        return m_real->SetTextureStageState(s, t, v);
    }
    HRESULT SetVertexShader(DWORD h) override { return m_real->SetVertexShader(h); }
    HRESULT GetVertexShader(DWORD* h) override { return m_real->GetVertexShader(h); }
    HRESULT SetStreamSource(UINT n, IDirect3DVertexBuffer8* b, UINT s) override
    {
        return m_real->SetStreamSource(n, b, s);
    }
    HRESULT GetStreamSource(UINT n, IDirect3DVertexBuffer8** b, UINT* s) override
    {
        return m_real->GetStreamSource(n, b, s);
    }
    HRESULT SetIndices(IDirect3DIndexBuffer8* i, UINT b) override { return m_real->SetIndices(i, b); }
    HRESULT GetIndices(IDirect3DIndexBuffer8** i, UINT* b) override { return m_real->GetIndices(i, b); }

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) override
    {
        if (m_recording)
            RecordBufferDraw(type, start, count, nullptr, 0);
        return m_real->DrawPrimitive(type, start, count);
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT count) override
    {
        if (m_recording) {
            IDirect3DIndexBuffer8* indices = nullptr;
            UINT base = 0;
            m_real->GetIndices(&indices, &base);
            if (indices != nullptr) {
                RecordBufferDraw(type, 0, count, indices, startIndex, base);
                indices->Release();
            }
        }
        (void)minIndex;
        (void)numVertices;
        return m_real->DrawIndexedPrimitive(type, minIndex, numVertices, startIndex, count);
    }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* data, UINT stride) override
    {
        if (m_recording && data != nullptr) {
            RecordedOp op = Begin(type, stride);
            const size_t bytes = static_cast<size_t>(VertexCount(type, count)) * stride;
            op.vertices.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + bytes);
            m_ops.push_back(std::move(op));
        }
        return m_real->DrawPrimitiveUP(type, count, data, stride);
    }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT count,
                                   const void* indexData, D3DFORMAT format, const void* data, UINT stride) override
    {
        if (m_recording && data != nullptr && indexData != nullptr) {
            RecordedOp op = Begin(type, stride);
            op.vertices.assign(static_cast<const uint8_t*>(data),
                               static_cast<const uint8_t*>(data) + static_cast<size_t>(minIndex + numVertices) * stride);
            const UINT n = VertexCount(type, count);
            for (UINT i = 0; i < n; ++i)
                op.indices.push_back(format == D3DFMT_INDEX32 ? static_cast<const uint32_t*>(indexData)[i]
                                                              : static_cast<const uint16_t*>(indexData)[i]);
            m_ops.push_back(std::move(op));
        }
        return m_real->DrawIndexedPrimitiveUP(type, minIndex, numVertices, count, indexData, format, data, stride);
    }

private:
    static UINT VertexCount(D3DPRIMITIVETYPE type, UINT count)
    {
        switch (type) {
        case D3DPT_POINTLIST:
            return count;
        case D3DPT_LINELIST:
            return 2 * count;
        case D3DPT_LINESTRIP:
            return count + 1;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return count + 2;
        default:
            return 3 * count;
        }
    }

    void Track(D3DTRANSFORMSTATETYPE state)
    {
        const int slot = state == D3DTS_WORLD ? 0 : state == D3DTS_VIEW ? 1 : state == D3DTS_PROJECTION ? 2 : -1;
        if (slot >= 0)
            m_real->GetTransform(state, &m_transforms[slot]);
    }

    static D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
    {
        D3DMATRIX r{};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                float sum = 0.0f;
                for (int k = 0; k < 4; ++k)
                    sum += a.m[i][k] * b.m[k][j];
                r.m[i][j] = sum;
            }
        return r;
    }

    RecordedOp Begin(D3DPRIMITIVETYPE type, UINT stride)
    {
        RecordedOp op;
        op.type = type;
        op.stride = stride;
        m_real->GetVertexShader(&op.fvf);
        op.worldViewProjection = Multiply(Multiply(m_transforms[0], m_transforms[1]), m_transforms[2]);
        D3DVIEWPORT8 viewport{};
        m_real->GetViewport(&viewport);
        op.viewportWidth = viewport.Width;
        op.viewportHeight = viewport.Height;
        RecordedState& s = op.state;
        s.target = m_target;
        m_real->GetTexture(0, &s.texture);
        if (s.texture != nullptr)
            s.texture->Release(); // the texture outlives the recorded frame
        m_real->GetTextureStageState(0, D3DTSS_MINFILTER, &s.minFilter);
        m_real->GetTextureStageState(0, D3DTSS_MAGFILTER, &s.magFilter);
        m_real->GetTextureStageState(0, D3DTSS_MIPFILTER, &s.mipFilter);
        m_real->GetTextureStageState(0, D3DTSS_ADDRESSU, &s.addressU);
        m_real->GetTextureStageState(0, D3DTSS_ADDRESSV, &s.addressV);
        m_real->GetRenderState(D3DRS_ALPHABLENDENABLE, &s.blend);
        m_real->GetRenderState(D3DRS_SRCBLEND, &s.srcBlend);
        m_real->GetRenderState(D3DRS_DESTBLEND, &s.destBlend);
        m_real->GetRenderState(D3DRS_ZENABLE, &s.zEnable);
        m_real->GetRenderState(D3DRS_ZWRITEENABLE, &s.zWrite);
        m_real->GetRenderState(D3DRS_ZFUNC, &s.zFunc);
        m_real->GetRenderState(D3DRS_CULLMODE, &s.cull);
        m_real->GetRenderState(D3DRS_FILLMODE, &s.fill);
        return op;
    }

    // A draw from the bound stream (and index buffer): the vertices it reads
    // are copied from the buffer's contents.
    void RecordBufferDraw(D3DPRIMITIVETYPE type, UINT start, UINT count, IDirect3DIndexBuffer8* indices,
                          UINT startIndex, UINT baseVertex = 0)
    {
        IDirect3DVertexBuffer8* stream = nullptr;
        UINT stride = 0;
        m_real->GetStreamSource(0, &stream, &stride);
        if (stream == nullptr)
            return;
        RecordedOp op = Begin(type, stride);
        D3DVERTEXBUFFER_DESC desc{};
        stream->GetDesc(&desc);
        BYTE* bytes = nullptr;
        if (stream->Lock(0, 0, &bytes, D3DLOCK_READONLY) == D3D_OK && bytes != nullptr) {
            op.vertices.assign(bytes, bytes + desc.Size);
            stream->Unlock();
        }
        stream->Release();
        const UINT n = VertexCount(type, count);
        if (indices != nullptr) {
            D3DINDEXBUFFER_DESC indexDesc{};
            indices->GetDesc(&indexDesc);
            BYTE* data = nullptr;
            if (indices->Lock(0, 0, &data, D3DLOCK_READONLY) == D3D_OK && data != nullptr) {
                for (UINT i = 0; i < n; ++i) {
                    const UINT at = startIndex + i;
                    op.indices.push_back(baseVertex + (indexDesc.Format == D3DFMT_INDEX32
                                                           ? reinterpret_cast<const uint32_t*>(data)[at]
                                                           : reinterpret_cast<const uint16_t*>(data)[at]));
                }
                indices->Unlock();
            }
        } else {
            for (UINT i = 0; i < n; ++i)
                op.indices.push_back(start + i);
        }
        m_ops.push_back(std::move(op));
    }

    IDirect3DDevice8* m_real;
    bool m_recording = false;
    IDirect3DSurface8* m_target = nullptr;
    D3DMATRIX m_transforms[4];
    std::vector<RecordedOp> m_ops;
};
