// Scenes written with the KVF writer, prepared and drawn on a headless device
// through a tracing device, and what the pictures should hold computed on the
// CPU from Direct3D 8's equations (the reference model), never from the
// engine's own code.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "tests/scene/scene_fixture.h"
#include "tests/scene/tracing_device.h"
#include "tests/support/d3d_reference_model.h"
#include "tests/support/headless_device.h"
#include "tests/support/image_expect.h"
#include "tests/support/png_writer.h"

namespace draw {

constexpr UINT kWidth = 80;
constexpr UINT kHeight = 60;
constexpr D3DCOLOR kClear = 0xFF204060;

// The projection every scene camera uses.
inline D3DMATRIX CameraProjection(float fieldOfView)
{
    return d3dref::MatrixPerspectiveFovLH(fieldOfView * 0.8f, 1.334f, 1.0f, 7500.0f);
}

// A view and projection with the viewport of the whole back buffer.
struct Lens {
    D3DMATRIX view;
    D3DMATRIX projection;

    // A roll-free camera from eye towards at.
    static Lens LookAt(d3dref::Vec3 eye, d3dref::Vec3 at, float fieldOfView)
    {
        return Lens{d3dref::MatrixLookAtLH(eye, at, {0.0f, 1.0f, 0.0f}), CameraProjection(fieldOfView)};
    }

    d3dref::ScreenVertex Screen(d3dref::Vec3 p) const
    {
        const D3DVIEWPORT8 viewport = {0, 0, kWidth, kHeight, 0.0f, 1.0f};
        const D3DMATRIX clip = d3dref::MatrixMultiply(view, projection);
        return d3dref::ClipToScreen(d3dref::Transform({p.x, p.y, p.z, 1.0f}, clip), viewport);
    }
};

// Engine-axes scene pieces turned into file records.
inline kvf::Vec3 File(d3dref::Vec3 p)
{
    return kvf::ToFileAxes(p.x, p.y, p.z);
}

// A mesh of triangles given in engine axes, each clockwise as seen by the
// camera (the writer takes the file's winding, the reverse), with its
// material id and, optionally, one colour per triangle.
struct Triangle {
    d3dref::Vec3 p[3];
    int32_t material = 0;
    d3dref::Vec3 colour{1.0f, 1.0f, 1.0f};
};

inline kvf::Mesh MakeMesh(const std::string& name, const std::vector<Triangle>& triangles, bool coloured = false,
                          uint8_t lighting = 1)
{
    kvf::Mesh mesh;
    mesh.name = name;
    mesh.lighting = lighting;
    for (size_t i = 0; i < triangles.size(); ++i) {
        const auto base = static_cast<uint16_t>(3 * i);
        for (const d3dref::Vec3& p : triangles[i].p) {
            mesh.positions.push_back(File(p));
        }
        kvf::Face face;
        face.a = static_cast<uint16_t>(base + 2);
        face.b = static_cast<uint16_t>(base + 1);
        face.c = base;
        // Distinct smoothing groups keep every corner on its face's normal.
        face.smoothingGroup = static_cast<int32_t>(i + 1);
        face.materialId = triangles[i].material;
        mesh.faces.push_back(face);
        if (coloured) {
            const d3dref::Vec3 c = triangles[i].colour;
            mesh.colours.push_back(kvf::Vec3{c.x, c.y, c.z});
            const auto index = static_cast<uint16_t>(i);
            mesh.colourFaces.push_back(kvf::IndexTriple{index, index, index});
        }
    }
    return mesh;
}

// The triangle's unit normal as the loader computes it from engine corners.
inline d3dref::Vec3 FaceNormal(const Triangle& t)
{
    const d3dref::Vec3 a{t.p[1].x - t.p[0].x, t.p[1].y - t.p[0].y, t.p[1].z - t.p[0].z};
    const d3dref::Vec3 b{t.p[2].x - t.p[0].x, t.p[2].y - t.p[0].y, t.p[2].z - t.p[0].z};
    return d3dref::Normalize({a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x});
}

// A camera at eye looking at target, moved by a node whose rotation is a
// float track holding the roll.
inline void AddCamera(kvf::Scene* scene, const std::string& name, d3dref::Vec3 eye, d3dref::Vec3 target,
                      float fieldOfView, float roll)
{
    kvf::Camera camera;
    camera.name = name;
    camera.position = File(eye);
    camera.target = File(target);
    camera.fieldOfView = fieldOfView;
    scene->objects.push_back(camera);
    kvf::Node node = MakeNode(0, 1, name);
    const kvf::Vec3 p = File(eye);
    node.position = kvf::ConstantVector(p.x, p.y, p.z);
    node.rotationSelector = 0;
    node.rotation = kvf::Controller{};
    kvf::Key key;
    key.value[0] = roll;
    node.rotation.keys = {key};
    scene->nodes.push_back(node);
}

inline kvf::Material MakeMaterial(const std::string& name, d3dref::Vec3 ambient, float transparency = 0.0f,
                                  int32_t blendKind = 0)
{
    kvf::Material material;
    material.name = name;
    material.ambient = kvf::Vec3{ambient.x, ambient.y, ambient.z};
    material.diffuse = kvf::Vec3{0.3f, 0.3f, 0.3f};
    material.transparency = transparency;
    material.blendKind = blendKind;
    return material;
}

// The pixel nearest a point of the screen, which must lie inside the
// triangle with at least a pixel to spare.
struct Pixel {
    int x, y;
    d3dref::Vec3 weights; // perspective-correct weights of the corners there
};

inline Pixel InnerPixel(const d3dref::ScreenVertex tri[3], float fx, float fy)
{
    Pixel pixel{static_cast<int>(std::lround(fx)), static_cast<int>(std::lround(fy)), {}};
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            EXPECT_TRUE(d3dref::TriangleCoversPixel(tri, pixel.x + dx, pixel.y + dy))
                << "pixel (" << pixel.x + dx << ", " << pixel.y + dy << ") is not well inside";
        }
    }
    pixel.weights = d3dref::PerspectiveWeights(tri, static_cast<float>(pixel.x), static_cast<float>(pixel.y));
    return pixel;
}

// The triangle on the screen and the pixel at its centroid.
inline Pixel CentrePixel(const Lens& lens, const Triangle& t, d3dref::ScreenVertex tri[3])
{
    for (int k = 0; k < 3; ++k) {
        tri[k] = lens.Screen(t.p[k]);
    }
    return InnerPixel(tri, (tri[0].x + tri[1].x + tri[2].x) / 3.0f, (tri[0].y + tri[1].y + tri[2].y) / 3.0f);
}

inline d3dref::Color Mix(const d3dref::Color c[3], d3dref::Vec3 w)
{
    return {c[0].r * w.x + c[1].r * w.y + c[2].r * w.z, c[0].g * w.x + c[1].g * w.y + c[2].g * w.z,
            c[0].b * w.x + c[1].b * w.y + c[2].b * w.z, c[0].a * w.x + c[1].a * w.y + c[2].a * w.z};
}

// The colour a lit, untextured face of a mesh without colour data (white
// vertex colours) shows at a pixel: its corners lit, blended by the weights.
inline D3DCOLOR LitColour(const d3dref::LightingState& state, const Lens& lens, const Triangle& t, const Pixel& pixel)
{
    d3dref::Color corners[3];
    for (int k = 0; k < 3; ++k) {
        d3dref::VertexInput v;
        v.position = t.p[k];
        v.hasNormal = true;
        v.normal = FaceNormal(t);
        v.hasDiffuse = true;
        v.diffuse = 0x00FFFFFF;
        corners[k] = d3dref::LightVertex(state, d3dref::MatrixIdentity(), lens.view, v).diffuse;
    }
    return d3dref::ArgbFromColor(Mix(corners, pixel.weights));
}

class SceneDrawTest : public SceneTest {
protected:
    void SetUp() override
    {
        HeadlessDeviceOptions options;
        options.width = kWidth;
        options.height = kHeight;
        device.reset(new HeadlessDevice(options));
        ASSERT_TRUE(*device);
        tracer.reset(new TracingDevice(device->get()));
        cwd.reset(new WorkingDirectory(dir.Path()));
    }

    void TearDown() override
    {
        cwd.reset();
        // Drawing resources go before the device that made them.
        drawn.reset();
        tracer.reset();
        device.reset();
    }

    // Writes the scene (and extra members, such as textures) to data.pac,
    // loads and prepares it on the tracing device.
    int LoadAndPrepare(const kvf::Scene& description, std::vector<PackMember> extra = {})
    {
        extra.push_back(PackMember{"scene.kvf", kvf::WriteScene(description)});
        EXPECT_TRUE(WritePack(Archive(), extra));
        drawn.reset(new CScene());
        if (drawn->LoadScene("scene.kvf", Archive().c_str()) != 0) {
            return 1;
        }
        return drawn->Prepare(tracer.get());
    }

    // One frame at frame time t, cleared first; the calls of the frame are in
    // tracer->calls. The picture goes to test-output/<suite>.<test>[-suffix].
    PixelImage Frame(float t, const std::string& suffix = "")
    {
        IDirect3DDevice8* real = device->get();
        real->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
        real->BeginScene();
        tracer->calls.clear();
        tracer->userVertices.clear();
        tracer->lights.clear();
        drawn->Update(t);
        drawn->Render(tracer.get());
        real->EndScene();
        UINT width = 0;
        UINT height = 0;
        PixelImage image;
        image.pixels = ReadHeadlessBackBuffer(real, &width, &height);
        image.width = static_cast<int>(width);
        image.height = static_cast<int>(height);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        if (!suffix.empty()) {
            name += "-" + suffix;
        }
        WritePngArgb(TestOutputPath(name), image.width, image.height, image.pixels);
        return image;
    }

    std::unique_ptr<HeadlessDevice> device;
    std::unique_ptr<TracingDevice> tracer;
    std::unique_ptr<CScene> drawn; // the scene drawn on the device
    std::unique_ptr<WorkingDirectory> cwd;
};

} // namespace draw
