// An independent CPU model of Direct3D 8's fixed-function equations. The image
// tests compute the pixels they expect with it and compare them with what the
// device draws, so nothing here may be derived from the device's own code.
//
// Conventions are Direct3D's: row vectors times row-major matrices, screen
// rows top-down, pixel centres at integer coordinates, colours as floats 0..1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d8/d3d8_types.h"

namespace d3dref {

struct Vec2 {
    float x, y;
};

struct Vec3 {
    float x, y, z;
};

struct Vec4 {
    float x, y, z, w;
};

struct Color {
    float r, g, b, a;
};

// ---- Colours ---------------------------------------------------------------

Color ColorFromArgb(D3DCOLOR argb);
Color ColorFromValue(const D3DCOLORVALUE& value);
Color Saturate(Color c);
// Each channel clamped to 0..1 and rounded to the nearest of 256 levels.
D3DCOLOR ArgbFromColor(Color c);

// ---- Matrices (D3DX conventions) ------------------------------------------

D3DMATRIX MatrixIdentity();
D3DMATRIX MatrixMultiply(const D3DMATRIX& a, const D3DMATRIX& b); // a then b: a * b
D3DMATRIX MatrixTranslation(float x, float y, float z);
D3DMATRIX MatrixScaling(float x, float y, float z);
D3DMATRIX MatrixRotationY(float angle);
D3DMATRIX MatrixRotationZ(float angle);
D3DMATRIX MatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);
D3DMATRIX MatrixLookAtLH(Vec3 eye, Vec3 at, Vec3 up);
// False (and *out unchanged) for a singular matrix.
bool MatrixInverse(const D3DMATRIX& m, D3DMATRIX* out);
D3DMATRIX MatrixTranspose(const D3DMATRIX& m);

Vec4 Transform(Vec4 v, const D3DMATRIX& m); // v * m
Vec3 TransformPoint(Vec3 p, const D3DMATRIX& m); // (p, 1) * m, no division
Vec3 TransformDirection(Vec3 d, const D3DMATRIX& m); // (d, 0) * m

float Dot(Vec3 a, Vec3 b);
float Length(Vec3 v);
Vec3 Normalize(Vec3 v);

// ---- Vertex lighting -------------------------------------------------------

// The render states and device state that per-vertex lighting reads.
struct LightingState {
    D3DMATERIAL8 material{};
    D3DCOLOR ambient = 0; // D3DRS_AMBIENT
    bool colorVertex = true;
    bool localViewer = true;
    bool normalizeNormals = false;
    DWORD diffuseSource = D3DMCS_COLOR1;
    DWORD specularSource = D3DMCS_COLOR2;
    DWORD ambientSource = D3DMCS_MATERIAL;
    DWORD emissiveSource = D3DMCS_MATERIAL;
    std::vector<D3DLIGHT8> lights; // the enabled lights, world space
};

// One vertex as the vertex format delivers it.
struct VertexInput {
    Vec3 position{};
    bool hasNormal = false;
    Vec3 normal{};
    bool hasDiffuse = false;
    D3DCOLOR diffuse = 0;
    bool hasSpecular = false;
    D3DCOLOR specular = 0;
};

struct VertexColors {
    Color diffuse;
    Color specular;
};

// Lit colours of a vertex drawn with the given world and view transforms.
VertexColors LightVertex(const LightingState& state, const D3DMATRIX& world, const D3DMATRIX& view,
                         const VertexInput& vertex);
// Colours of a vertex drawn with D3DRS_LIGHTING FALSE (or pre-transformed).
VertexColors UnlitVertex(const VertexInput& vertex);
// The normal lighting and D3DTSS_TCI_CAMERASPACENORMAL work with: by the
// inverse transpose of world * view, normalised only when asked to.
Vec3 CameraSpaceNormal(Vec3 normal, const D3DMATRIX& world, const D3DMATRIX& view, bool normalize);

// ---- Texture coordinates ---------------------------------------------------

// D3DTTFF_COUNT2 on a vertex's (u, v): (u, v, 1, 0) * m.
Vec2 TransformTexCoord2(Vec2 uv, const D3DMATRIX& m);
// D3DTSS_TCI_CAMERASPACENORMAL with D3DTTFF_COUNT2: (N, 1) * m.
Vec2 CameraNormalTexCoord2(Vec3 cameraNormal, const D3DMATRIX& m);

// ---- Texture sampling ------------------------------------------------------

// One texture level: 0xAARRGGBB texels, top row first.
struct TextureImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> texels;

    uint32_t At(int x, int y) const { return texels[static_cast<size_t>(y) * width + x]; }
};

struct SamplerState {
    DWORD filter = D3DTEXF_POINT; // the filter in force (MAG or MIN); NONE acts as POINT
    DWORD addressU = D3DTADDRESS_WRAP;
    DWORD addressV = D3DTADDRESS_WRAP;
    D3DCOLOR borderColor = 0;
};

// Texel centres lie at (i + 0.5) / width: point sampling takes texel
// floor(u * width), linear filtering blends around u * width - 0.5.
Color SampleTexture(const TextureImage& texture, Vec2 uv, const SamplerState& sampler);

// ---- Texture stages --------------------------------------------------------

struct StageState {
    DWORD colorOp = D3DTOP_DISABLE;
    DWORD colorArg1 = D3DTA_TEXTURE;
    DWORD colorArg2 = D3DTA_CURRENT;
    DWORD alphaOp = D3DTOP_DISABLE;
    DWORD alphaArg1 = D3DTA_TEXTURE;
    DWORD alphaArg2 = D3DTA_CURRENT;
    bool textureBound = false;
    Color texel{}; // the stage's sampled texture colour at this pixel
};

// A new device's stage: stage 0 MODULATE / SELECTARG1, later stages DISABLE.
StageState DefaultStage(int stage);

struct PixelInputs {
    Color diffuse{};
    Color specular{};
    D3DCOLOR textureFactor = 0xFFFFFFFFu;
    bool specularEnable = false;
};

// The colour leaving the stage cascade, specular added when enabled.
Color CombineStages(const std::vector<StageState>& stages, const PixelInputs& inputs);

// ---- Blending --------------------------------------------------------------

// src * srcBlend + dst * destBlend, clamped.
Color BlendColors(Color src, Color dst, DWORD srcBlend, DWORD destBlend);

// ---- Rasterisation ---------------------------------------------------------

// A vertex in Direct3D screen space: x, y in pixels (centres at integers), z
// the depth, rhw = 1 / w.
struct ScreenVertex {
    float x, y, z, rhw;
};

// Clip-space position (after world, view, projection) to screen space.
ScreenVertex ClipToScreen(Vec4 clip, const D3DVIEWPORT8& viewport);

// True when the pixel's centre (x, y) lies inside the triangle, centres on an
// edge counting only for top and left edges. Degenerate triangles cover
// nothing; either winding covers.
bool TriangleCoversPixel(const ScreenVertex tri[3], int x, int y);
// The same rule for any point of the screen.
bool TriangleCoversPoint(const ScreenVertex tri[3], double x, double y);

// Winding as seen on the screen (rows top-down): > 0 clockwise, < 0
// counter-clockwise, 0 degenerate.
int ScreenWinding(const ScreenVertex tri[3]);

// Perspective-correct weights of the three vertices at the point (x, y),
// for interpolating vertex attributes; they sum to 1.
Vec3 PerspectiveWeights(const ScreenVertex tri[3], float x, float y);

// Pixels a line from a to b draws, the end pixel excluded. Endpoints must lie
// on pixel centres (whole coordinates); for lines whose minor coordinate
// would fall exactly between two pixels the pixel is left out of the result
// and counted in *ambiguous (if given), since the rule leaves it to rounding.
struct PixelPos {
    int x, y;
};
std::vector<PixelPos> LinePixels(Vec2 a, Vec2 b, int* ambiguous = nullptr);

} // namespace d3dref
