// Reading a mesh record: positions, faces and their per-corner attributes as
// a modelling tool keeps them, turned into one indexed triangle list of
// welded vertices grouped by material. The record is checked against the
// bytes left in the member and against the tables it indexes; a record that
// breaks them is refused.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "pack/pack_file.h"
#include "platform/report/report.h"
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

// Whether every index of F per-corner triples is below `limit`.
bool CornerTriplesBelow(const unsigned char* bytes, int32_t faceCount, int32_t limit)
{
    for (int32_t i = 0; i < faceCount * 3; ++i) {
        if (LittleEndian16(bytes + 2 * i) >= limit) {
            return false;
        }
    }
    return true;
}

// The index of engine corner k (0 to 2) of face f in a table of per-corner
// triples stored a, b, c: engine corner k is the file's corner 2 - k.
inline uint16_t EngineCornerIndex(const unsigned char* triples, int32_t f, int k)
{
    return LittleEndian16(triples + static_cast<size_t>(f) * kIndexTripleBytes + 2 * (2 - k));
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
    mesh->positions.clear();
    mesh->positions.reserve(positionCount);
    for (int32_t i = 0; i < positionCount; ++i, table += kPositionBytes) {
        mesh->positions.push_back(DecodeVector(table));
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

    // Corner normals: explicit ones are decoded from the record as the
    // corners are built; otherwise they come from the smoothing groups.
    const unsigned char* explicitNormals = nullptr;
    std::vector<D3DVECTOR> cornerNormals;
    mesh->normalsFlag = ReadByte(file);
    if (mesh->normalsFlag == 1) {
        explicitNormals = TakeTable(file, faceCount, kFaceNormalsBytes);
        if (explicitNormals == nullptr) {
            return Corrupted(mesh, "truncated normals");
        }
    } else {
        cornerNormals.resize(static_cast<size_t>(faceCount) * 3);
        ComputeFaceNormals(mesh->positions.data(), mesh->fileFaces.data(), faceCount);
        ComputeCornerNormals(mesh->fileFaces.data(), faceCount, cornerNormals.data());
    }

    // Texture coordinates, unless the record carries a face map instead.
    int32_t textureCount = 0;
    std::vector<TextureVertex> textureVertices;
    const unsigned char* textureCorners = nullptr;
    mesh->faceMapFlag = ReadByte(file);
    if (mesh->faceMapFlag != 0) {
        if (!SkipBytes(file, static_cast<int64_t>(faceCount) * kFaceMapBytes)) {
            return Corrupted(mesh, "truncated face map");
        }
        if (mesh->faceMapFlag == 1) {
            // Such a record ends here: the mesh keeps its positions and file
            // faces but has no vertices and no faces to draw.
            Report(ReportSeverity::Plain, "FaceMap : dont use that plz", mesh->name);
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
            textureCorners = TakeTable(file, faceCount, kIndexTripleBytes);
            if (textureCorners == nullptr) {
                return Corrupted(mesh, "truncated texture faces");
            }
            if (!CornerTriplesBelow(textureCorners, faceCount, textureCount)) {
                return Corrupted(mesh, "texture index out of range");
            }
        }
    }

    const int32_t colourCount = ReadInt32(file);
    std::vector<uint32_t> colours;
    const unsigned char* colourCorners = nullptr;
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
        colourCorners = TakeTable(file, faceCount, kIndexTripleBytes);
        if (colourCorners == nullptr) {
            return Corrupted(mesh, "truncated colour faces");
        }
        if (!CornerTriplesBelow(colourCorners, faceCount, colourCount)) {
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
            const int32_t f = first + i / 3;
            const int k = i % 3;
            blockPositions[i] = mesh->fileFaces[f].corners[k];
            const D3DVECTOR& p = mesh->positions[blockPositions[i]];
            const D3DVECTOR n =
                explicitNormals != nullptr
                    ? DecodeVector(explicitNormals + (static_cast<size_t>(f) * 3 + 2 - k) * kPositionBytes)
                    : cornerNormals[static_cast<size_t>(f) * 3 + k];
            MeshVertex& v = block[i];
            v.x = p.x;
            v.y = p.y;
            v.z = p.z;
            v.nx = n.x;
            v.ny = n.y;
            v.nz = n.z;
            v.colour = colourCorners != nullptr ? colours[EngineCornerIndex(colourCorners, f, k)] : kWhite;
            if (textureCorners != nullptr) {
                const TextureVertex& t = textureVertices[EngineCornerIndex(textureCorners, f, k)];
                v.u = t.u;
                v.v = t.v;
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
    // The built faces get their materials as they are laid out; an invalid
    // id's message waits until the modifier block has been read, so the
    // messages keep the record's order.
    mesh->faceCount = faceCount;
    mesh->faces.assign(faceCount, MeshFace{});
    mesh->indices.resize(static_cast<size_t>(faceCount) * 3);
    int32_t invalidMaterials = 0;
    for (int32_t i = 0; i < faceCount; ++i) {
        const int32_t source = order[i];
        MeshFace& face = mesh->faces[i];
        for (int k = 0; k < 3; ++k) {
            face.corners[k] = cornerVertices[static_cast<size_t>(source) * 3 + k];
            mesh->indices[static_cast<size_t>(i) * 3 + k] = face.corners[k];
        }
        face.materialId = materialIds[source];
        if (face.materialId == -1) {
            face.material = nullptr;
        } else if (face.materialId >= 0 && face.materialId < materialCount) {
            face.material = &materials[face.materialId];
        } else {
            ++invalidMaterials;
            // Material 0 stands in, when the scene has one.
            face.material = materialCount > 0 ? &materials[0] : nullptr;
        }
    }

    ComputeBoundingBox(mesh->baseVertices.data(), mesh->vertexCount, &mesh->boxMin, &mesh->boxMax);

    if (ReadModifiers(file, mesh) != 0) {
        // A record refused by its modifier block leaves its faces without
        // materials, and shows no material message.
        for (MeshFace& face : mesh->faces) {
            face.material = nullptr;
        }
        return 1;
    }
    for (int32_t i = 0; i < invalidMaterials; ++i) {
        Report(ReportSeverity::Plain, "Erreur", "ID Materiaux non valide");
    }
    return 0;
}
