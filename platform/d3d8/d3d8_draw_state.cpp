// Drawing state: turning the Direct3D state into GL state, samplers,
// uniforms and a fixed-function program before each draw.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d8/d3d8_impl.h"
#include "platform/d3d8/ffp_shader_gen.h"

namespace zolt_d3d {

namespace {

// Direct3D's pixel centres sit on integer coordinates, OpenGL's half a pixel
// further, so geometry moves by half a pixel right and down. Filled
// triangles move by exactly half a pixel: with rows stored top-down,
// OpenGL's tie rule for edges through pixel centres is then Direct3D's
// top-left rule. Lines and points move by just under half a pixel, which
// keeps segments through pixel centres on the pixels Direct3D lights.
constexpr double kTriangleShift = 1.0;
constexpr double kLineShift = 63.0 / 64.0;

GLenum CompareFunc(DWORD func)
{
    switch (func) {
    case D3DCMP_NEVER:
        return GL_NEVER;
    case D3DCMP_LESS:
        return GL_LESS;
    case D3DCMP_EQUAL:
        return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
        return GL_LEQUAL;
    case D3DCMP_GREATER:
        return GL_GREATER;
    case D3DCMP_NOTEQUAL:
        return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

GLenum BlendFactor(DWORD blend, GLenum fallback)
{
    switch (blend) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_ONE:
        return GL_ONE;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    default:
        return fallback;
    }
}

GLenum BlendEquationFor(DWORD op)
{
    switch (op) {
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

GLenum StencilOpFor(DWORD op)
{
    switch (op) {
    case D3DSTENCILOP_ZERO:
        return GL_ZERO;
    case D3DSTENCILOP_REPLACE:
        return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT:
        return GL_INCR;
    case D3DSTENCILOP_DECRSAT:
        return GL_DECR;
    case D3DSTENCILOP_INVERT:
        return GL_INVERT;
    case D3DSTENCILOP_INCR:
        return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR:
        return GL_DECR_WRAP;
    default:
        return GL_KEEP;
    }
}

GLenum WrapMode(DWORD address)
{
    switch (address) {
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    case 5: // MIRRORONCE
        return GL_CLAMP_TO_EDGE;
    default:
        return GL_REPEAT;
    }
}

float BitsToFloat(DWORD bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

void ColorToFloats(D3DCOLOR color, float* out)
{
    out[0] = static_cast<float>((color >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((color >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(color & 0xFF) / 255.0f;
    out[3] = static_cast<float>((color >> 24) & 0xFF) / 255.0f;
}

void CopyColor(const D3DCOLORVALUE& color, float* out)
{
    out[0] = color.r;
    out[1] = color.g;
    out[2] = color.b;
    out[3] = color.a;
}

void Multiply(const double a[4][4], const double b[4][4], double out[4][4])
{
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c] + a[r][3] * b[3][c];
        }
    }
}

void ToDouble(const D3DMATRIX& m, double out[4][4])
{
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out[r][c] = m.m[r][c];
        }
    }
}

void StoreMatrix(const double m[4][4], float* out)
{
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out[r * 4 + c] = static_cast<float>(m[r][c]);
        }
    }
}

// Row vector times matrix: (x, y, z, w) * m.
void TransformRow(const double v[4], const double m[4][4], double out[4])
{
    for (int c = 0; c < 4; ++c) {
        out[c] = v[0] * m[0][c] + v[1] * m[1][c] + v[2] * m[2][c] + v[3] * m[3][c];
    }
}

// The matrix that carries normals along with m's upper 3 x 3: the
// transposed inverse (for row vectors). A singular matrix is used as it is.
void NormalMatrix(const double m[4][4], double out[4][4])
{
    const double a = m[0][0], b = m[0][1], c = m[0][2];
    const double d = m[1][0], e = m[1][1], f = m[1][2];
    const double g = m[2][0], h = m[2][1], i = m[2][2];
    const double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const double det = a * A + b * B + c * C;
    std::memset(out, 0, sizeof(double) * 16);
    out[3][3] = 1.0;
    if (std::fabs(det) < 1e-30) {
        for (int r = 0; r < 3; ++r) {
            for (int col = 0; col < 3; ++col) {
                out[r][col] = m[r][col];
            }
        }
        return;
    }
    const double inv = 1.0 / det;
    // The transposed inverse is the cofactor matrix over the determinant.
    out[0][0] = A * inv;
    out[0][1] = B * inv;
    out[0][2] = C * inv;
    out[1][0] = -(b * i - c * h) * inv;
    out[1][1] = (a * i - c * g) * inv;
    out[1][2] = -(a * h - b * g) * inv;
    out[2][0] = (b * f - c * e) * inv;
    out[2][1] = -(a * f - c * d) * inv;
    out[2][2] = (a * e - b * d) * inv;
}

} // namespace

// ---- State application -------------------------------------------------------

void Device::ApplyTarget()
{
    const GLuint fbo = m_renderTarget->Framebuffer(m_depthStencil);
    m_gl.BindDrawFramebuffer(fbo);
    // Rows are stored top-down, so Direct3D's viewport maps unchanged.
    m_gl.Viewport(static_cast<GLint>(m_state.viewport.X), static_cast<GLint>(m_state.viewport.Y),
                  static_cast<GLsizei>(m_state.viewport.Width), static_cast<GLsizei>(m_state.viewport.Height));
    m_gl.DepthRange(m_state.viewport.MinZ, m_state.viewport.MaxZ);
    if (m_renderTarget->kind() == Surface::Kind::TextureLevel) {
        m_renderTarget->container()->MarkRendered(static_cast<UINT>(m_renderTarget->colorLevel()));
    }
    m_dirty &= ~kDirtyTarget;
}

void Device::ApplyFixedState()
{
    const DWORD* rs = m_state.renderStates;
    const bool depthTest = m_depthStencil != nullptr && rs[D3DRS_ZENABLE] != D3DZB_FALSE;
    m_gl.Enable(GL_DEPTH_TEST, depthTest);
    if (depthTest) {
        m_gl.DepthFunc(CompareFunc(rs[D3DRS_ZFUNC]));
        m_gl.DepthMask(rs[D3DRS_ZWRITEENABLE] != 0);
    }

    const bool blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
    m_gl.Enable(GL_BLEND, blend);
    if (blend) {
        GLenum src = BlendFactor(rs[D3DRS_SRCBLEND], GL_ONE);
        GLenum dst = BlendFactor(rs[D3DRS_DESTBLEND], GL_ZERO);
        if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA) {
            src = GL_SRC_ALPHA;
            dst = GL_ONE_MINUS_SRC_ALPHA;
        } else if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA) {
            src = GL_ONE_MINUS_SRC_ALPHA;
            dst = GL_SRC_ALPHA;
        }
        m_gl.BlendFunc(src, dst);
        m_gl.BlendEquation(BlendEquationFor(rs[D3DRS_BLENDOP]));
    }

    // With rows stored top-down, a triangle clockwise on Direct3D's screen is
    // counter-clockwise in OpenGL's window coordinates (its front faces).
    switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_CW:
        m_gl.Enable(GL_CULL_FACE, true);
        m_gl.CullFace(GL_FRONT);
        break;
    case D3DCULL_CCW:
        m_gl.Enable(GL_CULL_FACE, true);
        m_gl.CullFace(GL_BACK);
        break;
    default:
        m_gl.Enable(GL_CULL_FACE, false);
        break;
    }

    switch (rs[D3DRS_FILLMODE]) {
    case D3DFILL_POINT:
        m_gl.PolygonMode(GL_POINT);
        break;
    case D3DFILL_WIREFRAME:
        m_gl.PolygonMode(GL_LINE);
        break;
    default:
        m_gl.PolygonMode(GL_FILL);
        break;
    }

    unsigned mask = rs[D3DRS_COLORWRITEENABLE] & 0xF;
    if (!m_renderTarget->colorInfo()->hasAlpha) {
        mask &= 0x7; // alpha of an X8 target stays 1
    }
    m_gl.ColorMask(mask);

    const bool stencil = m_depthStencil != nullptr && m_depthStencil->HasStencil() && rs[D3DRS_STENCILENABLE] != 0;
    if (m_behind == Behind::kMarking) {
        // Each pixel written is marked: a painter behind leaves it alone.
        m_gl.Enable(GL_STENCIL_TEST, true);
        m_gl.StencilFunc(GL_ALWAYS, 1, 0xFF);
        m_gl.StencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
        m_gl.StencilMask(0xFF);
    } else if (m_behind == Behind::kPainting) {
        m_gl.Enable(GL_STENCIL_TEST, true);
        m_gl.StencilFunc(GL_EQUAL, 0, 0xFF);
        m_gl.StencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        m_gl.StencilMask(0);
    } else {
        m_gl.Enable(GL_STENCIL_TEST, stencil);
    }
    if (stencil && m_behind == Behind::kOff) {
        m_gl.StencilFunc(CompareFunc(rs[D3DRS_STENCILFUNC]), static_cast<GLint>(rs[D3DRS_STENCILREF] & 0xFF),
                         rs[D3DRS_STENCILMASK] & 0xFF);
        m_gl.StencilOp(StencilOpFor(rs[D3DRS_STENCILFAIL]), StencilOpFor(rs[D3DRS_STENCILZFAIL]),
                       StencilOpFor(rs[D3DRS_STENCILPASS]));
        m_gl.StencilMask(rs[D3DRS_STENCILWRITEMASK] & 0xFF);
    }

    // Pre-transformed vertices are not clipped by depth (a screen quad may
    // carry any z).
    m_gl.Enable(GL_DEPTH_CLAMP, m_state.layoutValid && m_state.layout.pretransformed);
    const float pointSize = BitsToFloat(rs[D3DRS_POINTSIZE]);
    m_gl.PointSize(pointSize >= 1.0f && pointSize <= 256.0f ? pointSize : 1.0f);
    m_dirty &= ~kDirtyFixed;
}

GLuint Device::Sampler(int stage)
{
    const DWORD* ts = m_state.stageStates[stage];
    SamplerEntry wanted{};
    wanted.address[0] = ts[D3DTSS_ADDRESSU];
    wanted.address[1] = ts[D3DTSS_ADDRESSV];
    wanted.minFilter = ts[D3DTSS_MINFILTER] == D3DTEXF_NONE ? D3DTEXF_POINT : ts[D3DTSS_MINFILTER];
    wanted.magFilter = ts[D3DTSS_MAGFILTER] == D3DTEXF_NONE ? D3DTEXF_POINT : ts[D3DTSS_MAGFILTER];
    wanted.mipFilter = ts[D3DTSS_MIPFILTER];
    wanted.maxMipLevel = ts[D3DTSS_MAXMIPLEVEL];
    wanted.lodBias = ts[D3DTSS_MIPMAPLODBIAS];
    wanted.border = (wanted.address[0] == D3DTADDRESS_BORDER || wanted.address[1] == D3DTADDRESS_BORDER)
                        ? ts[D3DTSS_BORDERCOLOR]
                        : 0;
    for (const SamplerEntry& entry : m_samplers) {
        if (entry.address[0] == wanted.address[0] && entry.address[1] == wanted.address[1] &&
            entry.minFilter == wanted.minFilter && entry.magFilter == wanted.magFilter &&
            entry.mipFilter == wanted.mipFilter && entry.maxMipLevel == wanted.maxMipLevel &&
            entry.lodBias == wanted.lodBias && entry.border == wanted.border) {
            return entry.sampler;
        }
    }
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, static_cast<GLint>(WrapMode(wanted.address[0])));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, static_cast<GLint>(WrapMode(wanted.address[1])));
    const bool magLinear = wanted.magFilter >= D3DTEXF_LINEAR;
    const bool minLinear = wanted.minFilter >= D3DTEXF_LINEAR;
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    GLenum minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    if (wanted.mipFilter == D3DTEXF_POINT) {
        minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    } else if (wanted.mipFilter >= D3DTEXF_LINEAR) {
        minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, static_cast<float>(wanted.maxMipLevel));
    const float bias = BitsToFloat(wanted.lodBias);
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, std::isfinite(bias) ? bias : 0.0f);
    float border[4];
    ColorToFloats(wanted.border, border);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
    wanted.sampler = sampler;
    m_samplers.push_back(wanted);
    return sampler;
}

void Device::ApplyTextures()
{
    for (int s = 0; s < m_key.stageCount; ++s) {
        if (m_key.stages[s].sample == 0 || m_state.textures[s] == nullptr) {
            continue;
        }
        m_gl.BindTexture(s, m_state.textures[s]->glTexture());
        if (m_stageSamplerDirty[s] || m_stageSampler[s] == 0) {
            m_stageSampler[s] = Sampler(s);
            m_stageSamplerDirty[s] = false;
        }
        m_gl.BindSampler(s, m_stageSampler[s]);
    }
    m_dirty &= ~kDirtyTextures;
}

void Device::ComputeGroup(UniformGroup group)
{
    switch (group) {
    case kGroupTransform: {
        double world[4][4], view[4][4], projection[4][4], worldView[4][4], all[4][4], normal[4][4];
        ToDouble(m_state.world[0], world);
        ToDouble(m_state.view, view);
        ToDouble(m_state.projection, projection);
        Multiply(world, view, worldView);
        Multiply(worldView, projection, all);
        NormalMatrix(worldView, normal);
        StoreMatrix(all, m_uTransform);
        StoreMatrix(worldView, m_uTransform + 16);
        StoreMatrix(normal, m_uTransform + 32);
        break;
    }
    case kGroupViewport: {
        const double width = m_state.viewport.Width > 0 ? m_state.viewport.Width : 1.0;
        const double height = m_state.viewport.Height > 0 ? m_state.viewport.Height : 1.0;
        for (int variant = 0; variant < 2; ++variant) {
            const double c = variant == 0 ? kTriangleShift : kLineShift;
            float* out = m_uViewport + variant * 8;
            out[0] = static_cast<float>(c / width);
            out[1] = static_cast<float>(-c / height);
            out[2] = 0.0f;
            out[3] = 0.0f;
            out[4] = static_cast<float>(2.0 / width);
            out[5] = static_cast<float>(2.0 / height);
            out[6] = static_cast<float>((c * 0.5 - m_state.viewport.X) * 2.0 / width - 1.0);
            out[7] = static_cast<float>((c * 0.5 - m_state.viewport.Y) * 2.0 / height - 1.0);
        }
        break;
    }
    case kGroupMaterial:
        CopyColor(m_state.material.Diffuse, m_uMaterial);
        CopyColor(m_state.material.Ambient, m_uMaterial + 4);
        CopyColor(m_state.material.Specular, m_uMaterial + 8);
        CopyColor(m_state.material.Emissive, m_uMaterial + 12);
        m_uMaterial[16] = m_state.material.Power;
        m_uMaterial[17] = m_uMaterial[18] = m_uMaterial[19] = 0.0f;
        ColorToFloats(m_state.renderStates[D3DRS_AMBIENT], m_uMaterial + 20);
        break;
    case kGroupLights: {
        double view[4][4];
        ToDouble(m_state.view, view);
        for (int i = 0; i < m_activeLightCount; ++i) {
            const D3DLIGHT8& light = m_state.lights[static_cast<size_t>(m_activeLights[i])].light;
            float* out = m_uLights + i * kLightVec4s * 4;
            CopyColor(light.Diffuse, out);
            CopyColor(light.Specular, out + 4);
            CopyColor(light.Ambient, out + 8);
            const double position[4] = {light.Position.x, light.Position.y, light.Position.z, 1.0};
            const double direction[4] = {light.Direction.x, light.Direction.y, light.Direction.z, 0.0};
            double p[4], d[4];
            TransformRow(position, view, p);
            TransformRow(direction, view, d);
            const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            if (length > 0.0) {
                d[0] /= length;
                d[1] /= length;
                d[2] /= length;
            }
            if (light.Type == D3DLIGHT_DIRECTIONAL) {
                // Stored as the direction towards the light.
                d[0] = -d[0];
                d[1] = -d[1];
                d[2] = -d[2];
            }
            out[12] = static_cast<float>(p[0]);
            out[13] = static_cast<float>(p[1]);
            out[14] = static_cast<float>(p[2]);
            out[15] = light.Range;
            out[16] = static_cast<float>(d[0]);
            out[17] = static_cast<float>(d[1]);
            out[18] = static_cast<float>(d[2]);
            out[19] = light.Falloff;
            out[20] = light.Attenuation0;
            out[21] = light.Attenuation1;
            out[22] = light.Attenuation2;
            out[23] = static_cast<float>(std::cos(light.Theta * 0.5));
            out[7] = static_cast<float>(std::cos(light.Phi * 0.5));
        }
        break;
    }
    case kGroupTexMatrix:
        for (int s = 0; s < kMaxStages; ++s) {
            std::memcpy(m_uTexMatrix + s * 16, &m_state.textureMatrix[s], sizeof(float) * 16);
        }
        break;
    case kGroupPixel:
        ColorToFloats(m_state.renderStates[D3DRS_TEXTUREFACTOR], m_uPixel);
        m_uPixel[4] = static_cast<float>(m_state.renderStates[D3DRS_ALPHAREF] & 0xFF);
        break;
    default:
        break;
    }
}

void Device::UpdateUniforms(int shiftVariant)
{
    for (int g = 0; g < kGroupCount; ++g) {
        if (m_groupDirty[g]) {
            ComputeGroup(static_cast<UniformGroup>(g));
            m_groupDirty[g] = false;
            ++m_groupVersion[g];
        }
    }
    FfpProgram& p = *m_program;
    if (p.versions[kGroupTransform] != m_groupVersion[kGroupTransform]) {
        if (p.worldViewProj >= 0) {
            glUniformMatrix4fv(p.worldViewProj, 1, GL_FALSE, m_uTransform);
        }
        if (p.worldView >= 0) {
            glUniformMatrix4fv(p.worldView, 1, GL_FALSE, m_uTransform + 16);
        }
        if (p.normalMatrix >= 0) {
            glUniformMatrix4fv(p.normalMatrix, 1, GL_FALSE, m_uTransform + 32);
        }
        p.versions[kGroupTransform] = m_groupVersion[kGroupTransform];
    }
    if (p.versions[kGroupViewport] != m_groupVersion[kGroupViewport] || p.shiftVariant != shiftVariant) {
        if (p.posFix >= 0) {
            glUniform4fv(p.posFix, 1, m_uViewport + shiftVariant * 8);
        }
        if (p.screen >= 0) {
            glUniform4fv(p.screen, 1, m_uViewport + shiftVariant * 8 + 4);
        }
        p.versions[kGroupViewport] = m_groupVersion[kGroupViewport];
        p.shiftVariant = shiftVariant;
    }
    if (p.versions[kGroupMaterial] != m_groupVersion[kGroupMaterial]) {
        if (p.material >= 0) {
            glUniform4fv(p.material, 5, m_uMaterial);
        }
        if (p.ambient >= 0) {
            glUniform4fv(p.ambient, 1, m_uMaterial + 20);
        }
        p.versions[kGroupMaterial] = m_groupVersion[kGroupMaterial];
    }
    if (p.versions[kGroupLights] != m_groupVersion[kGroupLights]) {
        if (p.lights >= 0 && p.lightCount > 0) {
            glUniform4fv(p.lights, p.lightCount * kLightVec4s, m_uLights);
        }
        p.versions[kGroupLights] = m_groupVersion[kGroupLights];
    }
    if (p.versions[kGroupTexMatrix] != m_groupVersion[kGroupTexMatrix]) {
        if (p.texMatrix >= 0) {
            glUniformMatrix4fv(p.texMatrix, kMaxStages, GL_FALSE, m_uTexMatrix);
        }
        p.versions[kGroupTexMatrix] = m_groupVersion[kGroupTexMatrix];
    }
    if (p.versions[kGroupPixel] != m_groupVersion[kGroupPixel]) {
        if (p.tfactor >= 0) {
            glUniform4fv(p.tfactor, 1, m_uPixel);
        }
        if (p.alphaRef >= 0) {
            glUniform1f(p.alphaRef, m_uPixel[4]);
        }
        p.versions[kGroupPixel] = m_groupVersion[kGroupPixel];
    }
}

bool Device::PrepareDraw(GLenum mode)
{
    if (m_behind == Behind::kMarking && DrawNeedsBehindPainted()) {
        PaintPendingBehind();
    }
    if ((m_dirty & kDirtyTarget) != 0) {
        ApplyTarget();
    }
    if ((m_dirty & kDirtyKey) != 0) {
        FfpInputs inputs;
        inputs.renderStates = m_state.renderStates;
        inputs.stageStates = m_state.stageStates;
        for (int s = 0; s < kMaxStages; ++s) {
            inputs.textureBound[s] = m_state.textures[s] != nullptr;
        }
        inputs.layout = &m_state.layout;
        inputs.lightCount = m_activeLightCount;
        for (int i = 0; i < m_activeLightCount; ++i) {
            inputs.lightTypes[i] = m_state.lights[static_cast<size_t>(m_activeLights[i])].light.Type;
        }
        FfpKey key;
        BuildFfpKey(inputs, &key);
        if (m_program == nullptr || key != m_key) {
            m_key = key;
            m_program = m_programs->Get(key);
        }
        m_dirty &= ~kDirtyKey;
        m_dirty |= kDirtyTextures;
    }
    if (m_program == nullptr) {
        return false;
    }
    m_gl.UseProgram(m_program->program);
    const bool lineLike = mode == GL_POINTS || mode == GL_LINES || mode == GL_LINE_STRIP ||
                          m_state.renderStates[D3DRS_FILLMODE] != D3DFILL_SOLID;
    UpdateUniforms(lineLike ? 1 : 0);
    if ((m_dirty & kDirtyFixed) != 0) {
        ApplyFixedState();
    }
    if ((m_dirty & kDirtyTextures) != 0) {
        ApplyTextures();
    }
    return true;
}

} // namespace zolt_d3d
