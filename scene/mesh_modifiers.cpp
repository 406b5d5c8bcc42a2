// The modifier chain of a mesh: every modifier over every vertex in list
// order, the box refreshed from the result and the vertex buffer rewritten.
#include <algorithm>
#include <cstring>

#include "platform/d3d8/d3d8.h"
#include "scene/deformed_box.h"
#include "scene/mesh.h"
#include "scene/mesh_builder.h"

namespace {

bool SameBits(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

int CMesh::DeformableVertexCount() const
{
    return std::max(0, std::min(vertexCount, static_cast<int>(baseVertices.size())));
}

void CMesh::PrepareDeformation()
{
    const int n = DeformableVertexCount();
    ComputeBoundingBox(baseVertices.data(), n, &boxMin, &boxMax);
    if (!modifiers.Empty()) {
        deformedVertices.assign(baseVertices.begin(), baseVertices.begin() + n);
    }
}

uint64_t CMesh::ModifierStamp() const
{
    uint64_t sum = 0;
    for (const CModifier* modifier : modifiers) {
        sum += modifier->stamp();
    }
    return sum;
}

void CMesh::DeformVertices()
{
    if (modifiers.Empty()) {
        return;
    }
    const int n = DeformableVertexCount();
    // Prepare allocates the deformed vertices; a mesh deformed without it
    // gets them once here.
    if (deformedVertices.size() != static_cast<size_t>(n)) {
        deformedVertices.assign(baseVertices.begin(), baseVertices.begin() + n);
    }
    // The deformed copy differs from the base only in positions (modifiers
    // write nothing else), so the first modifier writes just those and the
    // others work in place.
    const MeshVertex* base = baseVertices.data();
    MeshVertex* deformed = deformedVertices.data();
    bool first = true;
    for (CModifier* modifier : modifiers) {
        if (first) {
            modifier->applyFromBase(base, deformed, n);
        } else {
            modifier->applyAll(deformed, deformed, n);
        }
        first = false;
    }
    FinishDeformation(deformed, baseVertices.data(), n, &boxMin, &boxMax);
}

void CMesh::EvaluateModifiers()
{
    if (BeginEvaluation()) {
        RunEvaluation();
        EndEvaluation();
    }
}

bool CMesh::BeginEvaluation()
{
    if (modifiers.Empty()) {
        return false;
    }
    // The chain is a function of the base vertices (fixed) and the modifiers'
    // state (their stamps): when neither changed since the last upload into
    // this buffer, the buffer and the box already hold the result.
    m_evaluationStamp = ModifierStamp();
    if (vertexBuffer != nullptr && vertexBuffer == m_uploadedBuffer && m_evaluationStamp == m_uploadedStamp &&
        SameBits(boxMin, m_uploadedBoxMin) && SameBits(boxMax, m_uploadedBoxMax)) {
        return false;
    }
    m_lockedVertices = nullptr;
    m_lockFailed = false;
    const int n = DeformableVertexCount();
    if (vertexBuffer == nullptr || n == 0) {
        return true;
    }
    const UINT bytes = static_cast<UINT>(static_cast<size_t>(n) * sizeof(MeshVertex));
    BYTE* data = nullptr;
    // A buffer that cannot be locked keeps last frame's contents.
    if (vertexBuffer->Lock(0, bytes, &data, 0) != D3D_OK || data == nullptr) {
        m_lockFailed = true;
        return true;
    }
    m_lockedVertices = data;
    return true;
}

void CMesh::RunEvaluation()
{
    DeformVertices();
    if (m_lockedVertices != nullptr) {
        std::memcpy(m_lockedVertices, deformedVertices.data(), deformedVertices.size() * sizeof(MeshVertex));
    }
}

void CMesh::EndEvaluation()
{
    if (m_lockFailed) {
        m_uploadedBuffer = nullptr;
        return;
    }
    if (m_lockedVertices == nullptr) {
        return;
    }
    m_lockedVertices = nullptr;
    vertexBuffer->Unlock();
    m_uploadedBuffer = vertexBuffer;
    m_uploadedStamp = m_evaluationStamp;
    m_uploadedBoxMin = boxMin;
    m_uploadedBoxMax = boxMax;
}

void CMesh::DeformVertex(int index, MeshVertex* out)
{
    if (index < 0 || static_cast<size_t>(index) >= baseVertices.size()) {
        *out = MeshVertex{};
        return;
    }
    const MeshVertex& base = baseVertices[static_cast<size_t>(index)];
    *out = base;
    bool first = true;
    for (CModifier* modifier : modifiers) {
        modifier->apply(first ? &base : out, out, index);
        first = false;
    }
    if (!modifiers.Empty()) {
        KeepFinite(out, base);
    }
}
