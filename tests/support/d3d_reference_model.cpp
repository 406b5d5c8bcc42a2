#include "tests/support/d3d_reference_model.h"

#include <algorithm>
#include <cmath>

namespace d3dref {

namespace {

float Clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Scale(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

Color Mul(Color a, Color b) { return {a.r * b.r, a.g * b.g, a.b * b.b, a.a * b.a}; }

} // namespace

// ---- Colours ---------------------------------------------------------------

Color ColorFromArgb(D3DCOLOR argb) {
    return {static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
            static_cast<float>(argb & 0xFF) / 255.0f, static_cast<float>((argb >> 24) & 0xFF) / 255.0f};
}

Color ColorFromValue(const D3DCOLORVALUE& value) { return {value.r, value.g, value.b, value.a}; }

Color Saturate(Color c) { return {Clamp01(c.r), Clamp01(c.g), Clamp01(c.b), Clamp01(c.a)}; }

D3DCOLOR ArgbFromColor(Color c) {
    auto level = [](float v) { return static_cast<D3DCOLOR>(std::floor(Clamp01(v) * 255.0f + 0.5f)); };
    return (level(c.a) << 24) | (level(c.r) << 16) | (level(c.g) << 8) | level(c.b);
}

// ---- Matrices ----------------------------------------------------------------

D3DMATRIX MatrixIdentity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

D3DMATRIX MatrixMultiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    }
    return r;
}

D3DMATRIX MatrixTranslation(float x, float y, float z) {
    D3DMATRIX m = MatrixIdentity();
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

D3DMATRIX MatrixScaling(float x, float y, float z) {
    D3DMATRIX m = MatrixIdentity();
    m._11 = x;
    m._22 = y;
    m._33 = z;
    return m;
}

D3DMATRIX MatrixRotationY(float angle) {
    D3DMATRIX m = MatrixIdentity();
    m._11 = std::cos(angle);
    m._13 = -std::sin(angle);
    m._31 = std::sin(angle);
    m._33 = std::cos(angle);
    return m;
}

D3DMATRIX MatrixRotationZ(float angle) {
    D3DMATRIX m = MatrixIdentity();
    m._11 = std::cos(angle);
    m._12 = std::sin(angle);
    m._21 = -std::sin(angle);
    m._22 = std::cos(angle);
    return m;
}

D3DMATRIX MatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar) {
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    D3DMATRIX m{};
    m._11 = yScale / aspect;
    m._22 = yScale;
    m._33 = zFar / (zFar - zNear);
    m._34 = 1.0f;
    m._43 = -zNear * zFar / (zFar - zNear);
    return m;
}

D3DMATRIX MatrixLookAtLH(Vec3 eye, Vec3 at, Vec3 up) {
    const Vec3 zAxis = Normalize(Sub(at, eye));
    const Vec3 xAxis = Normalize(Cross(up, zAxis));
    const Vec3 yAxis = Cross(zAxis, xAxis);
    D3DMATRIX m = MatrixIdentity();
    m._11 = xAxis.x;
    m._21 = xAxis.y;
    m._31 = xAxis.z;
    m._12 = yAxis.x;
    m._22 = yAxis.y;
    m._32 = yAxis.z;
    m._13 = zAxis.x;
    m._23 = zAxis.y;
    m._33 = zAxis.z;
    m._41 = -Dot(xAxis, eye);
    m._42 = -Dot(yAxis, eye);
    m._43 = -Dot(zAxis, eye);
    return m;
}

bool MatrixInverse(const D3DMATRIX& m, D3DMATRIX* out) {
    // Gauss-Jordan elimination with partial pivoting, in double precision.
    double a[4][8];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            a[i][j] = m.m[i][j];
            a[i][j + 4] = (i == j) ? 1.0 : 0.0;
        }
    }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 4; ++row) {
            if (std::fabs(a[row][col]) > std::fabs(a[pivot][col])) pivot = row;
        }
        if (std::fabs(a[pivot][col]) < 1e-12) return false;
        if (pivot != col) {
            for (int j = 0; j < 8; ++j) std::swap(a[pivot][j], a[col][j]);
        }
        const double inv = 1.0 / a[col][col];
        for (int j = 0; j < 8; ++j) a[col][j] *= inv;
        for (int row = 0; row < 4; ++row) {
            if (row == col) continue;
            const double f = a[row][col];
            for (int j = 0; j < 8; ++j) a[row][j] -= f * a[col][j];
        }
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) out->m[i][j] = static_cast<float>(a[i][j + 4]);
    }
    return true;
}

D3DMATRIX MatrixTranspose(const D3DMATRIX& m) {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) r.m[i][j] = m.m[j][i];
    }
    return r;
}

Vec4 Transform(Vec4 v, const D3DMATRIX& m) {
    return {v.x * m._11 + v.y * m._21 + v.z * m._31 + v.w * m._41,
            v.x * m._12 + v.y * m._22 + v.z * m._32 + v.w * m._42,
            v.x * m._13 + v.y * m._23 + v.z * m._33 + v.w * m._43,
            v.x * m._14 + v.y * m._24 + v.z * m._34 + v.w * m._44};
}

Vec3 TransformPoint(Vec3 p, const D3DMATRIX& m) {
    const Vec4 r = Transform({p.x, p.y, p.z, 1.0f}, m);
    return {r.x, r.y, r.z};
}

Vec3 TransformDirection(Vec3 d, const D3DMATRIX& m) {
    const Vec4 r = Transform({d.x, d.y, d.z, 0.0f}, m);
    return {r.x, r.y, r.z};
}

float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

float Length(Vec3 v) { return std::sqrt(Dot(v, v)); }

Vec3 Normalize(Vec3 v) {
    const float length = Length(v);
    return length > 0.0f ? Scale(v, 1.0f / length) : v;
}

// ---- Vertex lighting -------------------------------------------------------

Vec3 CameraSpaceNormal(Vec3 normal, const D3DMATRIX& world, const D3DMATRIX& view, bool normalize) {
    const D3DMATRIX worldView = MatrixMultiply(world, view);
    D3DMATRIX inverse = MatrixIdentity();
    MatrixInverse(worldView, &inverse);
    const Vec3 n = TransformDirection(normal, MatrixTranspose(inverse));
    return normalize ? Normalize(n) : n;
}

namespace {

// The colour a material source selects: the vertex's colour when vertex
// colours are on and the vertex carries the named one, else the material's.
Color SourceColor(DWORD source, const LightingState& state, const VertexInput& vertex, const D3DCOLORVALUE& own) {
    if (state.colorVertex) {
        if (source == D3DMCS_COLOR1 && vertex.hasDiffuse) return ColorFromArgb(vertex.diffuse);
        if (source == D3DMCS_COLOR2 && vertex.hasSpecular) return ColorFromArgb(vertex.specular);
    }
    return ColorFromValue(own);
}

Color AddScaled(Color sum, const D3DCOLORVALUE& c, float s) {
    return {sum.r + c.r * s, sum.g + c.g * s, sum.b + c.b * s, sum.a};
}

} // namespace

VertexColors LightVertex(const LightingState& state, const D3DMATRIX& world, const D3DMATRIX& view,
                         const VertexInput& vertex) {
    const D3DMATRIX worldView = MatrixMultiply(world, view);
    const Vec3 p = TransformPoint(vertex.position, worldView);
    const Vec3 n = vertex.hasNormal ? CameraSpaceNormal(vertex.normal, world, view, state.normalizeNormals)
                                    : Vec3{0.0f, 0.0f, 0.0f};
    const Vec3 toEye = vertex.hasNormal ? Scale(Normalize(p), -1.0f) : Vec3{0.0f, 0.0f, 0.0f};

    const Color rsAmbient = ColorFromArgb(state.ambient);
    Color ambientSum{rsAmbient.r, rsAmbient.g, rsAmbient.b, 0.0f};
    Color diffuseSum{0.0f, 0.0f, 0.0f, 0.0f};
    Color specularSum{0.0f, 0.0f, 0.0f, 0.0f};

    for (const D3DLIGHT8& light : state.lights) {
        Vec3 l{};
        float attenuation = 1.0f;
        float spot = 1.0f;
        if (light.Type == D3DLIGHT_DIRECTIONAL) {
            l = Scale(Normalize(TransformDirection({light.Direction.x, light.Direction.y, light.Direction.z}, view)),
                      -1.0f);
        } else {
            const Vec3 lightPosition =
                TransformPoint({light.Position.x, light.Position.y, light.Position.z}, view);
            const Vec3 toLight = Sub(lightPosition, p);
            const float d = Length(toLight);
            if (d > light.Range) continue; // out of range: no contribution at all
            l = Scale(toLight, 1.0f / d);
            attenuation = 1.0f / (light.Attenuation0 + light.Attenuation1 * d + light.Attenuation2 * d * d);
            if (light.Type == D3DLIGHT_SPOT) {
                const Vec3 direction =
                    Normalize(TransformDirection({light.Direction.x, light.Direction.y, light.Direction.z}, view));
                const float rho = Dot(direction, Scale(l, -1.0f));
                const float cosInner = std::cos(light.Theta * 0.5f);
                const float cosOuter = std::cos(light.Phi * 0.5f);
                if (rho > cosInner) {
                    spot = 1.0f;
                } else if (rho <= cosOuter) {
                    spot = 0.0f;
                } else {
                    spot = std::pow((rho - cosOuter) / (cosInner - cosOuter), light.Falloff);
                }
            }
        }
        const float scale = attenuation * spot;
        ambientSum = AddScaled(ambientSum, light.Ambient, scale);
        const float nDotL = Dot(n, l);
        if (nDotL > 0.0f) {
            diffuseSum = AddScaled(diffuseSum, light.Diffuse, nDotL * scale);
            const Vec3 h = state.localViewer ? Normalize(Add(l, toEye)) : Normalize(Add(l, Vec3{0.0f, 0.0f, -1.0f}));
            const float nDotH = std::max(Dot(n, h), 0.0f);
            specularSum = AddScaled(specularSum, light.Specular, std::pow(nDotH, state.material.Power) * scale);
        }
    }

    const Color ca = SourceColor(state.ambientSource, state, vertex, state.material.Ambient);
    const Color cd = SourceColor(state.diffuseSource, state, vertex, state.material.Diffuse);
    const Color cs = SourceColor(state.specularSource, state, vertex, state.material.Specular);
    const Color ce = SourceColor(state.emissiveSource, state, vertex, state.material.Emissive);

    VertexColors out{};
    out.diffuse = Saturate({ce.r + ca.r * ambientSum.r + cd.r * diffuseSum.r,
                            ce.g + ca.g * ambientSum.g + cd.g * diffuseSum.g,
                            ce.b + ca.b * ambientSum.b + cd.b * diffuseSum.b, cd.a});
    out.specular = Saturate({cs.r * specularSum.r, cs.g * specularSum.g, cs.b * specularSum.b, 0.0f});
    return out;
}

VertexColors UnlitVertex(const VertexInput& vertex) {
    VertexColors out{};
    out.diffuse = vertex.hasDiffuse ? ColorFromArgb(vertex.diffuse) : Color{1.0f, 1.0f, 1.0f, 1.0f};
    out.specular = vertex.hasSpecular ? ColorFromArgb(vertex.specular) : Color{0.0f, 0.0f, 0.0f, 0.0f};
    return out;
}

// ---- Texture coordinates ---------------------------------------------------

Vec2 TransformTexCoord2(Vec2 uv, const D3DMATRIX& m) {
    const Vec4 r = Transform({uv.x, uv.y, 1.0f, 0.0f}, m);
    return {r.x, r.y};
}

Vec2 CameraNormalTexCoord2(Vec3 cameraNormal, const D3DMATRIX& m) {
    const Vec4 r = Transform({cameraNormal.x, cameraNormal.y, cameraNormal.z, 1.0f}, m);
    return {r.x, r.y};
}

// ---- Texture sampling ------------------------------------------------------

namespace {

// Maps a texel index outside 0..size-1 by the address mode; -1 means the
// border colour.
int AddressTexel(int i, int size, DWORD mode) {
    switch (mode) {
    case D3DTADDRESS_CLAMP:
        return std::min(size - 1, std::max(0, i));
    case D3DTADDRESS_MIRROR: {
        const int period = 2 * size;
        int k = ((i % period) + period) % period;
        return k < size ? k : period - 1 - k;
    }
    case D3DTADDRESS_BORDER:
        return (i < 0 || i >= size) ? -1 : i;
    case D3DTADDRESS_WRAP:
    default:
        return ((i % size) + size) % size;
    }
}

Color Texel(const TextureImage& texture, int x, int y, const SamplerState& sampler) {
    const int tx = AddressTexel(x, texture.width, sampler.addressU);
    const int ty = AddressTexel(y, texture.height, sampler.addressV);
    if (tx < 0 || ty < 0) return ColorFromArgb(sampler.borderColor);
    return ColorFromArgb(texture.At(tx, ty));
}

Color Lerp(Color a, Color b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

} // namespace

Color SampleTexture(const TextureImage& texture, Vec2 uv, const SamplerState& sampler) {
    const double x = static_cast<double>(uv.x) * texture.width;
    const double y = static_cast<double>(uv.y) * texture.height;
    if (sampler.filter != D3DTEXF_LINEAR) {
        return Texel(texture, static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)), sampler);
    }
    const double cx = x - 0.5;
    const double cy = y - 0.5;
    const int x0 = static_cast<int>(std::floor(cx));
    const int y0 = static_cast<int>(std::floor(cy));
    const float fx = static_cast<float>(cx - x0);
    const float fy = static_cast<float>(cy - y0);
    const Color top = Lerp(Texel(texture, x0, y0, sampler), Texel(texture, x0 + 1, y0, sampler), fx);
    const Color bottom = Lerp(Texel(texture, x0, y0 + 1, sampler), Texel(texture, x0 + 1, y0 + 1, sampler), fx);
    return Lerp(top, bottom, fy);
}

// ---- Texture stages --------------------------------------------------------

StageState DefaultStage(int stage) {
    StageState s;
    s.colorOp = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    s.alphaOp = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    return s;
}

namespace {

bool UsesArg1(DWORD op) { return op != D3DTOP_DISABLE && op != D3DTOP_SELECTARG2; }
bool UsesArg2(DWORD op) { return op != D3DTOP_DISABLE && op != D3DTOP_SELECTARG1; }

// True when the operation reads the stage's texture, through an argument it
// uses or through the texture's alpha as the blend weight.
bool ReadsTexture(DWORD op, DWORD arg1, DWORD arg2) {
    if (op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM) return true;
    return (UsesArg1(op) && (arg1 & D3DTA_SELECTMASK) == D3DTA_TEXTURE) ||
           (UsesArg2(op) && (arg2 & D3DTA_SELECTMASK) == D3DTA_TEXTURE);
}

Color Argument(DWORD arg, const StageState& stage, Color current, const PixelInputs& inputs) {
    Color c{};
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: c = inputs.diffuse; break;
    case D3DTA_CURRENT: c = current; break;
    case D3DTA_TEXTURE: c = stage.texel; break;
    case D3DTA_TFACTOR: c = ColorFromArgb(inputs.textureFactor); break;
    case D3DTA_SPECULAR: c = inputs.specular; break;
    default: c = {0.0f, 0.0f, 0.0f, 0.0f}; break;
    }
    if (arg & D3DTA_COMPLEMENT) c = {1.0f - c.r, 1.0f - c.g, 1.0f - c.b, 1.0f - c.a};
    if (arg & D3DTA_ALPHAREPLICATE) c = {c.a, c.a, c.a, c.a};
    return c;
}

// One operation on one channel; weights are the alphas the blend ops use.
float Operate(DWORD op, float a1, float a2, float diffuseAlpha, float textureAlpha, float factorAlpha,
              float currentAlpha) {
    switch (op) {
    case D3DTOP_SELECTARG1: return a1;
    case D3DTOP_SELECTARG2: return a2;
    case D3DTOP_MODULATE: return a1 * a2;
    case D3DTOP_MODULATE2X: return a1 * a2 * 2.0f;
    case D3DTOP_MODULATE4X: return a1 * a2 * 4.0f;
    case D3DTOP_ADD: return a1 + a2;
    case D3DTOP_ADDSIGNED: return a1 + a2 - 0.5f;
    case D3DTOP_ADDSIGNED2X: return (a1 + a2 - 0.5f) * 2.0f;
    case D3DTOP_SUBTRACT: return a1 - a2;
    case D3DTOP_ADDSMOOTH: return a1 + a2 - a1 * a2;
    case D3DTOP_BLENDDIFFUSEALPHA: return a1 * diffuseAlpha + a2 * (1.0f - diffuseAlpha);
    case D3DTOP_BLENDTEXTUREALPHA: return a1 * textureAlpha + a2 * (1.0f - textureAlpha);
    case D3DTOP_BLENDFACTORALPHA: return a1 * factorAlpha + a2 * (1.0f - factorAlpha);
    case D3DTOP_BLENDTEXTUREALPHAPM: return a1 + a2 * (1.0f - textureAlpha);
    case D3DTOP_BLENDCURRENTALPHA: return a1 * currentAlpha + a2 * (1.0f - currentAlpha);
    default: return a1;
    }
}

} // namespace

Color CombineStages(const std::vector<StageState>& stages, const PixelInputs& inputs) {
    Color current = inputs.diffuse;
    const float factorAlpha = ColorFromArgb(inputs.textureFactor).a;
    for (const StageState& stage : stages) {
        if (stage.colorOp == D3DTOP_DISABLE) break; // ends the cascade, alpha included
        Color next = current;
        if (!(ReadsTexture(stage.colorOp, stage.colorArg1, stage.colorArg2) && !stage.textureBound)) {
            const Color a1 = Argument(stage.colorArg1, stage, current, inputs);
            const Color a2 = Argument(stage.colorArg2, stage, current, inputs);
            auto channel = [&](float x1, float x2) {
                return Clamp01(Operate(stage.colorOp, x1, x2, inputs.diffuse.a, stage.texel.a, factorAlpha, current.a));
            };
            next.r = channel(a1.r, a2.r);
            next.g = channel(a1.g, a2.g);
            next.b = channel(a1.b, a2.b);
        }
        if (stage.alphaOp != D3DTOP_DISABLE &&
            !(ReadsTexture(stage.alphaOp, stage.alphaArg1, stage.alphaArg2) && !stage.textureBound)) {
            const float a1 = Argument(stage.alphaArg1, stage, current, inputs).a;
            const float a2 = Argument(stage.alphaArg2, stage, current, inputs).a;
            next.a = Clamp01(Operate(stage.alphaOp, a1, a2, inputs.diffuse.a, stage.texel.a, factorAlpha, current.a));
        }
        current = next;
    }
    if (inputs.specularEnable) {
        current.r = Clamp01(current.r + inputs.specular.r);
        current.g = Clamp01(current.g + inputs.specular.g);
        current.b = Clamp01(current.b + inputs.specular.b);
    }
    return current;
}

// ---- Blending --------------------------------------------------------------

namespace {

Color BlendFactor(DWORD factor, Color src, Color dst) {
    switch (factor) {
    case D3DBLEND_ZERO: return {0.0f, 0.0f, 0.0f, 0.0f};
    case D3DBLEND_ONE: return {1.0f, 1.0f, 1.0f, 1.0f};
    case D3DBLEND_SRCCOLOR: return src;
    case D3DBLEND_INVSRCCOLOR: return {1.0f - src.r, 1.0f - src.g, 1.0f - src.b, 1.0f - src.a};
    case D3DBLEND_SRCALPHA: return {src.a, src.a, src.a, src.a};
    case D3DBLEND_INVSRCALPHA: return {1.0f - src.a, 1.0f - src.a, 1.0f - src.a, 1.0f - src.a};
    case D3DBLEND_DESTALPHA: return {dst.a, dst.a, dst.a, dst.a};
    case D3DBLEND_INVDESTALPHA: return {1.0f - dst.a, 1.0f - dst.a, 1.0f - dst.a, 1.0f - dst.a};
    case D3DBLEND_DESTCOLOR: return dst;
    case D3DBLEND_INVDESTCOLOR: return {1.0f - dst.r, 1.0f - dst.g, 1.0f - dst.b, 1.0f - dst.a};
    case D3DBLEND_SRCALPHASAT: {
        const float f = std::min(src.a, 1.0f - dst.a);
        return {f, f, f, 1.0f};
    }
    default: return {0.0f, 0.0f, 0.0f, 0.0f};
    }
}

} // namespace

Color BlendColors(Color src, Color dst, DWORD srcBlend, DWORD destBlend) {
    const Color fs = BlendFactor(srcBlend, src, dst);
    const Color fd = BlendFactor(destBlend, src, dst);
    const Color a = Mul(src, fs);
    const Color b = Mul(dst, fd);
    return Saturate({a.r + b.r, a.g + b.g, a.b + b.b, a.a + b.a});
}

// ---- Rasterisation ---------------------------------------------------------

ScreenVertex ClipToScreen(Vec4 clip, const D3DVIEWPORT8& viewport) {
    const float rhw = 1.0f / clip.w;
    const float nx = clip.x * rhw;
    const float ny = clip.y * rhw;
    const float nz = clip.z * rhw;
    ScreenVertex v{};
    v.x = static_cast<float>(viewport.X) + (nx + 1.0f) * 0.5f * static_cast<float>(viewport.Width);
    v.y = static_cast<float>(viewport.Y) + (1.0f - ny) * 0.5f * static_cast<float>(viewport.Height);
    v.z = viewport.MinZ + nz * (viewport.MaxZ - viewport.MinZ);
    v.rhw = rhw;
    return v;
}

namespace {

// Edge function of the edge a -> b at p: positive on the inner side of a
// triangle that is clockwise on the screen.
double Edge(const ScreenVertex& a, const ScreenVertex& b, double px, double py) {
    return (static_cast<double>(b.x) - a.x) * (py - a.y) - (static_cast<double>(b.y) - a.y) * (px - a.x);
}

double SignedArea(const ScreenVertex tri[3]) { return Edge(tri[0], tri[1], tri[2].x, tri[2].y); }

// Top edge: horizontal with the inside below; left edge: the inside to its
// right. For a clockwise triangle these are the edges running right along
// the top and upwards on the left.
bool IsTopLeft(const ScreenVertex& a, const ScreenVertex& b) {
    const double dx = static_cast<double>(b.x) - a.x;
    const double dy = static_cast<double>(b.y) - a.y;
    return (dy == 0.0 && dx > 0.0) || dy < 0.0;
}

} // namespace

int ScreenWinding(const ScreenVertex tri[3]) {
    const double area = SignedArea(tri);
    return area > 0.0 ? 1 : (area < 0.0 ? -1 : 0);
}

bool TriangleCoversPixel(const ScreenVertex tri[3], int x, int y) { return TriangleCoversPoint(tri, x, y); }

bool TriangleCoversPoint(const ScreenVertex tri[3], double x, double y) {
    const double area = SignedArea(tri);
    if (area == 0.0) return false;
    // Work on the clockwise order so that the inside is where all edges are positive.
    const ScreenVertex v[3] = {tri[0], area > 0.0 ? tri[1] : tri[2], area > 0.0 ? tri[2] : tri[1]};
    for (int i = 0; i < 3; ++i) {
        const ScreenVertex& a = v[i];
        const ScreenVertex& b = v[(i + 1) % 3];
        const double e = Edge(a, b, x, y);
        if (e < 0.0) return false;
        if (e == 0.0 && !IsTopLeft(a, b)) return false;
    }
    return true;
}

Vec3 PerspectiveWeights(const ScreenVertex tri[3], float x, float y) {
    const double area = SignedArea(tri);
    const double l0 = Edge(tri[1], tri[2], x, y) / area;
    const double l1 = Edge(tri[2], tri[0], x, y) / area;
    const double l2 = Edge(tri[0], tri[1], x, y) / area;
    const double w0 = l0 * tri[0].rhw;
    const double w1 = l1 * tri[1].rhw;
    const double w2 = l2 * tri[2].rhw;
    const double sum = w0 + w1 + w2;
    return {static_cast<float>(w0 / sum), static_cast<float>(w1 / sum), static_cast<float>(w2 / sum)};
}

std::vector<PixelPos> LinePixels(Vec2 a, Vec2 b, int* ambiguous) {
    std::vector<PixelPos> pixels;
    const int ax = static_cast<int>(std::lround(a.x));
    const int ay = static_cast<int>(std::lround(a.y));
    const int dx = static_cast<int>(std::lround(b.x)) - ax;
    const int dy = static_cast<int>(std::lround(b.y)) - ay;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const int steps = xMajor ? std::abs(dx) : std::abs(dy);
    int unsure = 0;
    for (int k = 0; k < steps; ++k) {
        // Along the major axis every pixel from the start up to, not
        // including, the end; across it the pixel whose centre is nearest.
        const double t = static_cast<double>(k) / steps;
        const double minor = xMajor ? ay + dy * t : ax + dx * t;
        const double frac = minor - std::floor(minor);
        if (frac == 0.5) {
            ++unsure;
            continue;
        }
        const int m = static_cast<int>(std::floor(minor + 0.5));
        const int major = (xMajor ? ax : ay) + (xMajor ? (dx > 0 ? k : -k) : (dy > 0 ? k : -k));
        pixels.push_back(xMajor ? PixelPos{major, m} : PixelPos{m, major});
    }
    if (ambiguous) *ambiguous = unsure;
    return pixels;
}

} // namespace d3dref
