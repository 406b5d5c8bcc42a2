// Drawing: merging user-pointer draws into one stream, and the draw calls.
#include <algorithm>
#include <cstring>

#include "platform/d3d8/d3d8_impl.h"

namespace zolt_d3d {

namespace {

constexpr size_t kBatchFlushBytes = size_t(8) << 20;
constexpr size_t kMinStreamCapacity = size_t(4) << 20;

GLenum PrimitiveMode(D3DPRIMITIVETYPE type)
{
    switch (type) {
    case D3DPT_POINTLIST:
        return GL_POINTS;
    case D3DPT_LINELIST:
        return GL_LINES;
    case D3DPT_LINESTRIP:
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
        return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
        return GL_TRIANGLE_FAN;
    default:
        return GL_TRIANGLES;
    }
}

UINT VertexCapacity(UINT length, UINT vertexSize, UINT stride)
{
    if (length < vertexSize || stride == 0) {
        return 0;
    }
    return (length - vertexSize) / stride + 1;
}

} // namespace

// ---- Streaming user data -----------------------------------------------------

GLint Device::UploadStream(const void* data, size_t size, UINT stride)
{
    size_t offset = (m_streamOffset + stride - 1) / stride * stride;
    glBindBuffer(GL_ARRAY_BUFFER, m_streamBuffer);
    if (offset + size > m_streamCapacity) {
        // Fresh storage: draws still reading the old one are not waited for.
        size_t capacity = std::max(m_streamCapacity, kMinStreamCapacity);
        while (capacity < size) {
            capacity *= 2;
        }
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
        m_streamCapacity = capacity;
        offset = 0;
    }
    void* target = glMapBufferRange(GL_ARRAY_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(size),
                                    GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (target != nullptr) {
        std::memcpy(target, data, size);
        glUnmapBuffer(GL_ARRAY_BUFFER);
    } else {
        glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(size), data);
    }
    m_streamOffset = offset + size;
    return static_cast<GLint>(offset / stride);
}

GLuint Device::StreamVertexArray(const VertexLayout& layout, UINT stride)
{
    for (const StreamVao& entry : m_streamVaos) {
        if (entry.fvf == layout.fvf && entry.stride == stride) {
            return entry.vao;
        }
    }
    GLuint vao = 0;
    glGenVertexArrays(1, &vao);
    m_gl.BindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_streamBuffer);
    SetupVertexAttributes(layout, stride);
    m_streamVaos.push_back(StreamVao{layout.fvf, stride, vao});
    return vao;
}

void Device::AppendToBatch(GLenum mode, D3DPRIMITIVETYPE type, UINT vertexCount, const uint8_t* data, UINT stride)
{
    if (m_batch.active && (m_batch.fvf != m_state.fvf || m_batch.stride != stride || m_batch.mode != mode)) {
        FlushBatch();
    }
    if (!m_batch.active) {
        m_batch.active = true;
        m_batch.fvf = m_state.fvf;
        m_batch.stride = stride;
        m_batch.mode = mode;
        m_batch.vertices = 0;
        m_batch.data.clear();
    }
    const auto append = [&](UINT index) {
        const uint8_t* vertex = data + static_cast<size_t>(index) * stride;
        m_batch.data.insert(m_batch.data.end(), vertex, vertex + stride);
    };
    if (type == D3DPT_TRIANGLESTRIP) {
        // As separate triangles, every other one reordered to keep its facing.
        for (UINT i = 0; i + 2 < vertexCount; ++i) {
            append(i);
            append((i & 1) == 0 ? i + 1 : i + 2);
            append((i & 1) == 0 ? i + 2 : i + 1);
        }
        m_batch.vertices += (vertexCount - 2) * 3;
    } else if (type == D3DPT_TRIANGLEFAN) {
        for (UINT i = 1; i + 1 < vertexCount; ++i) {
            append(0);
            append(i);
            append(i + 1);
        }
        m_batch.vertices += (vertexCount - 2) * 3;
    } else {
        m_batch.data.insert(m_batch.data.end(), data, data + static_cast<size_t>(vertexCount) * stride);
        m_batch.vertices += vertexCount;
    }
    if (m_batch.data.size() >= kBatchFlushBytes) {
        FlushBatch();
    }
}

void Device::FlushBatch()
{
    if (!m_batch.active) {
        return;
    }
    m_batch.active = false;
    if (m_batch.vertices == 0 || !MakeCurrent() || !PrepareDraw(m_batch.mode)) {
        return;
    }
    const GLint first = UploadStream(m_batch.data.data(), m_batch.data.size(), m_batch.stride);
    m_gl.BindVertexArray(StreamVertexArray(m_state.layout, m_batch.stride));
    glDrawArrays(m_batch.mode, first, static_cast<GLsizei>(m_batch.vertices));
}

void Device::DrawPending()
{
    PaintPendingBehind();
    FlushBatch();
}

void Device::DrawUserArrays(GLenum mode, UINT vertexCount, const void* data, UINT stride)
{
    if (!PrepareDraw(mode)) {
        return;
    }
    const GLint first = UploadStream(data, static_cast<size_t>(vertexCount) * stride, stride);
    m_gl.BindVertexArray(StreamVertexArray(m_state.layout, stride));
    glDrawArrays(mode, first, static_cast<GLsizei>(vertexCount));
}

// ---- Draw calls --------------------------------------------------------------

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount, const void* vertexData,
                                UINT stride)
{
    if (vertexData == nullptr || stride == 0) {
        return D3DERR_INVALIDCALL;
    }
    if (primitiveCount == 0) {
        return D3D_OK;
    }
    const UINT vertexCount = VertexCountForPrimitives(primitiveType, primitiveCount);
    if (vertexCount == 0 || static_cast<uint64_t>(vertexCount) * stride > kMaxResourceBytes) {
        return D3DERR_INVALIDCALL;
    }
    // Direct3D leaves stream 0 unset after a user-pointer draw.
    if (m_state.stream != nullptr) {
        VertexBuffer* old = m_state.stream;
        m_state.stream = nullptr;
        m_state.streamStride = 0;
        old->Release();
    }
    if (!m_state.layoutValid || stride < m_state.layout.size) {
        return D3DERR_INVALIDCALL;
    }
    if (m_cooperative != kOk || !MakeCurrent()) {
        return D3D_OK;
    }
    const auto* bytes = static_cast<const uint8_t*>(vertexData);
    switch (primitiveType) {
    case D3DPT_TRIANGLELIST:
        AppendToBatch(GL_TRIANGLES, primitiveType, vertexCount, bytes, stride);
        break;
    case D3DPT_LINELIST:
        AppendToBatch(GL_LINES, primitiveType, vertexCount, bytes, stride);
        break;
    case D3DPT_POINTLIST:
        AppendToBatch(GL_POINTS, primitiveType, vertexCount, bytes, stride);
        break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        // Split into separate triangles only where that cannot change the
        // picture: flat shading takes a colour from a particular vertex.
        if (m_state.renderStates[D3DRS_SHADEMODE] != D3DSHADE_FLAT) {
            AppendToBatch(GL_TRIANGLES, primitiveType, vertexCount, bytes, stride);
            break;
        }
        FlushBatch();
        DrawUserArrays(PrimitiveMode(primitiveType), vertexCount, vertexData, stride);
        break;
    default:
        FlushBatch();
        DrawUserArrays(PrimitiveMode(primitiveType), vertexCount, vertexData, stride);
        break;
    }
    return D3D_OK;
}

bool Device::BeginDirectDraw(GLenum mode)
{
    if (m_cooperative != kOk || !MakeCurrent()) {
        return false;
    }
    FlushBatch();
    return PrepareDraw(mode);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount)
{
    if (primitiveCount == 0) {
        return D3D_OK;
    }
    const UINT vertexCount = VertexCountForPrimitives(primitiveType, primitiveCount);
    if (vertexCount == 0 || m_state.stream == nullptr || !m_state.layoutValid || m_state.streamStride < m_state.layout.size ||
        m_state.stream->locked()) {
        return D3DERR_INVALIDCALL;
    }
    const UINT capacity = VertexCapacity(m_state.stream->length(), m_state.layout.size, m_state.streamStride);
    if (startVertex > capacity || vertexCount > capacity - startVertex) {
        return D3DERR_INVALIDCALL;
    }
    if (!BeginDirectDraw(PrimitiveMode(primitiveType))) {
        return D3D_OK;
    }
    m_gl.BindVertexArray(m_state.stream->VertexArray(m_state.layout, m_state.streamStride));
    glDrawArrays(PrimitiveMode(primitiveType), static_cast<GLint>(startVertex), static_cast<GLsizei>(vertexCount));
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, UINT minIndex, UINT numVertices,
                                     UINT startIndex, UINT primCount)
{
    (void)minIndex;
    (void)numVertices;
    if (primCount == 0) {
        return D3D_OK;
    }
    const UINT indexCount = VertexCountForPrimitives(primitiveType, primCount);
    if (indexCount == 0 || m_state.stream == nullptr || m_state.indices == nullptr || !m_state.layoutValid ||
        m_state.streamStride < m_state.layout.size || m_state.stream->locked() || m_state.indices->locked()) {
        return D3DERR_INVALIDCALL;
    }
    if (startIndex > m_state.indices->IndexCount() || indexCount > m_state.indices->IndexCount() - startIndex) {
        return D3DERR_INVALIDCALL;
    }
    // Every index must name a vertex of the bound buffer.
    const UINT capacity = VertexCapacity(m_state.stream->length(), m_state.layout.size, m_state.streamStride);
    // Usually the whole buffer is in range and no range needs looking at.
    if (static_cast<uint64_t>(m_state.baseVertexIndex) + m_state.indices->MaxIndex() >= capacity &&
        static_cast<uint64_t>(m_state.baseVertexIndex) + m_state.indices->MaxIndex(startIndex, indexCount) >= capacity) {
        return D3DERR_INVALIDCALL;
    }
    if (!BeginDirectDraw(PrimitiveMode(primitiveType))) {
        return D3D_OK;
    }
    m_gl.BindVertexArray(m_state.stream->VertexArray(m_state.layout, m_state.streamStride));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_state.indices->glBuffer());
    glDrawElementsBaseVertex(
        PrimitiveMode(primitiveType), static_cast<GLsizei>(indexCount), m_state.indices->GlType(),
        reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * m_state.indices->IndexSize()),
        static_cast<GLint>(m_state.baseVertexIndex));
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex, UINT numVertexIndices,
                                       UINT primitiveCount, const void* indexData, D3DFORMAT indexDataFormat,
                                       const void* vertexStreamZeroData, UINT vertexStreamZeroStride)
{
    if (indexData == nullptr || vertexStreamZeroData == nullptr || vertexStreamZeroStride == 0 ||
        (indexDataFormat != D3DFMT_INDEX16 && indexDataFormat != D3DFMT_INDEX32)) {
        return D3DERR_INVALIDCALL;
    }
    if (primitiveCount == 0) {
        return D3D_OK;
    }
    const UINT indexCount = VertexCountForPrimitives(primitiveType, primitiveCount);
    const uint64_t vertexCount = static_cast<uint64_t>(minVertexIndex) + numVertexIndices;
    if (indexCount == 0 || vertexCount == 0 || vertexCount * vertexStreamZeroStride > kMaxResourceBytes) {
        return D3DERR_INVALIDCALL;
    }
    // Stream 0 and the indices are left unset afterwards.
    if (m_state.stream != nullptr) {
        VertexBuffer* old = m_state.stream;
        m_state.stream = nullptr;
        m_state.streamStride = 0;
        old->Release();
    }
    if (m_state.indices != nullptr) {
        IndexBuffer* old = m_state.indices;
        m_state.indices = nullptr;
        old->Release();
    }
    if (!m_state.layoutValid || vertexStreamZeroStride < m_state.layout.size) {
        return D3DERR_INVALIDCALL;
    }
    const UINT indexSize = indexDataFormat == D3DFMT_INDEX32 ? 4 : 2;
    const auto* indices = static_cast<const uint8_t*>(indexData);
    for (UINT i = 0; i < indexCount; ++i) {
        uint32_t value = 0;
        if (indexSize == 4) {
            std::memcpy(&value, indices + static_cast<size_t>(i) * 4, 4);
        } else {
            uint16_t small;
            std::memcpy(&small, indices + static_cast<size_t>(i) * 2, 2);
            value = small;
        }
        if (value >= vertexCount) {
            return D3DERR_INVALIDCALL;
        }
    }
    if (!BeginDirectDraw(PrimitiveMode(primitiveType))) {
        return D3D_OK;
    }
    const GLint first = UploadStream(vertexStreamZeroData, static_cast<size_t>(vertexCount) * vertexStreamZeroStride,
                                     vertexStreamZeroStride);
    m_gl.BindVertexArray(StreamVertexArray(m_state.layout, vertexStreamZeroStride));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_streamIndexBuffer);
    const size_t bytes = static_cast<size_t>(indexCount) * indexSize;
    size_t offset = (m_streamIndexOffset + 3) / 4 * 4;
    if (offset + bytes > m_streamIndexCapacity) {
        size_t capacity = std::max(m_streamIndexCapacity, size_t(1) << 20);
        while (capacity < bytes) {
            capacity *= 2;
        }
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
        m_streamIndexCapacity = capacity;
        offset = 0;
    }
    glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(bytes), indexData);
    m_streamIndexOffset = offset + bytes;
    glDrawElementsBaseVertex(PrimitiveMode(primitiveType), static_cast<GLsizei>(indexCount),
                             indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(offset)), first);
    return D3D_OK;
}

} // namespace zolt_d3d
