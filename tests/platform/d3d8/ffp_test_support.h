// Shared pieces of the fixed-function image tests: vertex layouts, a fixture
// that owns a headless device and captures what it drew, and a reference
// canvas on which the expected image is painted from the CPU model.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "tests/support/d3d_reference_model.h"
#include "tests/support/image_expect.h"

namespace ffp {

// ---- Vertex layouts ----------------------------------------------------------

struct XyzColorVertex { // 0x42, the layout of shapes
    float x, y, z;
    D3DCOLOR color;
};
constexpr DWORD kXyzColorFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct XyzNormalVertex { // 0x12
    float x, y, z;
    float nx, ny, nz;
};
constexpr DWORD kXyzNormalFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

struct MeshVertex { // 0x152, the layout of meshes
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kMeshFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct XyzTexVertex { // 0x102, the layout of the skybox
    float x, y, z;
    float u, v;
};
constexpr DWORD kXyzTexFvf = D3DFVF_XYZ | D3DFVF_TEX1;

struct RhwVertex { // 0x144, the layout of the screen quads
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kRhwFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

static_assert(sizeof(MeshVertex) == 36, "mesh vertex layout");
static_assert(sizeof(RhwVertex) == 28, "screen vertex layout");

// Four corners of an axis-aligned screen rectangle, in fan order (top-left,
// top-right, bottom-right, bottom-left), texture coordinates spanning
// (u0, v0) to (u1, v1).
void RhwQuad(RhwVertex out[4], float x0, float y0, float x1, float y1, float z, D3DCOLOR color, float u0 = 0.0f,
             float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f);


// ---- Expected image ------------------------------------------------------------

// The expected picture, painted with the reference model, and which pixels
// take part in the comparison.
class ReferenceCanvas {
public:
    ReferenceCanvas(int width, int height, D3DCOLOR clear);

    // How pixels whose centre lies on or right next to an edge are treated:
    // Exact applies the fill rule as is (for geometry placed so that the rule
    // decides); Tolerant leaves out pixels whose coverage would change if the
    // centre moved by 1/32 pixel (for geometry through a projection).
    enum class Edges { Exact, Tolerant };

    // Shade(weights, x, y, destination) gives the pixel's colour; weights are
    // the perspective-correct weights of the three vertices at the centre.
    template <class Shade>
    void FillTriangle(const d3dref::ScreenVertex tri[3], Edges edges, Shade shade) {
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const bool covered = d3dref::TriangleCoversPixel(tri, x, y);
                if (edges == Edges::Tolerant && !CoverageIsSettled(tri, x, y, covered)) {
                    care[Index(x, y)] = 0;
                }
                if (covered) {
                    const d3dref::Vec3 w = d3dref::PerspectiveWeights(tri, static_cast<float>(x), static_cast<float>(y));
                    image.Set(x, y, shade(w, x, y, image.At(x, y)));
                }
            }
        }
    }

    // A quad drawn as a fan of four corners: triangles (0, 1, 2) and (0, 2,
    // 3). Shade(k, x, y, destination) gets the weights k[0..3] of the corners.
    template <class Shade>
    void FillFan(const d3dref::ScreenVertex corners[4], Edges edges, Shade shade) {
        const int fans[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (const auto& f : fans) {
            const d3dref::ScreenVertex tri[3] = {corners[f[0]], corners[f[1]], corners[f[2]]};
            FillTriangle(tri, edges, [&](const d3dref::Vec3& w, int x, int y, D3DCOLOR dst) {
                float k[4] = {0.0f, 0.0f, 0.0f, 0.0f};
                k[f[0]] += w.x;
                k[f[1]] += w.y;
                k[f[2]] += w.z;
                return shade(static_cast<const float*>(k), x, y, dst);
            });
        }
    }

    void Fill(int x0, int y0, int x1, int y1, D3DCOLOR color); // [x0, x1) x [y0, y1)
    void Plot(int x, int y, D3DCOLOR color);
    void Ignore(int x, int y);

    // True when moving the pixel's centre by 1/32 pixel in any diagonal
    // direction does not change whether the triangle covers it.
    static bool CoverageIsSettled(const d3dref::ScreenVertex tri[3], int x, int y, bool covered);

    PixelImage image;
    std::vector<uint8_t> care;

private:
    size_t Index(int x, int y) const { return static_cast<size_t>(y) * image.width + x; }
};

// ---- Fixture -----------------------------------------------------------------

// A headless device with a 32 x 32 viewport at the top-left of the back
// buffer, cleared to kClear; textures made through it are released with it.
class FfpImageTest : public ::testing::Test {
protected:
    static constexpr int kSize = 32;
    static constexpr D3DCOLOR kClear = 0xFF103050;

    void SetUp() override;
    void TearDown() override;

    // Sets a viewport at (x, y) of the given size and clears it (colour kClear, depth 1).
    void UseViewport(int x, int y, int width, int height);
    void ClearViewport(D3DCOLOR color = kClear);

    // The viewport's pixels as they are now; also written to
    // test-output/<suite>.<test>[-<suffix>].png.
    PixelImage Capture(const std::string& suffix = "");
    // A whole render-target surface, written the same way.
    PixelImage CaptureSurface(IDirect3DSurface8* surface, const std::string& suffix);

    // A managed A8R8G8B8 texture holding the image; released by TearDown.
    IDirect3DTexture8* MakeTexture(const d3dref::TextureImage& image);

    // Compares with the expected picture; when they differ the expected one is
    // saved beside the last capture as <name>-expected.png.
    ::testing::AssertionResult Matches(const PixelImage& actual, const ReferenceCanvas& expected, int tolerance);

    // BeginScene, the draw, EndScene; expects every call to succeed.
    void DrawUp(D3DPRIMITIVETYPE type, UINT primitives, const void* vertices, UINT stride);

    void SetIdentityTransforms();

    IDirect3DDevice8* device = nullptr;
    D3DVIEWPORT8 viewport{};

private:
    std::vector<IDirect3DTexture8*> textures_;
    std::string lastCapture_;
};

// The name used for a test's pictures: "<suite>.<test>".
std::string CurrentTestName();

} // namespace ffp
