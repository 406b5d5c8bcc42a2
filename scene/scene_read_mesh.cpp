// Reading a mesh record: positions, faces and their per-corner attributes as
// a modelling tool keeps them, turned into one indexed triangle list of
// welded vertices grouped by material. The record is checked against the
// bytes left in the member and against the tables it indexes; a record that
// breaks them is refused.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/error_box.h"
#include "pack/pack_file.h"
#include "platform/win32/message_box.h"
#include "scene/kvf_read.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/mesh_builder.h"
#include "scene/scene.h"

namespace {

// Bytes per item of the record's tables.
constexpr int kPositionBytes = 12;
constexpr int kFaceBytes = 14;
constexpr int kFaceNormalsBytes = 36;
constexpr int kFaceMapBytes = 24;
constexpr int kTextureVertexBytes = 8;
constexpr int kColourVertexBytes = 12;
constexpr int kIndexTripleBytes = 6;

constexpr uint32_t kWhite = 0x00FFFFFF;

int Corrupted(const CMesh* mesh, const char* reason)
{
    ShowError("LibKVF : Corrupted mesh record : %s (%s)", mesh->name != nullptr ? mesh->name : "", reason);
    return 1;
}

// `count` table items of `bytesEach` bytes, consumed from the member in one
// piece; null (nothing consumed) when the count is negative or the items do
// not fit in what is left.
const unsigned char* TakeTable(CPackFile* file, int32_t count, int32_t bytesEach)
{
    if (!CountFits(file, count, bytesEach)) {
        return nullptr;
    }
    const unsigned char* bytes = kvf_detail::Take(file, count * bytesEach);
    return bytes != nullptr ? bytes : reinterpret_cast<const unsigned char*>("");
}

// F per-corner index triples stored a, b, c, kept in engine corner order
// (c, b, a). Returns false when an index is not below `limit`.
bool DecodeCornerTriples(const unsigned char* bytes, int32_t faceCount, int32_t limit, uint16_t* out)
{
    for (int32_t f = 0; f < faceCount; ++f, bytes += kIndexTripleBytes, out += 3) {
        const uint16_t a = LittleEndian16(bytes);
        const uint16_t b = LittleEndian16(bytes + 2);
        const uint16_t c = LittleEndian16(bytes + 4);
        out[0] = c;
        out[1] = b;
        out[2] = a;
        if (a >= limit || b >= limit || c >= limit) {
            return false;
        }
    }
    return true;
}

// Three floats of a table, converted to engine axes.
inline D3DVECTOR DecodeVector(const unsigned char* bytes)
{
    return ToEngineAxes(LittleEndianFloat(bytes), LittleEndianFloat(bytes + 4), LittleEndianFloat(bytes + 8));
}

struct TextureVertex {
    float u, v;
};

} // namespace

int CScene::ReadMesh(CPackFile* file, CMesh* mesh)
{
    mesh->name = ReadName(file);
    if (mesh->name == nullptr) {
        ShowError("LibKVF : Not enough memory to read a mesh");
        return 1;
    }
    ReadMatrix(file, &mesh->transform);
    mesh->pivot = ReadVector(file);
    mesh->flag1 = ReadByte(file);
    mesh->lightingFlag = ReadByte(file);
    mesh->flag3 = ReadByte(file);

    const int32_t positionCount = ReadInt32(file);
    const int32_t faceCount = ReadInt32(file);
    const unsigned char* table = TakeTable(file, positionCount, kPositionBytes);
    if (table == nullptr) {
        return Corrupted(mesh, "bad position count");
    }
    mesh->positionCount = positionCount;
    mesh->positions.resize(positionCount);
    for (D3DVECTOR& p : mesh->positions) {
        p = DecodeVector(table);
        table += kPositionBytes;
    }

    table = TakeTable(file, faceCount, kFaceBytes);
    if (table == nullptr) {
        return Corrupted(mesh, "bad face count");
    }
    mesh->fileFaceCount = faceCount;
    mesh->fileFaces.assign(faceCount, MeshFace{});
    for (MeshFace& face : mesh->fileFaces) {
        if (!DecodeCornerTriples(table, 1, positionCount, face.corners)) {
            return Corrupted(mesh, "face corner out of range");
        }
        face.smoothingGroup = static_cast<int32_t>(LittleEndian32(table + 6));
        face.materialId = static_cast<int32_t>(LittleEndian32(table + 10));
        table += kFaceBytes;
    }

    // Corner normals: explicit, or from the smoothing groups.
    std::vector<D3DVECTOR> cornerNormals(static_cast<size_t>(faceCount) * 3);
    mesh->normalsFlag = ReadByte(file);
    if (mesh->normalsFlag == 1) {
        table = TakeTable(file, faceCount, kFaceNormalsBytes);
        if (table == nullptr) {
            return Corrupted(mesh, "truncated normals");
        }
        for (int32_t f = 0; f < faceCount; ++f) {
            for (int k = 2; k >= 0; --k) {
                cornerNormals[f * 3 + k] = DecodeVector(table);
                table += kPositionBytes;
            }
        }
    } else {
        ComputeFaceNormals(mesh->positions.data(), mesh->fileFaces.data(), faceCount);
        ComputeCornerNormals(mesh->fileFaces.data(), faceCount, cornerNormals.data());
    }

    // Texture coordinates, unless the record carries a face map instead.
    int32_t textureCount = 0;
    std::vector<TextureVertex> textureVertices;
    std::vector<uint16_t> textureCorners;
    mesh->faceMapFlag = ReadByte(file);
    if (mesh->faceMapFlag != 0) {
        if (!SkipBytes(file, static_cast<int64_t>(faceCount) * kFaceMapBytes)) {
            return Corrupted(mesh, "truncated face map");
        }
        if (mesh->faceMapFlag == 1) {
            // Such a record ends here: the mesh keeps its positions and file
            // faces but has no vertices and no faces to draw.
            MessageBoxA(nullptr, mesh->name, "FaceMap : dont use that plz", MB_OK);
            return 0;
        }
    } else {
        textureCount = ReadInt32(file);
        if (textureCount != 0) {
            table = TakeTable(file, textureCount, kTextureVertexBytes);
            if (table == nullptr) {
                return Corrupted(mesh, "bad texture vertex count");
            }
            textureVertices.resize(textureCount);
            for (TextureVertex& t : textureVertices) {
                t.u = LittleEndianFloat(table);
                t.v = 1.0f - LittleEndianFloat(table + 4);
                table += kTextureVertexBytes;
            }
            table = TakeTable(file, faceCount, kIndexTripleBytes);
            if (table == nullptr) {
                return Corrupted(mesh, "truncated texture faces");
            }
            textureCorners.resize(static_cast<size_t>(faceCount) * 3);
            if (!DecodeCornerTriples(table, faceCount, textureCount, textureCorners.data())) {
                return Corrupted(mesh, "texture index out of range");
            }
        }
    }

    const int32_t colourCount = ReadInt32(file);
    std::vector<uint32_t> colours;
    std::vector<uint16_t> colourCorners;
    if (colourCount != 0) {
        table = TakeTable(file, colourCount, kColourVertexBytes);
        if (table == nullptr) {
            return Corrupted(mesh, "bad colour vertex count");
        }
        colours.resize(colourCount);
        for (uint32_t& c : colours) {
            c = PackColour(LittleEndianFloat(table), LittleEndianFloat(table + 4), LittleEndianFloat(table + 8));
            table += kColourVertexBytes;
        }
        table = TakeTable(file, faceCount, kIndexTripleBytes);
        if (table == nullptr) {
            return Corrupted(mesh, "truncated colour faces");
        }
        colourCorners.resize(static_cast<size_t>(faceCount) * 3);
        if (!DecodeCornerTriples(table, faceCount, colourCount, colourCorners.data())) {
            return Corrupted(mesh, "colour index out of range");
        }
    }

    // Weld the face corners into shared vertices, a block of faces at a time.
    std::vector<uint16_t> cornerVertices(static_cast<size_t>(faceCount) * 3);
    // 16-bit corners reach only the first 65536 positions.
    const int weldedPositions = std::min(positionCount, static_cast<int32_t>(UINT16_MAX) + 1);
    VertexWelder welder(mesh->positions.data(), weldedPositions, faceCount, kMaxMeshVertices, &mesh->baseVertices);
    MeshVertex block[VertexWelder::kBlockFaces * 3];
    int32_t blockPositions[VertexWelder::kBlockFaces * 3];
    for (int32_t first = 0; first < faceCount; first += VertexWelder::kBlockFaces) {
        const int count = std::min(faceCount - first, static_cast<int32_t>(VertexWelder::kBlockFaces));
        for (int i = 0; i < count * 3; ++i) {
            const size_t corner = static_cast<size_t>(first) * 3 + i;
            blockPositions[i] = mesh->fileFaces[first + i / 3].corners[i % 3];
            const D3DVECTOR& p = mesh->positions[blockPositions[i]];
            const D3DVECTOR& n = cornerNormals[corner];
            MeshVertex& v = block[i];
            v.x = p.x;
            v.y = p.y;
            v.z = p.z;
            v.nx = n.x;
            v.ny = n.y;
            v.nz = n.z;
            v.colour = colourCount != 0 ? colours[colourCorners[corner]] : kWhite;
            if (textureCount != 0) {
                v.u = textureVertices[textureCorners[corner]].u;
                v.v = textureVertices[textureCorners[corner]].v;
            } else {
                v.u = 0.0f;
                v.v = 0.0f;
            }
        }
        if (!welder.AddFaces(block, blockPositions, count, &cornerVertices[static_cast<size_t>(first) * 3])) {
            mesh->baseVertices.clear();
            return Corrupted(mesh, "more than 65535 vertices");
        }
    }
    mesh->baseVertices.shrink_to_fit();
    mesh->vertexCount = static_cast<int32_t>(mesh->baseVertices.size());

    // Group the faces by material and lay out the index array.
    std::vector<int32_t> materialIds(faceCount);
    for (int32_t f = 0; f < faceCount; ++f) {
        materialIds[f] = mesh->fileFaces[f].materialId;
    }
    std::vector<int32_t> order(faceCount);
    MaterialGroupOrder(materialIds.data(), faceCount, order.data());
    mesh->faceCount = faceCount;
    mesh->faces.assign(faceCount, MeshFace{});
    mesh->indices.resize(static_cast<size_t>(faceCount) * 3);
    for (int32_t i = 0; i < faceCount; ++i) {
        const int32_t source = order[i];
        MeshFace& face = mesh->faces[i];
        for (int k = 0; k < 3; ++k) {
            face.corners[k] = cornerVertices[static_cast<size_t>(source) * 3 + k];
            mesh->indices[static_cast<size_t>(i) * 3 + k] = face.corners[k];
        }
        face.materialId = materialIds[source];
    }

    ComputeBoundingBox(mesh->baseVertices.data(), mesh->vertexCount, &mesh->boxMin, &mesh->boxMax);

    if (ReadModifiers(file, mesh) != 0) {
        return 1;
    }

    for (MeshFace& face : mesh->faces) {
        if (face.materialId == -1) {
            face.material = nullptr;
        } else if (face.materialId >= 0 && face.materialId < materialCount) {
            face.material = &materials[face.materialId];
        } else {
            MessageBoxA(nullptr, "ID Materiaux non valide", "Erreur", MB_OK);
            // Material 0 stands in, when the scene has one.
            face.material = materialCount > 0 ? &materials[0] : nullptr;
        }
    }
    return 0;
}
