// A device that passes every call on to a real one and keeps a log of the
// calls that drawing tests look at (states, textures, lights, draws), and that
// can be told to refuse or break the mesh buffers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8.h"

class TracingDevice : public IDirect3DDevice8 {
public:
    struct Call {
        std::string name; // the method's name
        DWORD a = 0;      // first argument (state, stage, index, primitive type)
        DWORD b = 0;      // second argument (value, enable, primitive count)
        DWORD c = 0;      // DrawIndexedPrimitive: start index
    };

    // Which buffer step fails.
    enum class Fault { None, CreateVertex, LockVertex, UnlockVertex, CreateIndex, LockIndex, UnlockIndex };

    explicit TracingDevice(IDirect3DDevice8* real) : m_real(real) {}

    // The calls of one name, in order.
    std::vector<Call> Named(const std::string& name) const
    {
        std::vector<Call> found;
        for (const Call& call : calls) {
            if (call.name == name) {
                found.push_back(call);
            }
        }
        return found;
    }

    std::vector<Call> calls;
    // The vertices of every DrawPrimitiveUP with a 36-byte stride, per call.
    std::vector<std::vector<uint8_t>> userVertices;
    Fault fault = Fault::None;
    int liveBuffers = 0; // buffers made through this device and not released

    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }

    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** buffer) override
    {
        return MakeBuffer<D3DVERTEXBUFFER_DESC>("CreateVertexBuffer", length, pool, buffer, Fault::CreateVertex,
                                                Fault::LockVertex, Fault::UnlockVertex, [&] {
                                                    return m_real->CreateVertexBuffer(length, usage, fvf, pool,
                                                                                      buffer);
                                                });
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer8** buffer) override
    {
        return MakeBuffer<D3DINDEXBUFFER_DESC>("CreateIndexBuffer", length, pool, buffer, Fault::CreateIndex,
                                               Fault::LockIndex, Fault::UnlockIndex, [&] {
                                                   return m_real->CreateIndexBuffer(length, usage, format, pool,
                                                                                    buffer);
                                               });
    }
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* data, UINT stride) override
    {
        return m_real->SetStreamSource(stream, Unwrap(data), stride);
    }
    HRESULT SetIndices(IDirect3DIndexBuffer8* data, UINT base) override
    {
        return m_real->SetIndices(Unwrap(data), base);
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override
    {
        Log("SetRenderState", state, value);
        return m_real->SetRenderState(state, value);
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        Log("SetTransform", state, 0);
        return m_real->SetTransform(state, matrix);
    }
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override
    {
        Log("SetLight", index, 0);
        lights.push_back(*light);
        return m_real->SetLight(index, light);
    }
    HRESULT LightEnable(DWORD index, BOOL enable) override
    {
        Log("LightEnable", index, enable);
        return m_real->LightEnable(index, enable);
    }
    HRESULT SetMaterial(const D3DMATERIAL8* material) override
    {
        Log("SetMaterial", 0, 0);
        return m_real->SetMaterial(material);
    }
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override
    {
        Log("SetTexture", stage, texture != nullptr ? 1 : 0);
        return m_real->SetTexture(stage, texture);
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override
    {
        Log("SetTextureStageState", stage, type);
        return m_real->SetTextureStageState(stage, type, value);
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices, UINT start,
                                 UINT count) override
    {
        Log("DrawIndexedPrimitive", vertices, count, start);
        return m_real->DrawIndexedPrimitive(type, minIndex, vertices, start, count);
    }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* data, UINT stride) override
    {
        Log("DrawPrimitiveUP", type, count);
        if (stride == 36 && type == D3DPT_TRIANGLEFAN) {
            const auto* bytes = static_cast<const uint8_t*>(data);
            userVertices.emplace_back(bytes, bytes + 36 * (count + 2));
        }
        return m_real->DrawPrimitiveUP(type, count, data, stride);
    }

    std::vector<D3DLIGHT8> lights; // every SetLight, in order

    HRESULT TestCooperativeLevel() override { return m_real->TestCooperativeLevel(); }
    HRESULT GetDirect3D(IDirect3D8** direct3d) override { return m_real->GetDirect3D(direct3d); }
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override { return m_real->GetDisplayMode(mode); }
    HRESULT Reset(D3DPRESENT_PARAMETERS* presentationParameters) override
    {
        return m_real->Reset(presentationParameters);
    }
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const void* dirtyRegion) override
    {
        return m_real->Present(sourceRect, destRect, destWindowOverride, dirtyRegion);
    }
    HRESULT GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** backBufferSurface) override
    {
        return m_real->GetBackBuffer(backBuffer, type, backBufferSurface);
    }
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** texture) override
    {
        return m_real->CreateTexture(width, height, levels, usage, format, pool, texture);
    }
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                               BOOL lockable, IDirect3DSurface8** surface) override
    {
        return m_real->CreateRenderTarget(width, height, format, multiSample, lockable, surface);
    }
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                      IDirect3DSurface8** surface) override
    {
        return m_real->CreateDepthStencilSurface(width, height, format, multiSample, surface);
    }
    HRESULT SetRenderTarget(IDirect3DSurface8* renderTarget, IDirect3DSurface8* newZStencil) override
    {
        return m_real->SetRenderTarget(renderTarget, newZStencil);
    }
    HRESULT GetRenderTarget(IDirect3DSurface8** renderTarget) override { return m_real->GetRenderTarget(renderTarget); }
    HRESULT GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface) override
    {
        return m_real->GetDepthStencilSurface(zStencilSurface);
    }
    HRESULT BeginScene() override { return m_real->BeginScene(); }
    HRESULT EndScene() override { return m_real->EndScene(); }
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override
    {
        return m_real->Clear(count, rects, flags, color, z, stencil);
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override
    {
        return m_real->GetTransform(state, matrix);
    }
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        return m_real->MultiplyTransform(state, matrix);
    }
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override { return m_real->SetViewport(viewport); }
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override { return m_real->GetViewport(viewport); }
    HRESULT GetMaterial(D3DMATERIAL8* material) override { return m_real->GetMaterial(material); }
    HRESULT GetLight(DWORD index, D3DLIGHT8* light) override { return m_real->GetLight(index, light); }
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override { return m_real->GetLightEnable(index, enable); }
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override
    {
        return m_real->GetRenderState(state, value);
    }
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override
    {
        return m_real->GetTexture(stage, texture);
    }
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override
    {
        return m_real->GetTextureStageState(stage, type, value);
    }
    HRESULT SetVertexShader(DWORD handle) override { return m_real->SetVertexShader(handle); }
    HRESULT GetVertexShader(DWORD* handle) override { return m_real->GetVertexShader(handle); }
    HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData, UINT* stride) override
    {
        return m_real->GetStreamSource(streamNumber, streamData, stride);
    }
    HRESULT GetIndices(IDirect3DIndexBuffer8** indexData, UINT* baseVertexIndex) override
    {
        return m_real->GetIndices(indexData, baseVertexIndex);
    }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount) override
    {
        return m_real->DrawPrimitive(primitiveType, startVertex, primitiveCount);
    }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex, UINT numVertexIndices,
                                   UINT primitiveCount, const void* indexData, D3DFORMAT indexDataFormat,
                                   const void* vertexStreamZeroData, UINT vertexStreamZeroStride) override
    {
        return m_real->DrawIndexedPrimitiveUP(primitiveType, minVertexIndex, numVertexIndices, primitiveCount,
                                              indexData, indexDataFormat, vertexStreamZeroData, vertexStreamZeroStride);
    }

private:
    // A real buffer whose Lock or Unlock can be made to fail; counts itself.
    template <typename Interface, typename Desc>
    class CountedBuffer : public Interface {
    public:
        CountedBuffer(Interface* real, TracingDevice* owner, bool failLock, bool failUnlock)
            : real_(real), owner_(owner), failLock_(failLock), failUnlock_(failUnlock)
        {
            ++owner_->liveBuffers;
        }
        ULONG AddRef() override { return ++references_; }
        ULONG Release() override
        {
            const ULONG left = --references_;
            if (left == 0) {
                --owner_->liveBuffers;
                real_->Release();
                delete this;
            }
            return left;
        }
        HRESULT GetDevice(IDirect3DDevice8** device) override { return real_->GetDevice(device); }
        D3DRESOURCETYPE GetType() override { return real_->GetType(); }
        HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override
        {
            return failLock_ ? D3DERR_INVALIDCALL : real_->Lock(offset, size, data, flags);
        }
        HRESULT Unlock() override
        {
            const HRESULT result = real_->Unlock();
            return failUnlock_ ? D3DERR_INVALIDCALL : result;
        }
        HRESULT GetDesc(Desc* desc) override { return real_->GetDesc(desc); }
        Interface* real() const { return real_; }

    private:
        Interface* real_;
        TracingDevice* owner_;
        bool failLock_;
        bool failUnlock_;
        ULONG references_ = 1;
    };

    static IDirect3DVertexBuffer8* Unwrap(IDirect3DVertexBuffer8* buffer)
    {
        auto* counted = static_cast<CountedBuffer<IDirect3DVertexBuffer8, D3DVERTEXBUFFER_DESC>*>(buffer);
        return counted != nullptr ? counted->real() : nullptr;
    }
    static IDirect3DIndexBuffer8* Unwrap(IDirect3DIndexBuffer8* buffer)
    {
        auto* counted = static_cast<CountedBuffer<IDirect3DIndexBuffer8, D3DINDEXBUFFER_DESC>*>(buffer);
        return counted != nullptr ? counted->real() : nullptr;
    }

    // Logs the creation, fails it when told to, and wraps what the real
    // device made.
    template <typename Desc, typename Interface, typename Create>
    HRESULT MakeBuffer(const char* name, UINT length, D3DPOOL pool, Interface** buffer, Fault create, Fault lock,
                       Fault unlock, Create createReal)
    {
        Log(name, length, pool);
        if (fault == create) {
            *buffer = nullptr;
            return D3DERR_OUTOFVIDEOMEMORY;
        }
        const HRESULT result = createReal();
        if (result == D3D_OK) {
            *buffer = new CountedBuffer<Interface, Desc>(*buffer, this, fault == lock, fault == unlock);
        }
        return result;
    }

    void Log(const char* name, DWORD a, DWORD b, DWORD c = 0) { calls.push_back(Call{name, a, b, c}); }

    IDirect3DDevice8* m_real;
};
