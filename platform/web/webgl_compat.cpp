#define ZOLT_WEBGL_COMPAT_SOURCE
#include "platform/web/webgl_compat.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

// WebGL 2 reads buffers back (no OpenGL ES 3.0 header declares it).
extern "C" void glGetBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, void* data);

namespace {

struct TextureRecord {
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
    std::vector<GLsizei> sizes;  // width, height per level
};

// A buffer's contents while it has never been bound for drawing.
struct PendingBuffer {
    std::vector<uint8_t> bytes;
    GLenum usage = GL_DYNAMIC_DRAW;
};

struct CompatState {
    std::unordered_map<GLuint, PendingBuffer> pending;
    std::unordered_map<GLuint, bool> typed;  // bound for drawing at least once
    GLuint copyWrite = 0;                     // the GL_COPY_WRITE_BUFFER binding

    std::unordered_map<GLuint, TextureRecord> textures;
    GLint unpackRowLength = 0;
    GLenum polygonMode = GL_FILL;
    std::vector<uint8_t> pixels;      // converted texels
    std::vector<uint8_t> rawIndices;  // indices read back
    std::vector<uint32_t> indices;    // indices rewritten
    GLuint indexBuffer = 0;
    GLuint readFramebuffer = 0;
};

CompatState& state()
{
    static CompatState s;
    return s;
}

GLuint BoundTexture()
{
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return static_cast<GLuint>(name);
}

int BytesPerPixel(GLenum format, GLenum type)
{
    if (type == GL_UNSIGNED_SHORT_5_6_5 || type == GL_UNSIGNED_SHORT_1_5_5_5_REV ||
        type == GL_UNSIGNED_SHORT_4_4_4_4_REV) {
        return 2;
    }
    switch (format) {
    case GL_RED:
        return 1;
    case GL_RG:
        return 2;
    case GL_RGB:
    case GL_BGR:
        return 3;
    default:
        return 4;
    }
}

uint8_t Widen(uint32_t value, uint32_t max)
{
    return static_cast<uint8_t>((value * 255 + max / 2) / max);
}

uint32_t Narrow(uint8_t value, uint32_t max)
{
    return (static_cast<uint32_t>(value) * max + 127) / 255;
}

// One texel in the Direct3D layout to RGBA.
void ToRgba(const uint8_t* in, GLenum format, GLenum type, uint8_t* out)
{
    uint16_t v = 0;
    std::memcpy(&v, in, type == GL_UNSIGNED_BYTE || type == GL_UNSIGNED_INT_8_8_8_8_REV ? 0 : 2);
    switch (type) {
    case GL_UNSIGNED_SHORT_5_6_5:
        out[0] = Widen(v >> 11, 31), out[1] = Widen((v >> 5) & 63, 63), out[2] = Widen(v & 31, 31), out[3] = 255;
        return;
    case GL_UNSIGNED_SHORT_1_5_5_5_REV:
        out[0] = Widen((v >> 10) & 31, 31), out[1] = Widen((v >> 5) & 31, 31), out[2] = Widen(v & 31, 31);
        out[3] = (v >> 15) != 0 ? 255 : 0;
        return;
    case GL_UNSIGNED_SHORT_4_4_4_4_REV:
        out[0] = Widen((v >> 8) & 15, 15), out[1] = Widen((v >> 4) & 15, 15), out[2] = Widen(v & 15, 15);
        out[3] = Widen(v >> 12, 15);
        return;
    default:
        break;
    }
    switch (format) {
    case GL_BGRA:
        out[0] = in[2], out[1] = in[1], out[2] = in[0], out[3] = in[3];
        return;
    case GL_BGR:
        out[0] = in[2], out[1] = in[1], out[2] = in[0], out[3] = 255;
        return;
    case GL_RGB:
        out[0] = in[0], out[1] = in[1], out[2] = in[2], out[3] = 255;
        return;
    case GL_RED:
        out[0] = in[0], out[1] = 0, out[2] = 0, out[3] = 255;
        return;
    case GL_RG:
        out[0] = in[0], out[1] = in[1], out[2] = 0, out[3] = 255;
        return;
    default:
        std::memcpy(out, in, 4);
        return;
    }
}

// One RGBA texel back to the Direct3D layout.
void FromRgba(const uint8_t* in, GLenum format, GLenum type, uint8_t* out)
{
    uint16_t v = 0;
    switch (type) {
    case GL_UNSIGNED_SHORT_5_6_5:
        v = static_cast<uint16_t>((Narrow(in[0], 31) << 11) | (Narrow(in[1], 63) << 5) | Narrow(in[2], 31));
        std::memcpy(out, &v, 2);
        return;
    case GL_UNSIGNED_SHORT_1_5_5_5_REV:
        v = static_cast<uint16_t>((in[3] >= 128 ? 0x8000 : 0) | (Narrow(in[0], 31) << 10) |
                                  (Narrow(in[1], 31) << 5) | Narrow(in[2], 31));
        std::memcpy(out, &v, 2);
        return;
    case GL_UNSIGNED_SHORT_4_4_4_4_REV:
        v = static_cast<uint16_t>((Narrow(in[3], 15) << 12) | (Narrow(in[0], 15) << 8) | (Narrow(in[1], 15) << 4) |
                                  Narrow(in[2], 15));
        std::memcpy(out, &v, 2);
        return;
    default:
        break;
    }
    switch (format) {
    case GL_BGRA:
        out[0] = in[2], out[1] = in[1], out[2] = in[0], out[3] = in[3];
        return;
    case GL_BGR:
        out[0] = in[2], out[1] = in[1], out[2] = in[0];
        return;
    case GL_RGB:
        std::memcpy(out, in, 3);
        return;
    case GL_RED:
        out[0] = in[0];
        return;
    case GL_RG:
        out[0] = in[0], out[1] = in[1];
        return;
    default:
        std::memcpy(out, in, 4);
        return;
    }
}

uint8_t Select(const uint8_t* rgba, GLint selector)
{
    switch (selector) {
    case GL_ZERO:
        return 0;
    case GL_ONE:
        return 255;
    case GL_RED:
        return rgba[0];
    case GL_GREEN:
        return rgba[1];
    case GL_BLUE:
        return rgba[2];
    default:
        return rgba[3];
    }
}

// The texels of a width x height upload as RGBA8 with the texture's swizzle,
// in the state's scratch buffer; rows of the source are unpackRowLength long
// when that is set.
const uint8_t* ConvertUpload(GLuint texture, GLsizei width, GLsizei height, GLenum format, GLenum type,
                             const void* pixels)
{
    CompatState& s = state();
    const TextureRecord& record = s.textures[texture];
    const int bpp = BytesPerPixel(format, type);
    const size_t rowTexels = s.unpackRowLength > 0 ? static_cast<size_t>(s.unpackRowLength) : width;
    s.pixels.resize(static_cast<size_t>(width) * height * 4);
    const auto* source = static_cast<const uint8_t*>(pixels);
    uint8_t* out = s.pixels.data();
    for (GLsizei y = 0; y < height; ++y) {
        const uint8_t* row = source + static_cast<size_t>(y) * rowTexels * bpp;
        for (GLsizei x = 0; x < width; ++x, out += 4) {
            uint8_t rgba[4];
            ToRgba(row + static_cast<size_t>(x) * bpp, format, type, rgba);
            for (int c = 0; c < 4; ++c) {
                out[c] = Select(rgba, record.swizzle[c]);
            }
        }
    }
    return s.pixels.data();
}

// Reads the colour attachment of the bound read framebuffer, or of a
// framebuffer made for a texture level, as RGBA8 into the scratch buffer and
// converts it to the asked layout.
void ReadConverted(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels)
{
    CompatState& s = state();
    s.pixels.resize(static_cast<size_t>(width) * height * 4);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, s.pixels.data());
    const int bpp = BytesPerPixel(format, type);
    auto* out = static_cast<uint8_t*>(pixels);
    const size_t count = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < count; ++i) {
        FromRgba(s.pixels.data() + i * 4, format, type, out + i * bpp);
    }
}

bool IsTriangles(GLenum mode)
{
    return mode == GL_TRIANGLES || mode == GL_TRIANGLE_STRIP || mode == GL_TRIANGLE_FAN;
}

// Index k of a draw of `count` vertices read from `source` (null: first + k).
uint32_t IndexAt(const std::vector<uint8_t>& source, GLenum type, GLsizei k, GLint first)
{
    if (source.empty()) {
        return static_cast<uint32_t>(first + k);
    }
    if (type == GL_UNSIGNED_INT) {
        uint32_t v;
        std::memcpy(&v, source.data() + static_cast<size_t>(k) * 4, 4);
        return v;
    }
    if (type == GL_UNSIGNED_SHORT) {
        uint16_t v;
        std::memcpy(&v, source.data() + static_cast<size_t>(k) * 2, 2);
        return v;
    }
    return source[static_cast<size_t>(k)];
}

// Draws the rewritten indices of the state through its own element buffer,
// leaving the vertex array's element buffer as it was.
void DrawRewritten(GLenum mode)
{
    CompatState& s = state();
    if (s.indices.empty()) {
        return;
    }
    if (s.indexBuffer == 0) {
        glGenBuffers(1, &s.indexBuffer);
    }
    GLint previous = 0;
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &previous);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, s.indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.indices.size() * 4), s.indices.data(),
                 GL_STREAM_DRAW);
    glDrawElements(mode, static_cast<GLsizei>(s.indices.size()), GL_UNSIGNED_INT, nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(previous));
}

// A draw of `count` vertices (indexed when `type` is not 0) with base vertex
// `base`, rewritten as plain indices: triangle edges as lines when the
// polygon mode is GL_LINE, otherwise the same primitives.
void DrawThroughIndices(GLenum mode, GLsizei count, GLenum type, const void* offset, GLint first, GLint base)
{
    CompatState& s = state();
    s.rawIndices.clear();
    if (type != 0) {
        const int size = type == GL_UNSIGNED_INT ? 4 : type == GL_UNSIGNED_SHORT ? 2 : 1;
        s.rawIndices.resize(static_cast<size_t>(count) * size);
        glGetBufferSubData(GL_ELEMENT_ARRAY_BUFFER, reinterpret_cast<GLintptr>(offset),
                           static_cast<GLsizeiptr>(s.rawIndices.size()), s.rawIndices.data());
    }
    s.indices.clear();
    auto at = [&](GLsizei k) { return IndexAt(s.rawIndices, type, k, first) + static_cast<uint32_t>(base); };
    if (s.polygonMode != GL_LINE || !IsTriangles(mode)) {
        for (GLsizei k = 0; k < count; ++k) {
            s.indices.push_back(at(k));
        }
        DrawRewritten(mode);
        return;
    }
    auto edge = [&](uint32_t a, uint32_t b, uint32_t c) {
        const uint32_t line[6] = {a, b, b, c, c, a};
        s.indices.insert(s.indices.end(), line, line + 6);
    };
    if (mode == GL_TRIANGLES) {
        for (GLsizei k = 0; k + 2 < count; k += 3) {
            edge(at(k), at(k + 1), at(k + 2));
        }
    } else if (mode == GL_TRIANGLE_STRIP) {
        for (GLsizei k = 0; k + 2 < count; ++k) {
            edge(at(k), at(k + 1), at(k + 2));
        }
    } else {
        for (GLsizei k = 1; k + 1 < count; ++k) {
            edge(at(0), at(k), at(k + 1));
        }
    }
    DrawRewritten(GL_LINES);
}

} // namespace

void ZoltWebFinish()
{
    // Reading a pixel of the bound read framebuffer cannot be answered before
    // every command that draws into it has run.
    uint8_t pixel[4];
    if (glCheckFramebufferStatus(GL_READ_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    } else {
        glFinish();
    }
}

void ZoltWebClearDepth(double depth)
{
    glClearDepthf(static_cast<GLfloat>(depth));
}

void ZoltWebDepthRange(double n, double f)
{
    glDepthRangef(static_cast<GLfloat>(n), static_cast<GLfloat>(f));
}

void ZoltWebPolygonMode(GLenum, GLenum mode)
{
    state().polygonMode = mode;
}

// Points are one pixel in WebGL unless a shader says otherwise; the show
// draws none.
void ZoltWebPointSize(GLfloat) {}

// WebGL 2 takes flat colours from the last vertex and has no say in it.
void ZoltWebProvokingVertex(GLenum) {}

void ZoltWebClipControl(GLenum, GLenum) {}

// A program with one output writes it to draw buffer 0.
void ZoltWebBindFragDataLocation(GLuint, GLuint, const GLchar*) {}

void ZoltWebEnable(GLenum cap)
{
    if (cap != GL_DEPTH_CLAMP) {
        glEnable(cap);
    }
}

void ZoltWebDisable(GLenum cap)
{
    if (cap != GL_DEPTH_CLAMP) {
        glDisable(cap);
    }
}

void ZoltWebTexParameteriv(GLenum target, GLenum name, const GLint* values)
{
    if (name == GL_TEXTURE_SWIZZLE_RGBA) {
        std::memcpy(state().textures[BoundTexture()].swizzle, values, sizeof(GLint) * 4);
        return;
    }
    glTexParameteriv(target, name, values);
}

void ZoltWebTexImage2D(GLenum target, GLint level, GLint, GLsizei width, GLsizei height, GLint border,
                       GLenum format, GLenum type, const void* pixels)
{
    const GLuint texture = BoundTexture();
    TextureRecord& record = state().textures[texture];
    if (level == 0) {
        record = TextureRecord();
    }
    const size_t slot = static_cast<size_t>(level) * 2;
    if (record.sizes.size() < slot + 2) {
        record.sizes.resize(slot + 2, 0);
    }
    record.sizes[slot] = width;
    record.sizes[slot + 1] = height;
    const void* converted = pixels != nullptr ? ConvertUpload(texture, width, height, format, type, pixels) : nullptr;
    glTexImage2D(target, level, GL_RGBA8, width, height, border, GL_RGBA, GL_UNSIGNED_BYTE, converted);
}

void ZoltWebTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height,
                          GLenum format, GLenum type, const void* pixels)
{
    if (pixels == nullptr || width <= 0 || height <= 0) {
        return;
    }
    const void* converted = ConvertUpload(BoundTexture(), width, height, format, type, pixels);
    glTexSubImage2D(target, level, x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, converted);
}

void ZoltWebGetTexImage(GLenum, GLint level, GLenum format, GLenum type, void* pixels)
{
    CompatState& s = state();
    const GLuint texture = BoundTexture();
    const TextureRecord& record = s.textures[texture];
    const size_t slot = static_cast<size_t>(level) * 2;
    if (record.sizes.size() < slot + 2) {
        return;
    }
    if (s.readFramebuffer == 0) {
        glGenFramebuffers(1, &s.readFramebuffer);
    }
    GLint previous = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s.readFramebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, level);
    ReadConverted(0, 0, record.sizes[slot], record.sizes[slot + 1], format, type, pixels);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previous));
}

void ZoltWebReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels)
{
    if (format == GL_RGBA && type == GL_UNSIGNED_BYTE) {
        glReadPixels(x, y, width, height, format, type, pixels);
        return;
    }
    ReadConverted(x, y, width, height, format, type, pixels);
}

void ZoltWebPixelStorei(GLenum name, GLint value)
{
    // Every texture upload is converted into tightly packed rows first.
    if (name == GL_UNPACK_ROW_LENGTH) {
        state().unpackRowLength = value;
        return;
    }
    glPixelStorei(name, value);
}

void ZoltWebVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                                const void* pointer)
{
    glVertexAttribPointer(index, size == GL_BGRA ? 4 : size, type, normalized, stride, pointer);
}

void ZoltWebSamplerParameteri(GLuint sampler, GLenum name, GLint value)
{
    glSamplerParameteri(sampler, name, value == GL_CLAMP_TO_BORDER ? GL_CLAMP_TO_EDGE : value);
}

void ZoltWebSamplerParameterf(GLuint sampler, GLenum name, GLfloat value)
{
    if (name != GL_TEXTURE_LOD_BIAS) {
        glSamplerParameterf(sampler, name, value);
    }
}

void ZoltWebSamplerParameterfv(GLuint sampler, GLenum name, const GLfloat* values)
{
    if (name != GL_TEXTURE_BORDER_COLOR) {
        glSamplerParameterfv(sampler, name, values);
    }
}

// WebGL 2 maps no buffers; callers then write with glBufferSubData.
void* ZoltWebMapBufferRange(GLenum, GLintptr, GLsizeiptr, GLbitfield)
{
    return nullptr;
}

void ZoltWebBindBuffer(GLenum target, GLuint buffer)
{
    CompatState& s = state();
    if (target == GL_COPY_WRITE_BUFFER) {
        s.copyWrite = buffer;
        if (buffer == 0 || s.typed.count(buffer) != 0) {
            glBindBuffer(target, buffer);
        }
        return;
    }
    glBindBuffer(target, buffer);
    if (buffer == 0 || s.typed.count(buffer) != 0) {
        return;
    }
    s.typed[buffer] = true;
    auto found = s.pending.find(buffer);
    if (found != s.pending.end()) {
        glBufferData(target, static_cast<GLsizeiptr>(found->second.bytes.size()), found->second.bytes.data(),
                     found->second.usage);
        s.pending.erase(found);
    }
}

void ZoltWebBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    CompatState& s = state();
    if (target == GL_COPY_WRITE_BUFFER && s.copyWrite != 0 && s.typed.count(s.copyWrite) == 0) {
        PendingBuffer& pending = s.pending[s.copyWrite];
        const auto* bytes = static_cast<const uint8_t*>(data);
        if (bytes != nullptr) {
            pending.bytes.assign(bytes, bytes + size);
        } else {
            pending.bytes.assign(static_cast<size_t>(size), 0);
        }
        pending.usage = usage;
        return;
    }
    glBufferData(target, size, data, usage);
}

void ZoltWebBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, const void* data)
{
    CompatState& s = state();
    if (target == GL_COPY_WRITE_BUFFER && s.copyWrite != 0 && s.typed.count(s.copyWrite) == 0) {
        PendingBuffer& pending = s.pending[s.copyWrite];
        if (offset >= 0 && size >= 0 && static_cast<size_t>(offset + size) <= pending.bytes.size()) {
            std::memcpy(pending.bytes.data() + offset, data, static_cast<size_t>(size));
        }
        return;
    }
    glBufferSubData(target, offset, size, data);
}

void ZoltWebDeleteBuffers(GLsizei count, const GLuint* buffers)
{
    CompatState& s = state();
    for (GLsizei i = 0; i < count; ++i) {
        s.pending.erase(buffers[i]);
        s.typed.erase(buffers[i]);
        if (s.copyWrite == buffers[i]) {
            s.copyWrite = 0;
        }
    }
    glDeleteBuffers(count, buffers);
}

GLboolean ZoltWebUnmapBuffer(GLenum)
{
    return GL_TRUE;
}

void ZoltWebDrawArrays(GLenum mode, GLint first, GLsizei count)
{
    if (state().polygonMode == GL_LINE && IsTriangles(mode)) {
        DrawThroughIndices(mode, count, 0, nullptr, first, 0);
        return;
    }
    glDrawArrays(mode, first, count);
}

void ZoltWebDrawElements(GLenum mode, GLsizei count, GLenum type, const void* offset)
{
    ZoltWebDrawElementsBaseVertex(mode, count, type, offset, 0);
}

void ZoltWebDrawElementsBaseVertex(GLenum mode, GLsizei count, GLenum type, const void* offset, GLint baseVertex)
{
    if (baseVertex == 0 && !(state().polygonMode == GL_LINE && IsTriangles(mode))) {
        glDrawElements(mode, count, type, offset);
        return;
    }
    DrawThroughIndices(mode, count, type, offset, 0, baseVertex);
}
