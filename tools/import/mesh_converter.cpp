#include "tools/import/mesh_converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/import/axis_conversion.h"

namespace import {

namespace {

// The engine lights with normals as they are written (it does not renormalise
// them), so a normal of another length darkens or brightens its corner. A
// normal whose length is not 1 is scaled to 1; one of length 0, or not
// finite, becomes the face's own normal. Unit normals are kept bit for bit.
bool IsUnit(const aiVector3D& n)
{
    const float lengthSquared = n.SquareLength();
    return std::isfinite(lengthSquared) && std::fabs(lengthSquared - 1.0f) <= 1e-4f;
}

aiVector3D UnitNormal(const aiVector3D& n, const aiVector3D& faceNormal)
{
    if (IsUnit(n)) {
        return n;
    }
    const float lengthSquared = n.SquareLength();
    if (std::isfinite(lengthSquared) && lengthSquared > 1e-30f) {
        return n / std::sqrt(lengthSquared);
    }
    return faceNormal;
}

struct Influence {
    int32_t bone = 0;
    float weight = 0.0f;
};

void Renormalise(std::vector<Influence>* list)
{
    float kept = 0.0f;
    for (const Influence& i : *list) {
        kept += i.weight;
    }
    if (kept > 0.0f) {
        for (Influence& i : *list) {
            i.weight /= kept;
        }
    }
}

// The skin's index of each of the mesh's bones, or -1 for a bone that names
// no node: the engine refuses a skin whose bone it cannot find, so such a
// bone is left out (with a warning) and the vertices follow their other bones.
std::vector<int32_t> SkinBoneIndices(const aiMesh* mesh, const MeshContext& context, ConversionReport* report)
{
    std::vector<int32_t> indices(mesh->mNumBones, -1);
    int32_t kept = 0;
    for (unsigned b = 0; b < mesh->mNumBones; ++b) {
        const char* name = mesh->mBones[b]->mName.C_Str();
        if (context.nodeNames->count(name) != 0) {
            indices[b] = kept++;
        } else {
            const std::string meshName = mesh->mName.length > 0 ? "mesh " + std::string(mesh->mName.C_Str())
                                                                : std::string("a mesh without a name");
            report->Warn(meshName + ": bone " + name + " names no node of the scene and is left out");
        }
    }
    return indices;
}

// The influences of every model vertex on the skin's bones, at most
// kMaxInfluences each.
std::vector<std::vector<Influence>> GatherInfluences(const aiMesh* mesh, const std::vector<int32_t>& boneIndices,
                                                     int* cut)
{
    std::vector<std::vector<Influence>> influences(mesh->mNumVertices);
    std::vector<bool> lost(mesh->mNumVertices, false);
    for (unsigned b = 0; b < mesh->mNumBones; ++b) {
        const aiBone* bone = mesh->mBones[b];
        for (unsigned w = 0; w < bone->mNumWeights; ++w) {
            const aiVertexWeight& weight = bone->mWeights[w];
            if (weight.mVertexId >= mesh->mNumVertices || weight.mWeight <= 0.0f) {
                continue;
            }
            if (boneIndices[b] < 0) {
                lost[weight.mVertexId] = true;
            } else {
                influences[weight.mVertexId].push_back({boneIndices[b], weight.mWeight});
            }
        }
    }
    *cut = 0;
    for (size_t v = 0; v < influences.size(); ++v) {
        std::vector<Influence>& list = influences[v];
        if (list.size() <= static_cast<size_t>(kMaxInfluences)) {
            if (lost[v]) {
                Renormalise(&list);
            }
            continue;
        }
        ++*cut;
        std::stable_sort(list.begin(), list.end(),
                         [](const Influence& a, const Influence& b) { return a.weight > b.weight; });
        list.resize(kMaxInfluences);
        Renormalise(&list);
    }
    return influences;
}

struct PositionKey {
    float x, y, z;
    bool operator==(const PositionKey& o) const { return std::memcmp(this, &o, sizeof *this) == 0; }
};

struct PositionHash {
    size_t operator()(const PositionKey& k) const
    {
        uint32_t b[3];
        std::memcpy(b, &k, sizeof b);
        return (b[0] * 73856093u) ^ (b[1] * 19349663u) ^ (b[2] * 83492791u);
    }
};

// One part: the model vertices it uses, in first-use order, and its faces
// as indices into them.
struct Part {
    std::vector<unsigned> vertices;
    std::vector<unsigned> corners; // three per face, into `vertices`
};

std::vector<Part> SplitFaces(const aiMesh* mesh)
{
    std::vector<Part> parts(1);
    std::vector<int> local(mesh->mNumVertices, -1);
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        const aiFace& face = mesh->mFaces[f];
        if (face.mNumIndices != 3) {
            continue;
        }
        unsigned fresh = 0;
        for (int k = 0; k < 3; ++k) {
            fresh += local[face.mIndices[k]] < 0 ? 1 : 0;
        }
        if (parts.back().vertices.size() + fresh > kMaxPartVertices) {
            for (unsigned v : parts.back().vertices) {
                local[v] = -1;
            }
            parts.emplace_back();
        }
        Part& part = parts.back();
        for (int k = 0; k < 3; ++k) {
            const unsigned v = face.mIndices[k];
            if (local[v] < 0) {
                local[v] = static_cast<int>(part.vertices.size());
                part.vertices.push_back(v);
            }
            part.corners.push_back(static_cast<unsigned>(local[v]));
        }
    }
    if (parts.back().corners.empty()) {
        parts.pop_back();
    }
    return parts;
}

uint16_t Index(unsigned i)
{
    return static_cast<uint16_t>(i);
}

// A colour channel from 0 to 1 (0 for one that is not a number).
float Unit(float c)
{
    return !(c > 0.0f) ? 0.0f : (c > 1.0f ? 1.0f : c);
}

kvf::Skin MakeSkin(const aiMesh* mesh, const MeshContext& context, const Part& part,
                   const std::vector<uint16_t>& positionOfVertex, size_t positionCount,
                   const std::vector<std::vector<Influence>>& influences)
{
    kvf::Skin skin;
    aiMatrix4x4 meshWorld = context.nodeWorld;
    meshWorld.a4 *= context.scale;
    meshWorld.b4 *= context.scale;
    meshWorld.c4 *= context.scale;
    skin.meshMatrix = MatrixToFile(meshWorld);
    for (unsigned b = 0; b < mesh->mNumBones; ++b) {
        const aiBone* bone = mesh->mBones[b];
        auto found = context.nodeNames->find(bone->mName.C_Str());
        if (found == context.nodeNames->end()) {
            continue;
        }
        kvf::SkinBone out;
        out.name = found->second;
        // The offset matrix takes mesh space to bone space at the bind pose;
        // the engine wants the bone's world at that pose.
        aiMatrix4x4 offset = bone->mOffsetMatrix;
        offset.a4 *= context.scale;
        offset.b4 *= context.scale;
        offset.c4 *= context.scale;
        out.bind = MatrixToFile(meshWorld * offset.Inverse());
        skin.bones.push_back(out);
    }
    // Entry j describes position j: the first vertex at that position.
    skin.vertices.resize(positionCount);
    std::vector<bool> filled(positionCount, false);
    for (size_t i = 0; i < part.vertices.size(); ++i) {
        const uint16_t p = positionOfVertex[i];
        if (filled[p]) {
            continue;
        }
        filled[p] = true;
        for (const Influence& influence : influences[part.vertices[i]]) {
            skin.vertices[p].influences.push_back({influence.bone, influence.weight});
        }
        if (skin.vertices[p].influences.empty()) {
            // One influence of weight 0 leaves the vertex where it is.
            skin.vertices[p].influences.push_back({0, 0.0f});
        }
    }
    return skin;
}

} // namespace

std::vector<kvf::Mesh> ConvertMesh(const aiMesh* mesh, const MeshContext& context, ConversionReport* report)
{
    int cut = 0;
    std::vector<std::vector<Influence>> influences;
    const std::vector<int32_t> boneIndices = SkinBoneIndices(mesh, context, report);
    const int skinBones = static_cast<int>(std::count_if(boneIndices.begin(), boneIndices.end(),
                                                         [](int32_t i) { return i >= 0; }));
    if (skinBones > 0) {
        influences = GatherInfluences(mesh, boneIndices, &cut);
        report->bones += skinBones;
        report->cutVertices += cut;
    }
    const bool hasUv = mesh->HasTextureCoords(0);
    const bool hasModelColours = mesh->HasVertexColors(0);
    kvf::Vec3 tint{1.0f, 1.0f, 1.0f};
    if (context.baseColours != nullptr && mesh->mMaterialIndex < context.baseColours->size()) {
        tint = (*context.baseColours)[mesh->mMaterialIndex];
    }
    const bool tinted = tint.x != 1.0f || tint.y != 1.0f || tint.z != 1.0f;
    // Without colours of its own a mesh's vertices share one tint colour.
    const bool hasColours = hasModelColours;
    const bool oneColour = !hasModelColours && tinted;
    const bool hasNormals = mesh->HasNormals();

    const bool fixNormals = hasNormals && !context.normalsAsGiven;
    if (fixNormals) {
        for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
            report->unitNormals += IsUnit(mesh->mNormals[v]) ? 0 : 1;
        }
    }
    // The engine carries normals by the transposed inverse of the node's
    // world matrix and lights with them unnormalised: under a node scaled by
    // s a unit normal comes out 1/s long. A mesh that no skin moves gets its
    // normals scaled so that at the node's frame-0 transform they come out
    // unit length again.
    aiMatrix3x3 normalMatrix(context.nodeWorld);
    const float determinant = normalMatrix.Determinant();
    bool scaledNode = false;
    if (fixNormals && skinBones == 0 && std::isfinite(determinant) && std::fabs(determinant) > 1e-30f) {
        normalMatrix.Inverse().Transpose();
        for (unsigned v = 0; v < mesh->mNumVertices && !scaledNode; ++v) {
            const float length = (normalMatrix * UnitNormal(mesh->mNormals[v], {0.0f, 0.0f, 1.0f})).Length();
            scaledNode = std::isfinite(length) && std::fabs(length - 1.0f) > 1e-4f;
        }
    }
    report->scaledNormalMeshes += scaledNode ? 1 : 0;
    const auto carried = [&](const aiVector3D& n) {
        if (!scaledNode) {
            return n;
        }
        const float length = (normalMatrix * n).Length();
        return std::isfinite(length) && length > 1e-30f ? n / length : n;
    };

    std::vector<kvf::Mesh> out;
    const std::vector<Part> parts = SplitFaces(mesh);
    report->splitMeshes += parts.size() > 1 ? 1 : 0;
    for (const Part& part : parts) {
        kvf::Mesh record;
        std::unordered_map<PositionKey, uint16_t, PositionHash> positionIndex;
        std::vector<uint16_t> positionOfVertex(part.vertices.size());
        for (size_t i = 0; i < part.vertices.size(); ++i) {
            const kvf::Vec3 p = ToFile(mesh->mVertices[part.vertices[i]] * context.scale);
            const PositionKey key{p.x, p.y, p.z};
            auto inserted = positionIndex.emplace(key, Index(static_cast<unsigned>(record.positions.size())));
            if (inserted.second) {
                record.positions.push_back(p);
            }
            positionOfVertex[i] = inserted.first->second;
            if (hasUv) {
                const aiVector3D& uv = mesh->mTextureCoords[0][part.vertices[i]];
                record.uvs.push_back({uv.x, uv.y});
            }
            if (hasColours) {
                const aiColor4D& c = mesh->mColors[0][part.vertices[i]];
                record.colours.push_back({Unit(c.r) * tint.x, Unit(c.g) * tint.y, Unit(c.b) * tint.z});
            }
        }
        if (oneColour) {
            record.colours.push_back(tint);
        }
        const int32_t material = static_cast<int32_t>(mesh->mMaterialIndex);
        record.normalsFlag = hasNormals ? 1 : 0;
        for (size_t c = 0; c < part.corners.size(); c += 3) {
            const unsigned a = part.corners[c], b = part.corners[c + 1], d = part.corners[c + 2];
            kvf::Face face;
            face.a = positionOfVertex[a];
            face.b = positionOfVertex[b];
            face.c = positionOfVertex[d];
            // Without normals the engine smooths faces of one group.
            face.smoothingGroup = hasNormals ? 0 : 1;
            face.materialId = material;
            record.faces.push_back(face);
            const kvf::IndexTriple corners{Index(a), Index(b), Index(d)};
            if (hasUv) {
                record.uvFaces.push_back(corners);
            }
            if (hasColours) {
                record.colourFaces.push_back(corners);
            } else if (oneColour) {
                record.colourFaces.push_back({0, 0, 0});
            }
            if (hasNormals) {
                const aiVector3D& pa = mesh->mVertices[part.vertices[a]];
                aiVector3D faceNormal = (mesh->mVertices[part.vertices[b]] - pa) ^ (mesh->mVertices[part.vertices[d]] - pa);
                const float faceLength = faceNormal.Length();
                faceNormal = std::isfinite(faceLength) && faceLength > 0.0f ? faceNormal / faceLength
                                                                            : aiVector3D(0.0f, 0.0f, 1.0f);
                const auto normal = [&](unsigned v) {
                    return fixNormals ? carried(UnitNormal(mesh->mNormals[v], faceNormal)) : mesh->mNormals[v];
                };
                kvf::FaceNormals n;
                n.a = ToFile(normal(part.vertices[a]));
                n.b = ToFile(normal(part.vertices[b]));
                n.c = ToFile(normal(part.vertices[d]));
                record.normals.push_back(n);
            }
        }
        if (skinBones > 0) {
            kvf::Modifier skin;
            skin.type = kvf::kSkinMatrixFirst;
            skin.skin = MakeSkin(mesh, context, part, positionOfVertex, record.positions.size(), influences);
            record.modifiers.entries.push_back(std::move(skin));
        }
        report->meshes += 1;
        report->faces += static_cast<int>(record.faces.size());
        report->vertices += static_cast<int>(part.vertices.size());
        out.push_back(std::move(record));
    }
    return out;
}

} // namespace import
