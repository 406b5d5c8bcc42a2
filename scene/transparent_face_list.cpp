#include "scene/transparent_face_list.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "math/d3dx_math.h"
#include "math/engine_math.h"
#include "platform/d3d8/d3d8.h"
#include "scene/material.h"
#include "scene/mesh.h"

namespace {

bool CollectsFace(const MeshFace& face)
{
    return face.material != nullptr && face.material->IsTransparent();
}

// True when a must be drawn before b: it lies strictly deeper.
inline bool Deeper(const TransparentFace* a, const TransparentFace* b)
{
    return a->depth > b->depth;
}

// Runs shorter than this are ordered by insertion, which is stable.
constexpr size_t kInsertionRun = 16;

void InsertionSort(TransparentFace** items, size_t count)
{
    for (size_t i = 1; i < count; ++i) {
        TransparentFace* item = items[i];
        size_t j = i;
        while (j > 0 && Deeper(item, items[j - 1])) {
            items[j] = items[j - 1];
            --j;
        }
        items[j] = item;
    }
}

// Merges neighbouring sorted runs of `width` from src into dst; on equal
// depths the left run's item comes first.
void MergeRuns(TransparentFace* const* src, TransparentFace** dst, size_t count, size_t width)
{
    for (size_t low = 0; low < count; low += 2 * width) {
        const size_t middle = std::min(low + width, count);
        const size_t high = std::min(low + 2 * width, count);
        size_t i = low;
        size_t j = middle;
        size_t k = low;
        while (i < middle && j < high) {
            dst[k++] = Deeper(src[j], src[i]) ? src[j++] : src[i++];
        }
        while (i < middle) {
            dst[k++] = src[i++];
        }
        while (j < high) {
            dst[k++] = src[j++];
        }
    }
}

} // namespace

void SortByDepthDescending(TransparentFace** items, TransparentFace** scratch, size_t count)
{
    size_t firstOutOfOrder = 1;
    while (firstOutOfOrder < count && !Deeper(items[firstOutOfOrder], items[firstOutOfOrder - 1])) {
        ++firstOutOfOrder;
    }
    if (firstOutOfOrder >= count) {
        return; // a camera that holds still moves nothing
    }
    for (size_t low = 0; low < count; low += kInsertionRun) {
        InsertionSort(items + low, std::min(kInsertionRun, count - low));
    }
    TransparentFace** src = items;
    TransparentFace** dst = scratch;
    for (size_t width = kInsertionRun; width < count; width *= 2) {
        MergeRuns(src, dst, count, width);
        std::swap(src, dst);
    }
    if (src != items) {
        std::copy(src, src + count, items);
    }
}

int TransparentFaceList::Build(const CObjectList<CMesh>& meshes)
{
    size_t count = 0;
    for (const CMesh* mesh : meshes) {
        for (const MeshFace& face : mesh->faces) {
            count += CollectsFace(face) ? 1 : 0;
        }
    }
    m_records.clear();
    m_order.clear();
    m_scratch.clear();
    m_lastMaterial = nullptr;
    if (count == 0) {
        return 0;
    }
    // Sized once: the records never move, so the order can point at them.
    m_records.reserve(count);
    m_order.reserve(count);
    m_scratch.resize(count);
    for (CMesh* mesh : meshes) {
        for (const MeshFace& face : mesh->faces) {
            if (!CollectsFace(face)) {
                continue;
            }
            const MeshVertex& p0 = mesh->baseVertices[face.corners[0]];
            const MeshVertex& p1 = mesh->baseVertices[face.corners[1]];
            const MeshVertex& p2 = mesh->baseVertices[face.corners[2]];
            TransparentFace record{};
            record.face = &face;
            record.mesh = mesh;
            record.centre.x = (p2.x + p1.x + p0.x) * 0.33333334f;
            record.centre.y = (p2.y + p1.y + p0.y) * 0.33333334f;
            record.centre.z = (p2.z + p1.z + p0.z) * 0.33333334f;
            m_records.push_back(record);
        }
    }
    for (TransparentFace& record : m_records) {
        m_order.push_back(&record);
    }
    return 0;
}

void TransparentFaceList::Sort(const D3DMATRIX& view)
{
    if (m_order.empty()) {
        return;
    }
    for (TransparentFace& record : m_records) {
        const D3DVECTOR w = transformPoint(record.mesh->world, record.centre);
        record.worldCentre = w;
        const float depth = w.x * view._13 + w.y * view._23 + w.z * view._33 + view._43;
        // A broken matrix must not break the order: such faces go last.
        record.depth = std::isnan(depth) ? -std::numeric_limits<float>::infinity() : depth;
    }
    SortByDepthDescending(m_order.data(), m_scratch.data(), m_order.size());
}

void TransparentFaceList::Draw(IDirect3DDevice8* device)
{
    if (device == nullptr) {
        return;
    }
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    D3DMATRIX savedWorld;
    device->GetTransform(D3DTS_WORLD, &savedWorld);
    device->SetVertexShader(kMeshVertexFvf);

    // Consecutive faces of one mesh and one material need neither the world
    // transform nor the material again: the device state is already theirs,
    // so the device can merge their triangles into one draw.
    const CMesh* currentMesh = nullptr;
    CMaterial* currentMaterial = nullptr;
    for (const TransparentFace* record : m_order) {
        CMaterial* material = record->face->material;
        if (material == nullptr) {
            continue;
        }
        CMesh* mesh = record->mesh;
        if (mesh != currentMesh) {
            D3DMATRIX w;
            D3DXMatrixMultiply(&w, &mesh->world, &savedWorld);
            device->SetTransform(D3DTS_WORLD, &w);
            currentMesh = mesh;
        }
        if (material != currentMaterial) {
            material->Apply(device);
            currentMaterial = material;
        }
        MeshVertex triangle[3];
        for (int k = 0; k < 3; ++k) {
            mesh->DeformVertex(record->face->corners[k], &triangle[k]);
        }
        device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 1, triangle, sizeof(MeshVertex));
    }
    m_lastMaterial = currentMaterial;

    device->SetTransform(D3DTS_WORLD, &savedWorld);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
}
