// The floor of a recorded frame: its final vertices (in clip space, lit
// colour as the vertex gives it) baked into one static vertex and index
// buffer per run of draws with the same target, texture and state, drawn in
// a GL context of its own by a program that only interpolates, samples and
// multiplies, with nothing set between draws but what differs. The
// rasteriser does the same pixels' work as for the frame and no more.
#pragma once

#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdint>
#include <cstring>
#include <algorithm>
#include <map>
#include <vector>

#include "bench/recording_device.h"
#include "platform/d3d8/gl_state_cache.h"

class FloorFrame {
public:
    // Bakes `ops` (drawn at width x height) for a new context on `window`.
    FloorFrame(SDL_Window* window, const std::vector<RecordedOp>& ops, UINT width, UINT height)
        : m_window(window), m_width(width), m_height(height)
    {
        m_context = SDL_GL_CreateContext(window);
        if (m_context == nullptr)
            return;
        MakeCurrent();
        m_programs[0] = Program(false);
        m_programs[1] = Program(true);
        m_back = Target(width, height);
        for (const RecordedOp& op : ops)
            Bake(op);
        for (Batch& batch : m_batches)
            Upload(&batch);
        m_ok = m_programs[0] != 0 && m_programs[1] != 0;
    }
    ~FloorFrame()
    {
        if (m_context != nullptr) {
            MakeCurrent();
            for (Batch& batch : m_batches) {
                glDeleteBuffers(2, batch.buffers);
                glDeleteVertexArrays(1, &batch.vao);
            }
            SDL_GL_DeleteContext(m_context);
        }
    }
    FloorFrame(const FloorFrame&) = delete;
    FloorFrame& operator=(const FloorFrame&) = delete;

    bool Ok() const { return m_ok; }
    size_t Draws() const
    {
        size_t draws = 0;
        for (const Batch& batch : m_batches)
            draws += batch.clear ? 0 : 1;
        return draws;
    }

    // Draws the frame and waits for the rasteriser to finish it.
    void Draw()
    {
        MakeCurrent();
        for (const Batch& batch : m_batches) {
            const TargetFbo& target = batch.target == nullptr ? m_back : m_targets[batch.target];
            m_gl.BindDrawFramebuffer(target.fbo);
            m_gl.Viewport(0, 0, static_cast<GLsizei>(target.width), static_cast<GLsizei>(target.height));
            if (batch.clear) {
                m_gl.DepthMask(true);
                glClearColor(((batch.clearColour >> 16) & 0xFF) / 255.0f, ((batch.clearColour >> 8) & 0xFF) / 255.0f,
                             (batch.clearColour & 0xFF) / 255.0f, 1.0f);
                glClearDepth(batch.clearZ);
                glClear(((batch.clearFlags & D3DCLEAR_TARGET) ? GL_COLOR_BUFFER_BIT : 0) |
                        ((batch.clearFlags & D3DCLEAR_ZBUFFER) ? GL_DEPTH_BUFFER_BIT : 0));
                continue;
            }
            Apply(batch);
            m_gl.BindVertexArray(batch.vao);
            glDrawElements(batch.mode, static_cast<GLsizei>(batch.indexCount), GL_UNSIGNED_INT, nullptr);
        }
        glFinish();
    }

    // The floor's back buffer, 0xAARRGGBB, top row first.
    std::vector<uint32_t> ReadBack()
    {
        MakeCurrent();
        std::vector<uint32_t> pixels(static_cast<size_t>(m_width) * m_height);
        m_gl.BindReadFramebuffer(m_back.fbo);
        glReadPixels(0, 0, static_cast<GLsizei>(m_width), static_cast<GLsizei>(m_height), GL_BGRA,
                     GL_UNSIGNED_BYTE, pixels.data());
        // Drawn with clip-space y up: the last row read is the top.
        for (UINT y = 0; y < m_height / 2; ++y)
            std::swap_ranges(pixels.begin() + y * m_width, pixels.begin() + (y + 1) * m_width,
                             pixels.begin() + (m_height - 1 - y) * m_width);
        return pixels;
    }

private:
    struct FloorVertex {
        float x, y, z, w;
        uint32_t colour;
        float u, v;
    };
    struct TargetFbo {
        GLuint fbo = 0;
        GLuint colour = 0;
        UINT width = 0, height = 0;
    };
    struct Batch {
        bool clear = false;
        DWORD clearFlags = 0;
        D3DCOLOR clearColour = 0;
        float clearZ = 1.0f;
        IDirect3DSurface8* target = nullptr;
        RecordedState state;
        GLenum mode = GL_TRIANGLES;
        GLuint texture = 0;
        std::vector<FloorVertex> vertices;
        std::vector<uint32_t> indices;
        size_t indexCount = 0;
        GLuint vao = 0;
        GLuint buffers[2] = {0, 0};
    };

    void MakeCurrent() { SDL_GL_MakeCurrent(m_window, m_context); }

    static GLuint Compile(GLenum type, const char* source)
    {
        const GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        return shader;
    }

    static GLuint Program(bool textured)
    {
        const char* vs = "#version 330 core\n"
                         "layout(location = 0) in vec4 aPos;\n"
                         "layout(location = 1) in vec4 aColour;\n"
                         "layout(location = 2) in vec2 aUv;\n"
                         "out vec4 vColour;\nout vec2 vUv;\n"
                         "void main() { gl_Position = aPos; vColour = aColour; vUv = aUv; }\n";
        const char* fsTextured = "#version 330 core\n"
                                 "in vec4 vColour;\nin vec2 vUv;\nuniform sampler2D uTex;\nout vec4 o;\n"
                                 "void main() { o = texture(uTex, vUv) * vColour; }\n";
        const char* fsPlain = "#version 330 core\n"
                              "in vec4 vColour;\nin vec2 vUv;\nout vec4 o;\n"
                              "void main() { o = vColour; }\n";
        const GLuint program = glCreateProgram();
        const GLuint v = Compile(GL_VERTEX_SHADER, vs);
        const GLuint f = Compile(GL_FRAGMENT_SHADER, textured ? fsTextured : fsPlain);
        glAttachShader(program, v);
        glAttachShader(program, f);
        glLinkProgram(program);
        glDeleteShader(v);
        glDeleteShader(f);
        GLint linked = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        return linked ? program : 0;
    }

    static TargetFbo Target(UINT width, UINT height, GLuint colour = 0)
    {
        TargetFbo target;
        target.width = width;
        target.height = height;
        glGenFramebuffers(1, &target.fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, target.fbo);
        if (colour == 0) {
            glGenTextures(1, &colour);
            glBindTexture(GL_TEXTURE_2D, colour);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
                         GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        }
        target.colour = colour;
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
        GLuint depth = 0;
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width),
                              static_cast<GLsizei>(height));
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
        return target;
    }

    // The GL texture standing for a recorded one: a render target's texture
    // is the floor's own target, any other a copy of its texels.
    GLuint Texture(IDirect3DBaseTexture8* base)
    {
        if (base == nullptr)
            return 0;
        const auto found = m_textures.find(base);
        if (found != m_textures.end())
            return found->second;
        auto* texture = dynamic_cast<IDirect3DTexture8*>(base);
        GLuint name = 0;
        D3DSURFACE_DESC desc{};
        if (texture != nullptr && texture->GetLevelDesc(0, &desc) == D3D_OK) {
            if (desc.Usage & D3DUSAGE_RENDERTARGET) {
                IDirect3DSurface8* surface = nullptr;
                texture->GetSurfaceLevel(0, &surface);
                MakeCurrent();
                TargetFbo& target = m_targets[surface];
                if (target.fbo == 0)
                    target = Target(desc.Width, desc.Height);
                name = target.colour;
                if (surface != nullptr)
                    surface->Release();
            } else {
                std::vector<uint32_t> texels(static_cast<size_t>(desc.Width) * desc.Height, 0xFF808080u);
                D3DLOCKED_RECT locked{};
                const bool eight = desc.Format == D3DFMT_L8;
                if (texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
                    for (UINT y = 0; y < desc.Height; ++y)
                        for (UINT x = 0; x < desc.Width; ++x) {
                            const auto* row = static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch;
                            uint32_t texel = 0;
                            if (eight)
                                texel = 0xFF000000u | row[x] * 0x010101u;
                            else
                                std::memcpy(&texel, row + 4 * x, 4);
                            texels[y * desc.Width + x] = texel;
                        }
                    texture->UnlockRect(0);
                }
                const DWORD levels = texture->GetLevelCount();
                // The device's calls make its own context current.
                MakeCurrent();
                glGenTextures(1, &name);
                glBindTexture(GL_TEXTURE_2D, name);
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(desc.Width),
                             static_cast<GLsizei>(desc.Height), 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
                if (levels > 1)
                    glGenerateMipmap(GL_TEXTURE_2D);
                else
                    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
            }
        }
        m_textures[base] = name;
        return name;
    }

    static GLenum Mode(D3DPRIMITIVETYPE type)
    {
        return type == D3DPT_POINTLIST ? GL_POINTS
               : (type == D3DPT_LINELIST || type == D3DPT_LINESTRIP) ? GL_LINES
                                                                      : GL_TRIANGLES;
    }

    // The recorded draw's vertices in clip space, appended to the batch it
    // can join or a new one.
    void Bake(const RecordedOp& op)
    {
        if (op.clear) {
            Batch batch;
            batch.clear = true;
            batch.clearFlags = op.clearFlags;
            batch.clearColour = op.clearColour;
            batch.clearZ = op.clearZ;
            batch.target = op.state.target;
            if (batch.target != nullptr && m_targets[batch.target].fbo == 0) {
                D3DSURFACE_DESC desc{};
                batch.target->GetDesc(&desc);
                MakeCurrent();
                m_targets[batch.target] = Target(desc.Width, desc.Height);
            }
            m_batches.push_back(std::move(batch));
            return;
        }
        if (op.stride == 0 || op.vertices.empty())
            return;
        const GLenum mode = Mode(op.type);
        const GLuint texture = Texture(op.state.texture);
        MakeCurrent();
        if (m_batches.empty() || m_batches.back().clear || !(m_batches.back().state == op.state) ||
            m_batches.back().mode != mode) {
            Batch batch;
            batch.target = op.state.target;
            batch.state = op.state;
            batch.mode = mode;
            batch.texture = texture;
            m_batches.push_back(std::move(batch));
        }
        Batch& batch = m_batches.back();
        const DWORD position = op.fvf & D3DFVF_POSITION_MASK;
        const bool screen = position == D3DFVF_XYZRHW;
        size_t offset = screen ? 16 : 12;
        offset += (op.fvf & D3DFVF_NORMAL) ? 12 : 0;
        offset += (op.fvf & D3DFVF_PSIZE) ? 4 : 0;
        const size_t diffuse = (op.fvf & D3DFVF_DIFFUSE) ? offset : SIZE_MAX;
        offset += (op.fvf & D3DFVF_DIFFUSE) ? 4 : 0;
        offset += (op.fvf & D3DFVF_SPECULAR) ? 4 : 0;
        const size_t uv = (op.fvf & D3DFVF_TEXCOUNT_MASK) ? offset : SIZE_MAX;
        const size_t count = op.vertices.size() / op.stride;

        // Each vertex the draw reads, once.
        std::vector<uint32_t> order = op.indices;
        if (order.empty())
            for (uint32_t i = 0; i < count; ++i)
                order.push_back(i);
        std::map<uint32_t, uint32_t> placed;
        std::vector<uint32_t> local;
        for (uint32_t index : order) {
            if (index >= count)
                return;
            auto at = placed.find(index);
            if (at == placed.end()) {
                at = placed.emplace(index, static_cast<uint32_t>(batch.vertices.size())).first;
                batch.vertices.push_back(Vertex(op, op.vertices.data() + static_cast<size_t>(index) * op.stride,
                                                screen, diffuse, uv));
            }
            local.push_back(at->second);
        }
        // Strips and fans as lists.
        const size_t n = local.size();
        if (op.type == D3DPT_TRIANGLESTRIP) {
            for (size_t i = 0; i + 2 < n; ++i) {
                batch.indices.push_back(local[i]);
                batch.indices.push_back(local[(i & 1) ? i + 2 : i + 1]);
                batch.indices.push_back(local[(i & 1) ? i + 1 : i + 2]);
            }
        } else if (op.type == D3DPT_TRIANGLEFAN) {
            for (size_t i = 1; i + 1 < n; ++i) {
                batch.indices.insert(batch.indices.end(), {local[0], local[i], local[i + 1]});
            }
        } else if (op.type == D3DPT_LINESTRIP) {
            for (size_t i = 0; i + 1 < n; ++i)
                batch.indices.insert(batch.indices.end(), {local[i], local[i + 1]});
        } else {
            batch.indices.insert(batch.indices.end(), local.begin(), local.end());
        }
    }

    static FloorVertex Vertex(const RecordedOp& op, const uint8_t* data, bool screen, size_t diffuse, size_t uv)
    {
        float p[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        std::memcpy(p, data, screen ? 16 : 12);
        FloorVertex v{};
        if (screen) {
            const float w = p[3] != 0.0f ? 1.0f / p[3] : 1.0f;
            v.x = (p[0] / static_cast<float>(op.viewportWidth) * 2.0f - 1.0f) * w;
            v.y = (1.0f - p[1] / static_cast<float>(op.viewportHeight) * 2.0f) * w;
            v.z = (2.0f * p[2] - 1.0f) * w;
            v.w = w;
        } else {
            const D3DMATRIX& m = op.worldViewProjection;
            float c[4];
            for (int j = 0; j < 4; ++j)
                c[j] = p[0] * m.m[0][j] + p[1] * m.m[1][j] + p[2] * m.m[2][j] + m.m[3][j];
            v.x = c[0];
            v.y = c[1];
            v.z = 2.0f * c[2] - c[3];
            v.w = c[3];
        }
        v.colour = 0xFFFFFFFFu;
        if (diffuse != SIZE_MAX)
            std::memcpy(&v.colour, data + diffuse, 4);
        if (uv != SIZE_MAX) {
            std::memcpy(&v.u, data + uv, 4);
            std::memcpy(&v.v, data + uv + 4, 4);
        }
        return v;
    }

    static void Upload(Batch* batch)
    {
        if (batch->clear)
            return;
        glGenVertexArrays(1, &batch->vao);
        glBindVertexArray(batch->vao);
        glGenBuffers(2, batch->buffers);
        glBindBuffer(GL_ARRAY_BUFFER, batch->buffers[0]);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(batch->vertices.size() * sizeof(FloorVertex)),
                     batch->vertices.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, batch->buffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(batch->indices.size() * 4),
                     batch->indices.data(), GL_STATIC_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(FloorVertex), nullptr);
        glEnableVertexAttribArray(1);
        // 0xAARRGGBB little-endian is B, G, R, A in memory.
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(FloorVertex),
                              reinterpret_cast<const void*>(offsetof(FloorVertex, colour)));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(FloorVertex),
                              reinterpret_cast<const void*>(offsetof(FloorVertex, u)));
        batch->indexCount = batch->indices.size();
        std::vector<FloorVertex>().swap(batch->vertices);
        std::vector<uint32_t>().swap(batch->indices);
    }

    static GLenum BlendFactor(DWORD factor)
    {
        switch (factor) {
        case D3DBLEND_ZERO: return GL_ZERO;
        case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
        case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
        default: return GL_ONE;
        }
    }

    // Sets what the batch needs and the previous one did not have.
    void Apply(const Batch& batch)
    {
        const RecordedState& s = batch.state;
        m_gl.UseProgram(m_programs[batch.texture != 0 ? 1 : 0]);
        if (batch.texture != 0) {
            // Filtering and wrapping belong to the texture object: set when
            // they differ from what this texture was last drawn with.
            m_gl.BindTexture(0, batch.texture);
            const DWORD sampler[5] = {s.minFilter, s.magFilter, s.mipFilter, s.addressU, s.addressV};
            if (m_samplerTexture != batch.texture || std::memcmp(sampler, m_sampler, sizeof sampler) != 0) {
                const bool minLinear = s.minFilter == D3DTEXF_LINEAR;
                const bool mips = s.mipFilter != D3DTEXF_NONE;
                const GLenum min = !mips ? (minLinear ? GL_LINEAR : GL_NEAREST)
                                   : s.mipFilter == D3DTEXF_POINT
                                       ? (minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST)
                                       : (minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(min));
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                                s.magFilter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S,
                                s.addressU == D3DTADDRESS_CLAMP ? GL_CLAMP_TO_EDGE : GL_REPEAT);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T,
                                s.addressV == D3DTADDRESS_CLAMP ? GL_CLAMP_TO_EDGE : GL_REPEAT);
                m_samplerTexture = batch.texture;
                std::memcpy(m_sampler, sampler, sizeof sampler);
            }
        }
        m_gl.Enable(GL_BLEND, s.blend != 0);
        if (s.blend != 0)
            m_gl.BlendFunc(BlendFactor(s.srcBlend), BlendFactor(s.destBlend));
        m_gl.Enable(GL_DEPTH_TEST, s.zEnable != 0);
        if (s.zEnable != 0)
            m_gl.DepthFunc(GL_NEVER + (s.zFunc >= 1 && s.zFunc <= 8 ? s.zFunc - 1 : 3));
        m_gl.DepthMask(s.zWrite != 0);
        m_gl.Enable(GL_CULL_FACE, s.cull != D3DCULL_NONE);
        // Direct3D's front faces are clockwise on the screen, as drawn here
        // (clip-space y up): D3DCULL_CCW culls OpenGL's front faces.
        if (s.cull != D3DCULL_NONE)
            m_gl.CullFace(s.cull == D3DCULL_CCW ? GL_FRONT : GL_BACK);
        m_gl.PolygonMode(s.fill == D3DFILL_WIREFRAME ? GL_LINE : s.fill == D3DFILL_POINT ? GL_POINT : GL_FILL);
    }

    SDL_Window* m_window;
    SDL_GLContext m_context = nullptr;
    UINT m_width, m_height;
    bool m_ok = false;
    GLuint m_programs[2] = {0, 0};
    TargetFbo m_back;
    std::map<IDirect3DSurface8*, TargetFbo> m_targets;
    std::map<IDirect3DBaseTexture8*, GLuint> m_textures;
    std::vector<Batch> m_batches;
    zolt_d3d::GlStateCache m_gl;
    // The texture whose filtering and wrapping were set last, and to what.
    GLuint m_samplerTexture = 0;
    DWORD m_sampler[5] = {};
};
