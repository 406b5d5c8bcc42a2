// A shadow of the OpenGL state the device sets, so that a call that would not
// change anything is not made. Only this device's context is tracked; the
// shadow starts unknown and every setter forces the first call.
#pragma once

#include "platform/d3d8/gl_api.h"

#include <cstdint>

namespace zolt_d3d {

class GlStateCache {
public:
    static constexpr int kUnits = 8;

    void Invalidate() { *this = GlStateCache(); }

    void UseProgram(GLuint program)
    {
        if (program != m_program) {
            glUseProgram(program);
            m_program = program;
        }
    }
    void BindVertexArray(GLuint vao)
    {
        if (vao != m_vao) {
            glBindVertexArray(vao);
            m_vao = vao;
        }
    }
    GLuint VertexArray() const { return m_vao; }
    void BindDrawFramebuffer(GLuint fbo)
    {
        if (fbo != m_drawFbo) {
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
            m_drawFbo = fbo;
        }
    }
    void BindReadFramebuffer(GLuint fbo)
    {
        if (fbo != m_readFbo) {
            glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
            m_readFbo = fbo;
        }
    }
    void Viewport(GLint x, GLint y, GLsizei w, GLsizei h)
    {
        if (x != m_viewport[0] || y != m_viewport[1] || w != m_viewport[2] || h != m_viewport[3]) {
            glViewport(x, y, w, h);
            m_viewport[0] = x;
            m_viewport[1] = y;
            m_viewport[2] = w;
            m_viewport[3] = h;
        }
    }
    void DepthRange(float n, float f)
    {
        if (n != m_depthRange[0] || f != m_depthRange[1] || !m_depthRangeKnown) {
            glDepthRange(n, f);
            m_depthRange[0] = n;
            m_depthRange[1] = f;
            m_depthRangeKnown = true;
        }
    }
    void Enable(GLenum cap, bool on)
    {
        int index = CapIndex(cap);
        const int8_t want = on ? 1 : 0;
        if (m_caps[index] != want) {
            if (on) {
                glEnable(cap);
            } else {
                glDisable(cap);
            }
            m_caps[index] = want;
        }
    }
    void DepthFunc(GLenum func)
    {
        if (func != m_depthFunc) {
            glDepthFunc(func);
            m_depthFunc = func;
        }
    }
    void DepthMask(bool on)
    {
        const int8_t want = on ? 1 : 0;
        if (want != m_depthMask) {
            glDepthMask(on ? GL_TRUE : GL_FALSE);
            m_depthMask = want;
        }
    }
    void BlendFunc(GLenum src, GLenum dst)
    {
        if (src != m_blendSrc || dst != m_blendDst) {
            glBlendFunc(src, dst);
            m_blendSrc = src;
            m_blendDst = dst;
        }
    }
    void BlendEquation(GLenum equation)
    {
        if (equation != m_blendEquation) {
            glBlendEquation(equation);
            m_blendEquation = equation;
        }
    }
    void CullFace(GLenum face)
    {
        if (face != m_cullFace) {
            glCullFace(face);
            m_cullFace = face;
        }
    }
    void PolygonMode(GLenum mode)
    {
        if (mode != m_polygonMode) {
            glPolygonMode(GL_FRONT_AND_BACK, mode);
            m_polygonMode = mode;
        }
    }
    // Bit 0 red, 1 green, 2 blue, 3 alpha.
    void ColorMask(unsigned mask)
    {
        if (static_cast<int>(mask) != m_colorMask) {
            glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
            m_colorMask = static_cast<int>(mask);
        }
    }
    void StencilFunc(GLenum func, GLint ref, GLuint mask)
    {
        if (func != m_stencilFunc || ref != m_stencilRef || mask != m_stencilValueMask || !m_stencilKnown) {
            glStencilFunc(func, ref, mask);
            m_stencilFunc = func;
            m_stencilRef = ref;
            m_stencilValueMask = mask;
            m_stencilKnown = true;
        }
    }
    void StencilOp(GLenum fail, GLenum zfail, GLenum pass)
    {
        if (fail != m_stencilOp[0] || zfail != m_stencilOp[1] || pass != m_stencilOp[2]) {
            glStencilOp(fail, zfail, pass);
            m_stencilOp[0] = fail;
            m_stencilOp[1] = zfail;
            m_stencilOp[2] = pass;
        }
    }
    void StencilMask(GLuint mask)
    {
        if (mask != m_stencilWriteMask || !m_stencilWriteKnown) {
            glStencilMask(mask);
            m_stencilWriteMask = mask;
            m_stencilWriteKnown = true;
        }
    }
    void Scissor(GLint x, GLint y, GLsizei w, GLsizei h)
    {
        if (x != m_scissor[0] || y != m_scissor[1] || w != m_scissor[2] || h != m_scissor[3]) {
            glScissor(x, y, w, h);
            m_scissor[0] = x;
            m_scissor[1] = y;
            m_scissor[2] = w;
            m_scissor[3] = h;
        }
    }
    void PointSize(float size)
    {
        if (size != m_pointSize) {
            glPointSize(size);
            m_pointSize = size;
        }
    }
    void BindTexture(int unit, GLuint texture)
    {
        if (texture != m_textures[unit]) {
            ActiveTexture(unit);
            glBindTexture(GL_TEXTURE_2D, texture);
            m_textures[unit] = texture;
        }
    }
    // For uploads: binds on a unit of its own so the draw bindings stay.
    void BindTextureForUpload(GLuint texture) { BindTexture(kUnits, texture); }
    void BindSampler(int unit, GLuint sampler)
    {
        if (sampler != m_samplers[unit]) {
            glBindSampler(static_cast<GLuint>(unit), sampler);
            m_samplers[unit] = sampler;
        }
    }
    // Forgets a deleted texture wherever it was bound.
    void ForgetTexture(GLuint texture)
    {
        for (GLuint& bound : m_textures) {
            if (bound == texture) {
                bound = kUnknown;
            }
        }
    }
    void ForgetFramebuffer(GLuint fbo)
    {
        if (m_drawFbo == fbo) {
            m_drawFbo = kUnknown;
        }
        if (m_readFbo == fbo) {
            m_readFbo = kUnknown;
        }
    }
    void ForgetVertexArray(GLuint vao)
    {
        if (m_vao == vao) {
            m_vao = kUnknown;
        }
    }
    void ForgetProgram(GLuint program)
    {
        if (m_program == program) {
            m_program = kUnknown;
        }
    }

private:
    static constexpr GLuint kUnknown = 0xFFFFFFFFu;
    static int CapIndex(GLenum cap)
    {
        switch (cap) {
        case GL_DEPTH_TEST:
            return 0;
        case GL_BLEND:
            return 1;
        case GL_CULL_FACE:
            return 2;
        case GL_STENCIL_TEST:
            return 3;
        case GL_SCISSOR_TEST:
            return 4;
        case GL_DEPTH_CLAMP:
            return 5;
        default:
            return 6;
        }
    }
    void ActiveTexture(int unit)
    {
        if (unit != m_activeUnit) {
            glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
            m_activeUnit = unit;
        }
    }

    GLuint m_program = kUnknown;
    GLuint m_vao = kUnknown;
    GLuint m_drawFbo = kUnknown;
    GLuint m_readFbo = kUnknown;
    GLint m_viewport[4] = {-1, -1, -1, -1};
    float m_depthRange[2] = {-1.0f, -1.0f};
    bool m_depthRangeKnown = false;
    int8_t m_caps[7] = {-1, -1, -1, -1, -1, -1, -1};
    GLenum m_depthFunc = kUnknown;
    int8_t m_depthMask = -1;
    GLenum m_blendSrc = kUnknown;
    GLenum m_blendDst = kUnknown;
    GLenum m_blendEquation = kUnknown;
    GLenum m_cullFace = kUnknown;
    GLenum m_polygonMode = kUnknown;
    int m_colorMask = -1;
    GLenum m_stencilFunc = kUnknown;
    GLint m_stencilRef = 0;
    GLuint m_stencilValueMask = 0;
    bool m_stencilKnown = false;
    GLenum m_stencilOp[3] = {kUnknown, kUnknown, kUnknown};
    GLuint m_stencilWriteMask = 0;
    bool m_stencilWriteKnown = false;
    GLint m_scissor[4] = {-1, -1, -1, -1};
    float m_pointSize = -1.0f;
    int m_activeUnit = -1;
    GLuint m_textures[kUnits + 1] = {kUnknown, kUnknown, kUnknown, kUnknown, kUnknown,
                                     kUnknown, kUnknown, kUnknown, kUnknown};
    GLuint m_samplers[kUnits] = {kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown, kUnknown};
};

} // namespace zolt_d3d
