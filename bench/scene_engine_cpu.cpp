// The engine's own CPU work per frame (node update, culling, the transparent
// sort and every call it makes into the device), measured against a device
// that only keeps transforms and render states, so no drawing cost is
// counted; and the same frames on the headless OpenGL device for comparison.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "scene/transparent_face_list.h"
#include "tests/support/headless_device.h"
#include "tests/support/pack_builder.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace {

// Bytes in memory standing for a vertex or index buffer.
template <typename Interface, typename Desc>
class MemoryBuffer : public Interface {
public:
    explicit MemoryBuffer(UINT length) : bytes_(length) {}
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override
    {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT GetDevice(IDirect3DDevice8**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE GetType() override { return 0; }
    HRESULT Lock(UINT offset, UINT, BYTE** data, DWORD) override
    {
        *data = bytes_.data() + offset;
        return D3D_OK;
    }
    HRESULT Unlock() override { return D3D_OK; }
    HRESULT GetDesc(Desc*) override { return D3DERR_INVALIDCALL; }

private:
    std::vector<BYTE> bytes_;
    ULONG references_ = 1;
};

// Accepts every call; keeps what the engine reads back.
class NullDevice : public IDirect3DDevice8 {
public:
    NullDevice()
    {
        for (D3DMATRIX& m : transforms_) {
            std::memset(&m, 0, sizeof m);
            m._11 = m._22 = m._33 = m._44 = 1.0f;
        }
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT CreateVertexBuffer(UINT length, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer8** buffer) override
    {
        *buffer = new MemoryBuffer<IDirect3DVertexBuffer8, D3DVERTEXBUFFER_DESC>(length);
        return D3D_OK;
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer8** buffer) override
    {
        *buffer = new MemoryBuffer<IDirect3DIndexBuffer8, D3DINDEXBUFFER_DESC>(length);
        return D3D_OK;
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override
    {
        states_[state & 255] = value;
        return D3D_OK;
    }
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override
    {
        *value = states_[state & 255];
        return D3D_OK;
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        transforms_[state & 511] = *matrix;
        return D3D_OK;
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override
    {
        *matrix = transforms_[state & 511];
        return D3D_OK;
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE, UINT, UINT, UINT, UINT) override
    {
        ++draws;
        return D3D_OK;
    }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) override
    {
        ++draws;
        return D3D_OK;
    }
    HRESULT TestCooperativeLevel() override { return D3D_OK; }
    HRESULT GetDirect3D(IDirect3D8**) override { return D3D_OK; }
    HRESULT GetDisplayMode(D3DDISPLAYMODE*) override { return D3D_OK; }
    HRESULT Reset(D3DPRESENT_PARAMETERS*) override { return D3D_OK; }
    HRESULT Present(const RECT*, const RECT*, HWND, const void*) override { return D3D_OK; }
    HRESULT GetBackBuffer(UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface8**) override { return D3D_OK; }
    HRESULT CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture8**) override { return D3D_OK; }
    HRESULT CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, BOOL, IDirect3DSurface8**) override
    {
        return D3D_OK;
    }
    HRESULT CreateDepthStencilSurface(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, IDirect3DSurface8**) override
    {
        return D3D_OK;
    }
    HRESULT SetRenderTarget(IDirect3DSurface8*, IDirect3DSurface8*) override { return D3D_OK; }
    HRESULT GetRenderTarget(IDirect3DSurface8**) override { return D3D_OK; }
    HRESULT GetDepthStencilSurface(IDirect3DSurface8**) override { return D3D_OK; }
    HRESULT BeginScene() override { return D3D_OK; }
    HRESULT EndScene() override { return D3D_OK; }
    HRESULT Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return D3D_OK; }
    HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return D3D_OK; }
    HRESULT SetViewport(const D3DVIEWPORT8*) override { return D3D_OK; }
    HRESULT GetViewport(D3DVIEWPORT8*) override { return D3D_OK; }
    HRESULT SetMaterial(const D3DMATERIAL8*) override { return D3D_OK; }
    HRESULT GetMaterial(D3DMATERIAL8*) override { return D3D_OK; }
    HRESULT SetLight(DWORD, const D3DLIGHT8*) override { return D3D_OK; }
    HRESULT GetLight(DWORD, D3DLIGHT8*) override { return D3D_OK; }
    HRESULT LightEnable(DWORD, BOOL) override { return D3D_OK; }
    HRESULT GetLightEnable(DWORD, BOOL*) override { return D3D_OK; }
    HRESULT GetTexture(DWORD, IDirect3DBaseTexture8**) override { return D3D_OK; }
    HRESULT SetTexture(DWORD, IDirect3DBaseTexture8*) override { return D3D_OK; }
    HRESULT GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) override { return D3D_OK; }
    HRESULT SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override { return D3D_OK; }
    HRESULT SetVertexShader(DWORD) override { return D3D_OK; }
    HRESULT GetVertexShader(DWORD*) override { return D3D_OK; }
    HRESULT SetStreamSource(UINT, IDirect3DVertexBuffer8*, UINT) override { return D3D_OK; }
    HRESULT GetStreamSource(UINT, IDirect3DVertexBuffer8**, UINT*) override { return D3D_OK; }
    HRESULT SetIndices(IDirect3DIndexBuffer8*, UINT) override { return D3D_OK; }
    HRESULT GetIndices(IDirect3DIndexBuffer8**, UINT*) override { return D3D_OK; }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return D3D_OK; }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT, const void*,
                                   UINT) override
    {
        return D3D_OK;
    }

    long draws = 0;

private:
    DWORD states_[256] = {};
    D3DMATRIX transforms_[512];
};

kvf::Vec3 File(float x, float y, float z)
{
    return kvf::ToFileAxes(x, y, z);
}

// A grid of columns x rows quads (two faces each) facing -z, centred on
// (cx, cy, cz), materials in `materials` equal runs, one normal for all.
kvf::Mesh Grid(const std::string& name, int columns, int rows, float size, float cx, float cy, float cz,
               int materials, int firstMaterial = 0)
{
    kvf::Mesh mesh;
    mesh.name = name;
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= columns; ++c) {
            mesh.positions.push_back(File(cx + size * (c - 0.5f * columns), cy + size * (r - 0.5f * rows), cz));
        }
    }
    const int faces = 2 * columns * rows;
    const int run = (faces + materials - 1) / materials;
    mesh.normalsFlag = 1;
    const kvf::Vec3 n = File(0, 0, -1);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const auto at = [&](int dc, int dr) {
                return static_cast<uint16_t>((r + dr) * (columns + 1) + c + dc);
            };
            const int32_t id = firstMaterial + static_cast<int32_t>(mesh.faces.size()) / run;
            mesh.faces.push_back(kvf::Face{at(1, 0), at(0, 1), at(0, 0), 1, id});
            mesh.faces.push_back(kvf::Face{at(1, 1), at(0, 1), at(1, 0), 1, id});
            mesh.normals.push_back(kvf::FaceNormals{n, n, n});
            mesh.normals.push_back(kvf::FaceNormals{n, n, n});
        }
    }
    return mesh;
}

// A camera circling the origin at `radius`, one sampled key per frame over
// `frames` frames: the view turns all the way round.
void AddCircling(kvf::Scene* scene, float radius, int frames)
{
    kvf::Camera camera;
    camera.name = "eye";
    camera.position = File(0, 0, -radius);
    camera.fieldOfView = 1.0f;
    scene->objects.push_back(camera);
    kvf::Node node;
    node.kind = 1;
    node.name = "eye";
    node.position.type = 3;
    node.position.keys.clear();
    for (int f = 0; f < frames; ++f) {
        const float a = 6.2831853f * f / frames;
        kvf::Key key;
        key.time = static_cast<float>(f);
        const kvf::Vec3 p = File(radius * std::sin(a), 0, -radius * std::cos(a));
        key.value[0] = p.x;
        key.value[1] = p.y;
        key.value[2] = p.z;
        node.position.keys.push_back(key);
    }
    node.rotationSelector = 0;
    node.rotation = kvf::Controller{};
    node.rotation.keys = {kvf::Key{}}; // roll 0
    scene->nodes.push_back(node);
}

kvf::Material Material(int i, float transparency)
{
    kvf::Material material;
    material.name = "material " + std::to_string(i);
    material.ambient = kvf::Vec3{0.2f * i, 0.1f, 0.3f};
    material.power = i % 2 == 0 ? 0.0f : 10.0f;
    material.transparency = transparency;
    material.blendKind = 2;
    return material;
}

kvf::Light Lamp(int i)
{
    kvf::Light light;
    light.name = "lamp " + std::to_string(i);
    light.type = 1;
    light.position = File(-20.0f + 20.0f * i, 10, -30);
    light.rangeFlag = 1;
    light.range = 500.0f;
    return light;
}

// 100 meshes of 1,000 faces in 5 material runs, three lights.
kvf::Scene ManyMeshes()
{
    kvf::Scene scene;
    for (int i = 0; i < 5; ++i) {
        scene.materials.push_back(Material(i, 0.0f));
    }
    for (int i = 0; i < 100; ++i) {
        scene.objects.push_back(Grid("mesh " + std::to_string(i), 25, 20, 0.2f, -30.0f + 6.0f * (i % 10),
                                     -30.0f + 6.0f * (i / 10), 10.0f, 5));
    }
    for (int i = 0; i < 3; ++i) {
        scene.objects.push_back(Lamp(i));
    }
    AddCircling(&scene, 60.0f, 360);
    return scene;
}

// One mesh of 60,000 faces.
kvf::Scene OneBigMesh()
{
    kvf::Scene scene;
    scene.materials = {Material(0, 0.0f)};
    scene.objects = {Grid("big", 200, 150, 0.2f, 0, 0, 0, 1), Lamp(0)};
    AddCircling(&scene, 60.0f, 360);
    return scene;
}

// 2,000 transparent faces scattered in a cube, seen by a circling camera.
kvf::Scene TransparentCloud()
{
    kvf::Scene scene;
    scene.materials = {Material(0, 0.5f), Material(1, 0.5f)};
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-20.0f, 20.0f);
    for (int m = 0; m < 10; ++m) {
        kvf::Mesh mesh;
        mesh.name = "cloud " + std::to_string(m);
        for (int f = 0; f < 200; ++f) {
            const float x = spread(random), y = spread(random), z = spread(random);
            const auto base = static_cast<uint16_t>(mesh.positions.size());
            mesh.positions.push_back(File(x, y, z));
            mesh.positions.push_back(File(x, y + 1, z));
            mesh.positions.push_back(File(x + 1, y, z));
            mesh.faces.push_back(kvf::Face{static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 1), base,
                                           f + 1, (f / 50) % 2});
        }
        scene.objects.push_back(mesh);
    }
    AddCircling(&scene, 60.0f, 360);
    return scene;
}

struct Loaded {
    TempDirectory dir;
    CScene scene;
};

std::unique_ptr<Loaded> Load(const kvf::Scene& description, IDirect3DDevice8* device)
{
    std::unique_ptr<Loaded> loaded(new Loaded());
    const std::string archive = loaded->dir.File("data.pac");
    WritePack(archive, {PackMember{"scene.kvf", kvf::WriteScene(description)}});
    if (loaded->scene.LoadScene("scene.kvf", archive.c_str()) != 0 || loaded->scene.Prepare(device) != 0) {
        return nullptr;
    }
    return loaded;
}

kvf::Scene Described(int which)
{
    return which == 0 ? ManyMeshes() : which == 1 ? OneBigMesh() : TransparentCloud();
}

const char* const kNames[] = {"100 meshes x 1000 faces", "one mesh of 60000 faces", "2000 transparent faces"};

// Update and Render of one frame, the camera a degree further round each time.
void RunFrames(benchmark::State& state, IDirect3DDevice8* device, CScene* scene)
{
    float t = 0.0f;
    for (auto _ : state) {
        if (device->BeginScene() == D3D_OK) {
            scene->Update(t);
            scene->Render(device);
            device->EndScene();
        }
        t = t + 1.0f < 360.0f ? t + 1.0f : 0.0f;
    }
}

void BM_EngineFrame(benchmark::State& state)
{
    NullDevice device;
    std::unique_ptr<Loaded> loaded = Load(Described(static_cast<int>(state.range(0))), &device);
    if (!loaded) {
        state.SkipWithError("the scene did not load");
        return;
    }
    state.SetLabel(kNames[state.range(0)]);
    RunFrames(state, &device, &loaded->scene);
    state.counters["draws/frame"] = static_cast<double>(device.draws) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EngineFrame)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_DeviceFrame(benchmark::State& state)
{
    HeadlessDeviceOptions options;
    options.width = 640;
    options.height = 480;
    HeadlessDevice device(options);
    if (!device) {
        state.SkipWithError("no device");
        return;
    }
    std::unique_ptr<Loaded> loaded = Load(Described(static_cast<int>(state.range(0))), device.get());
    if (!loaded) {
        state.SkipWithError("the scene did not load");
        return;
    }
    state.SetLabel(kNames[state.range(0)]);
    RunFrames(state, device.get(), &loaded->scene);
    std::vector<uint32_t> pixels = ReadHeadlessBackBuffer(device.get()); // waits for the last frame
    benchmark::DoNotOptimize(pixels.data());
    loaded.reset(); // the scene's buffers go before the device
}
BENCHMARK(BM_DeviceFrame)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The transparent sort alone, the order reversing every frame.
void BM_SortTurningRound(benchmark::State& state)
{
    const size_t count = static_cast<size_t>(state.range(0));
    std::vector<TransparentFace> faces(count);
    std::vector<TransparentFace*> order;
    for (TransparentFace& face : faces) {
        order.push_back(&face);
    }
    std::vector<TransparentFace*> scratch(count);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> depth(-50.0f, 50.0f);
    for (TransparentFace& face : faces) {
        face.depth = depth(random);
    }
    for (auto _ : state) {
        for (TransparentFace& face : faces) {
            face.depth = -face.depth;
        }
        SortByDepthDescending(order.data(), scratch.data(), count);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortTurningRound)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
