// Drawing speed of the Direct3D stand-in on a 640 x 480 headless device:
// many one-triangle user-pointer draws per frame (state unchanged, a
// material's states re-applied between calls, a texture switched between
// calls) and one large lit, textured indexed mesh. Each iteration is one
// whole frame, finished by the rasteriser: "fps" is frames per second and
// "per_call" the frame time divided by the draw calls in it, in seconds
// ("1.9u" is 1.9 microseconds).
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "demo/texture_stage_defaults.h"
#include "platform/d3d8/d3d8.h"
#include "tests/support/headless_device.h"

namespace {

constexpr int kCallsPerFrame = 10000;

struct MeshVertex {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kMeshFvf = 0x152;

D3DMATRIX Identity()
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof(m));
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// A left-handed perspective looking down +z from the origin.
D3DMATRIX Perspective(float fovY, float aspect, float zn, float zf)
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof(m));
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    m._11 = yScale / aspect;
    m._22 = yScale;
    m._33 = zf / (zf - zn);
    m._34 = 1.0f;
    m._43 = -zn * zf / (zf - zn);
    return m;
}

IDirect3DDevice8* MakeDevice()
{
    HeadlessDeviceOptions options;
    options.width = 640;
    options.height = 480;
    return AcquireHeadlessDevice(options);
}

IDirect3DTexture8* MakeCheckerTexture(IDirect3DDevice8* device, UINT size)
{
    IDirect3DTexture8* texture = nullptr;
    if (device->CreateTexture(size, size, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture) != D3D_OK) {
        return nullptr;
    }
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT locked{};
        texture->LockRect(level, &locked, nullptr, 0);
        for (UINT y = 0; y < desc.Height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
            for (UINT x = 0; x < desc.Width; ++x) {
                row[x] = ((x / 8 + y / 8) & 1) != 0 ? 0xFFE0C080 : 0xFF406080;
            }
        }
        texture->UnlockRect(level);
    }
    return texture;
}

// Lit, textured state as a scene material leaves it.
void SetSceneState(IDirect3DDevice8* device, IDirect3DTexture8* texture)
{
    const D3DMATRIX identity = Identity();
    const D3DMATRIX projection = Perspective(0.8f, 640.0f / 480.0f, 1.0f, 1000.0f);
    D3DMATRIX world = identity;
    world._43 = 10.0f;
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    D3DMATERIAL8 material{};
    material.Diffuse = {0.8f, 0.8f, 0.8f, 1.0f};
    material.Ambient = {0.3f, 0.3f, 0.3f, 1.0f};
    device->SetMaterial(&material);
    D3DLIGHT8 point{};
    point.Type = D3DLIGHT_POINT;
    point.Diffuse = {1.0f, 0.9f, 0.8f, 1.0f};
    point.Position = {2.0f, 3.0f, 4.0f};
    point.Range = 100.0f;
    point.Attenuation1 = 0.05f;
    device->SetLight(0, &point);
    device->LightEnable(0, TRUE);
    D3DLIGHT8 sun{};
    sun.Type = D3DLIGHT_DIRECTIONAL;
    sun.Diffuse = {0.3f, 0.3f, 0.4f, 1.0f};
    sun.Direction = {0.0f, -1.0f, 1.0f};
    device->SetLight(1, &sun);
    device->LightEnable(1, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0x00202020);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetTexture(0, texture);
    SetDefaultTextureStageStates(device);
    device->SetVertexShader(kMeshFvf);
}

// kCallsPerFrame small triangles spread over the view.
std::vector<MeshVertex> SmallTriangles()
{
    std::vector<MeshVertex> vertices;
    vertices.reserve(kCallsPerFrame * 3);
    for (int i = 0; i < kCallsPerFrame; ++i) {
        const float x = static_cast<float>(i % 100) * 0.12f - 6.0f;
        const float y = static_cast<float>(i / 100) * 0.09f - 4.5f;
        const D3DCOLOR color = 0xFF000000u | static_cast<D3DCOLOR>(i * 2654435761u & 0xFFFFFF);
        vertices.push_back({x, y, 0.0f, 0, 0, -1, color, 0.0f, 0.0f});
        vertices.push_back({x + 0.1f, y, 0.0f, 0, 0, -1, color, 1.0f, 0.0f});
        vertices.push_back({x, y - 0.08f, 0.0f, 0, 0, -1, color, 0.0f, 1.0f});
    }
    return vertices;
}

void EndFrame(IDirect3DDevice8* device)
{
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    glFinish(); // the frame counts once the rasteriser has drawn it
}

void ReportPerCall(benchmark::State& state, int callsPerFrame)
{
    state.counters["fps"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["per_call"] = benchmark::Counter(
        callsPerFrame, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

enum class Between { Nothing, MaterialReapplied, TextureSwitched };

void RunSmallTriangles(benchmark::State& state, Between between)
{
    IDirect3DDevice8* device = MakeDevice();
    if (device == nullptr) {
        state.SkipWithError("no headless device");
        return;
    }
    IDirect3DTexture8* texture = MakeCheckerTexture(device, 64);
    IDirect3DTexture8* other = MakeCheckerTexture(device, 32);
    SetSceneState(device, texture);
    const std::vector<MeshVertex> vertices = SmallTriangles();
    D3DMATERIAL8 material{};
    device->GetMaterial(&material);

    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000044, 1.0f, 0);
        device->BeginScene();
        for (int i = 0; i < kCallsPerFrame; ++i) {
            if (between == Between::MaterialReapplied) {
                // What a material's apply and unapply set around each subset.
                for (DWORD stage = 1; stage < 8; ++stage) {
                    device->SetTexture(stage, nullptr);
                }
                device->SetTexture(0, texture);
                device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
                device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
                device->SetMaterial(&material);
                DWORD cull = 0;
                device->GetRenderState(D3DRS_CULLMODE, &cull);
                device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
                device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
                device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
                device->SetRenderState(D3DRS_ZENABLE, TRUE);
                device->SetRenderState(D3DRS_CULLMODE, cull);
                device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
            } else if (between == Between::TextureSwitched) {
                device->SetTexture(0, (i & 1) != 0 ? other : texture);
            }
            device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, &vertices[static_cast<size_t>(i) * 3], sizeof(MeshVertex));
        }
        EndFrame(device);
    }
    ReportPerCall(state, kCallsPerFrame);
    device->SetTexture(0, nullptr);
    texture->Release();
    other->Release();
    ReleaseHeadlessDevice(device);
}

void BM_UpTrianglesUnchangedState(benchmark::State& state)
{
    RunSmallTriangles(state, Between::Nothing);
}
BENCHMARK(BM_UpTrianglesUnchangedState)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UpTrianglesMaterialReapplied(benchmark::State& state)
{
    RunSmallTriangles(state, Between::MaterialReapplied);
}
BENCHMARK(BM_UpTrianglesMaterialReapplied)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UpTrianglesTextureSwitched(benchmark::State& state)
{
    RunSmallTriangles(state, Between::TextureSwitched);
}
BENCHMARK(BM_UpTrianglesTextureSwitched)->Unit(benchmark::kMillisecond)->UseRealTime();

// A lit, textured grid of about 100,000 triangles in one indexed draw.
void BM_LitTexturedMesh100k(benchmark::State& state)
{
    IDirect3DDevice8* device = MakeDevice();
    if (device == nullptr) {
        state.SkipWithError("no headless device");
        return;
    }
    constexpr int kQuads = 224; // 224 x 224 x 2 = 100,352 triangles
    constexpr int kSide = kQuads + 1;
    std::vector<MeshVertex> vertices;
    vertices.reserve(kSide * kSide);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const float fx = static_cast<float>(x) / kQuads;
            const float fy = static_cast<float>(y) / kQuads;
            const float height = 0.3f * std::sin(fx * 12.0f) * std::cos(fy * 9.0f);
            vertices.push_back({fx * 12.0f - 6.0f, fy * 9.0f - 4.5f, height, 0.0f, 0.0f, -1.0f, 0xFFFFFFFF,
                                fx * 4.0f, fy * 4.0f});
        }
    }
    std::vector<uint16_t> indices;
    indices.reserve(kQuads * kQuads * 6);
    for (int y = 0; y < kQuads; ++y) {
        for (int x = 0; x < kQuads; ++x) {
            const auto v = static_cast<uint16_t>(y * kSide + x);
            const auto right = static_cast<uint16_t>(v + 1);
            const auto below = static_cast<uint16_t>(v + kSide);
            const auto diagonal = static_cast<uint16_t>(below + 1);
            indices.insert(indices.end(), {v, right, diagonal, v, diagonal, below});
        }
    }
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    const auto vbBytes = static_cast<UINT>(vertices.size() * sizeof(MeshVertex));
    const auto ibBytes = static_cast<UINT>(indices.size() * sizeof(uint16_t));
    device->CreateVertexBuffer(vbBytes, D3DUSAGE_WRITEONLY, kMeshFvf, D3DPOOL_DEFAULT, &vb);
    device->CreateIndexBuffer(ibBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib);
    BYTE* data = nullptr;
    vb->Lock(0, vbBytes, &data, 0);
    std::memcpy(data, vertices.data(), vbBytes);
    vb->Unlock();
    ib->Lock(0, ibBytes, &data, 0);
    std::memcpy(data, indices.data(), ibBytes);
    ib->Unlock();

    IDirect3DTexture8* texture = MakeCheckerTexture(device, 256);
    SetSceneState(device, texture);
    device->SetStreamSource(0, vb, sizeof(MeshVertex));
    device->SetIndices(ib, 0);
    const auto triangles = static_cast<UINT>(indices.size() / 3);
    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000044, 1.0f, 0);
        device->BeginScene();
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertices.size()), 0, triangles);
        EndFrame(device);
    }
    state.counters["fps"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["triangles"] = triangles;
    device->SetTexture(0, nullptr);
    texture->Release();
    ReleaseHeadlessDevice(device);
    vb->Release();
    ib->Release();
}
BENCHMARK(BM_LitTexturedMesh100k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The vertex buffers of 20 deformed meshes of 10,201 vertices rewritten
// whole, one lock, copy and unlock each, and each drawn as points between
// rewrites so that its storage is in use: the cost of handing a modifier
// chain's result to the device, apart from computing it. "cpu" is the
// thread's CPU time, steadier than the wall clock on a busy machine.
void BM_TwentyVertexBufferRewrites(benchmark::State& state)
{
    IDirect3DDevice8* device = MakeDevice();
    if (device == nullptr) {
        state.SkipWithError("no headless device");
        return;
    }
    constexpr int kBuffers = 20;
    constexpr UINT kVertices = 101 * 101;
    constexpr UINT kBytes = kVertices * sizeof(MeshVertex);
    std::vector<MeshVertex> source(kVertices, MeshVertex{0.0f, 0.0f, 0.5f, 0.0f, 0.0f, -1.0f, 0xFFFFFFFF, 0, 0});
    IDirect3DVertexBuffer8* buffers[kBuffers] = {};
    for (IDirect3DVertexBuffer8*& buffer : buffers) {
        device->CreateVertexBuffer(kBytes, D3DUSAGE_WRITEONLY, kMeshFvf, D3DPOOL_DEFAULT, &buffer);
    }
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetVertexShader(kMeshFvf);
    float shift = 0.0f;
    for (auto _ : state) {
        device->BeginScene();
        for (IDirect3DVertexBuffer8* buffer : buffers) {
            source[0].x = shift;
            BYTE* data = nullptr;
            if (buffer->Lock(0, kBytes, &data, 0) != D3D_OK || data == nullptr) {
                state.SkipWithError("lock failed");
                break;
            }
            std::memcpy(data, source.data(), kBytes);
            buffer->Unlock();
            device->SetStreamSource(0, buffer, sizeof(MeshVertex));
            device->DrawPrimitive(D3DPT_POINTLIST, 0, 1);
        }
        shift += 0.001f;
        EndFrame(device);
    }
    device->SetStreamSource(0, nullptr, 0);
    for (IDirect3DVertexBuffer8* buffer : buffers) {
        buffer->Release();
    }
    ReleaseHeadlessDevice(device);
}
BENCHMARK(BM_TwentyVertexBufferRewrites)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
