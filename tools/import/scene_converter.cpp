#include "tools/import/scene_converter.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>

#include <cmath>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include "tools/import/animated_bounds.h"
#include "tools/import/axis_conversion.h"
#include "tools/import/camera_light_converter.h"
#include "tools/import/finite_values.h"
#include "tools/import/material_converter.h"
#include "tools/import/mesh_converter.h"
#include "tools/import/node_animation.h"
#include "tools/import/track_writer.h"
#include "tools/import/unique_names.h"
#include "tools/import/viewing_setup.h"

namespace import {

const unsigned kImportFlags = aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_SortByPType |
                              aiProcess_ValidateDataStructure;

namespace {

// The library's file access, noting each file it opens for reading.
class RecordingIOSystem : public Assimp::DefaultIOSystem {
public:
    explicit RecordingIOSystem(std::vector<std::string>* files) : m_files(files) {}
    Assimp::IOStream* Open(const char* file, const char* mode) override
    {
        Assimp::IOStream* stream = Assimp::DefaultIOSystem::Open(file, mode);
        if (stream != nullptr && mode != nullptr && mode[0] == 'r')
            m_files->push_back(file);
        return stream;
    }

private:
    std::vector<std::string>* m_files;
};

struct PendingNode {
    const aiNode* node;
    int32_t depth;
};

kvf::Node MakeNode(int32_t depth, int32_t kind, const std::string& name)
{
    kvf::Node node;
    node.depth = depth;
    node.kind = kind;
    node.name = name;
    return node;
}

// Names every node uniquely, in depth-first order.
std::unordered_map<const aiNode*, std::string> NameNodes(const aiNode* root, UniqueNames* names,
                                                         std::unordered_map<std::string, std::string>* byModelName)
{
    std::unordered_map<const aiNode*, std::string> unique;
    std::vector<const aiNode*> stack{root};
    while (!stack.empty()) {
        const aiNode* node = stack.back();
        stack.pop_back();
        unique[node] = names->Claim(node->mName.C_Str());
        byModelName->emplace(node->mName.C_Str(), unique[node]);
        for (unsigned i = node->mNumChildren; i-- > 0;) {
            stack.push_back(node->mChildren[i]);
        }
    }
    return unique;
}

void WarnAboutMeshes(const aiScene* scene, ConversionReport* report)
{
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        const aiMesh* mesh = scene->mMeshes[i];
        const std::string name = mesh->mName.length > 0 ? mesh->mName.C_Str() : "#" + std::to_string(i);
        if (mesh->mNumAnimMeshes > 0) {
            report->Warn("mesh " + name + ": its " + std::to_string(mesh->mNumAnimMeshes) +
                         " morph targets are not converted");
        }
        if (mesh->HasTextureCoords(1)) {
            report->Warn("mesh " + name + ": texture coordinate sets after the first are not converted");
        }
        if ((mesh->mPrimitiveTypes & aiPrimitiveType_TRIANGLE) == 0) {
            report->Warn("mesh " + name + ": points and lines are not converted");
        }
    }
}

} // namespace

// Some parsers quote whole stretches of the file, line breaks and all.
std::string ReadableReason(const std::string& reason)
{
    constexpr size_t kLongest = 200;
    std::string line;
    for (char c : reason) {
        const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
        if (control && (line.empty() || line.back() == ' ')) {
            continue;
        }
        line += control ? ' ' : c;
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    if (line.size() > kLongest) {
        // Not in the middle of a UTF-8 character.
        size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        line.resize(cut);
        line += "...";
    }
    return line;
}

std::string SourceFormat(const aiScene* scene)
{
    aiString format;
    if (scene->mMetaData != nullptr && scene->mMetaData->Get("SourceAsset_Format", format)) {
        return format.C_Str();
    }
    return "";
}

void ConvertScene(const aiScene* scene, const std::string& path, const std::string& prefix,
                  const ConvertOptions& options, ConvertedModel* out)
{
    ConversionReport& report = out->report;
    kvf::Scene& kvfScene = out->scene;
    kvfScene.ambient = {0.2f, 0.2f, 0.2f};

    const aiAnimation* animation = scene->mNumAnimations > 0 ? scene->mAnimations[0] : nullptr;
    for (unsigned i = 1; i < scene->mNumAnimations; ++i) {
        report.Warn(std::string("animation ") + scene->mAnimations[i]->mName.C_Str() +
                    " is not converted (a scene plays the first one)");
    }
    if (animation != nullptr && animation->mNumMorphMeshChannels + animation->mNumMeshChannels > 0) {
        report.Warn("the morph and mesh tracks of the animation are not converted");
    }
    const NodeAnimation nodeAnimation(scene, animation, options.framesPerSecond);
    const int endFrame = nodeAnimation.Clock().EndFrame();
    if (endFrame == kMaxFrames) {
        report.Warn("the animation is cut after " + std::to_string(kMaxFrames) + " frames");
    }
    kvfScene.startFrame = 0;
    kvfScene.endFrame = endFrame;
    kvfScene.frameRate = options.framesPerSecond;
    report.frames = endFrame;

    TextureStore textures(scene, path, prefix);
    for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
        kvfScene.materials.push_back(ConvertMaterial(scene->mMaterials[i], static_cast<int32_t>(i), &textures, &report));
    }
    WarnAboutMeshes(scene, &report);
    std::vector<kvf::Vec3> baseColours;
    if (!options.bare) {
        const bool linearColours = SourceFormat(scene).rfind("glTF", 0) == 0;
        for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
            baseColours.push_back(ShowBaseColour(scene->mMaterials[i], &kvfScene.materials[i], linearColours));
        }
    }

    UniqueNames names;
    std::unordered_map<std::string, std::string> nodeNames;
    const std::unordered_map<const aiNode*, std::string> unique = NameNodes(scene->mRootNode, &names, &nodeNames);
    std::unordered_set<std::string> boneNames;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        for (unsigned b = 0; b < scene->mMeshes[i]->mNumBones; ++b) {
            boneNames.insert(scene->mMeshes[i]->mBones[b]->mName.C_Str());
        }
    }

    TrackOptions trackOptions;
    trackOptions.scale = options.scale;
    trackOptions.keepTcb = SourceFormat(scene).find("3DS") != std::string::npos;
    std::unordered_map<const aiNode*, aiMatrix4x4> restWorld;
    nodeAnimation.WorldMatrices(0.0, &restWorld);

    std::vector<PendingNode> stack{{scene->mRootNode, 0}};
    while (!stack.empty()) {
        const PendingNode pending = stack.back();
        stack.pop_back();
        const aiNode* node = pending.node;
        const std::string& name = unique.at(node);

        MeshContext context;
        context.scale = options.scale;
        context.nodeWorld = restWorld[node];
        context.nodeNames = &nodeNames;
        context.baseColours = options.bare ? nullptr : &baseColours;
        context.normalsAsGiven = options.bare;
        std::vector<kvf::Mesh> parts;
        for (unsigned i = 0; i < node->mNumMeshes; ++i) {
            if (node->mMeshes[i] < scene->mNumMeshes) {
                std::vector<kvf::Mesh> more = ConvertMesh(scene->mMeshes[node->mMeshes[i]], context, &report);
                for (kvf::Mesh& part : more) {
                    parts.push_back(std::move(part));
                }
            }
        }

        const NodeTracks tracks = MakeNodeTracks(node, nodeAnimation, trackOptions);
        // A bone that is a mesh would be hidden by the engine, so bones are
        // helpers and carry their meshes as children.
        const bool ownMesh = parts.size() == 1 && boneNames.count(node->mName.C_Str()) == 0;
        kvf::Node record = MakeNode(pending.depth, ownMesh ? kvf::kNodeMesh : kvf::kNodeHelper, name);
        record.position = tracks.position;
        record.rotation = tracks.rotation;
        record.scale = tracks.scale;
        kvfScene.nodes.push_back(record);
        if (ownMesh) {
            parts.front().name = name;
            kvfScene.objects.push_back(std::move(parts.front()));
        } else {
            kvf::Helper helper;
            helper.name = name;
            kvfScene.objects.push_back(helper);
            for (kvf::Mesh& part : parts) {
                part.name = names.Claim(name + "_mesh");
                kvfScene.nodes.push_back(MakeNode(pending.depth + 1, kvf::kNodeMesh, part.name));
                kvfScene.objects.push_back(std::move(part));
            }
        }
        for (unsigned i = node->mNumChildren; i-- > 0;) {
            stack.push_back({node->mChildren[i], pending.depth + 1});
        }
    }

    Box box;
    if (!options.bare) {
        box = AnimatedBounds(scene, nodeAnimation, options.scale);
    }
    ConvertCamerasAndLights(scene, path, nodeAnimation, options.scale, options.bare ? nullptr : &box, &kvfScene,
                            &report);
    if (!options.bare && (report.cameras == 0 || report.lights == 0)) {
        AddViewingCameraAndLights(box, &kvfScene, &report);
    }
    if (report.splitMeshes > 0) {
        report.Note(std::to_string(report.splitMeshes) + " meshes were split to fit 16-bit indices");
    }
    if (report.unitNormals > 0) {
        report.Note(std::to_string(report.unitNormals) + " normals were made unit length");
    }
    if (report.scaledNormalMeshes > 0) {
        const int n = report.scaledNormalMeshes;
        report.Note(std::to_string(n) + (n == 1 ? " mesh's" : " meshes'") +
                    " normals were scaled against their nodes' scale");
    }
    if (report.cutVertices > 0) {
        report.Note(std::to_string(report.cutVertices) + " vertices kept their " + std::to_string(kMaxInfluences) +
                    " largest bone influences");
    }
    if (!report.pbrMaterials.empty()) {
        std::string names;
        for (const std::string& name : report.pbrMaterials) {
            names += (names.empty() ? "" : ", ") + name;
        }
        report.Warn("the metallic and roughness parameters of " + std::to_string(report.pbrMaterials.size()) +
                    (report.pbrMaterials.size() == 1 ? " material are" : " materials are") + " not converted (" +
                    names + ")");
    }
    const int replaced = ReplaceNonFiniteValues(&kvfScene);
    if (replaced > 0) {
        report.Warn(std::to_string(replaced) +
                    " values that are not finite numbers (positions, matrices, keys, colours) are written as 0, "
                    "1 or no turn");
    }
    out->textures = std::move(textures.Entries());
    out->sourceFiles.insert(out->sourceFiles.end(), textures.Files().begin(), textures.Files().end());
    out->texturesMissing = textures.AnyMissing();
}

bool ConvertModel(const std::string& path, const std::string& prefix, const ConvertOptions& options,
                  ConvertedModel* out, std::string* error)
{
    Assimp::Importer importer;
    importer.SetIOHandler(new RecordingIOSystem(&out->sourceFiles));
    const aiScene* scene = nullptr;
    try {
        scene = importer.ReadFile(path, kImportFlags);
    } catch (const std::bad_alloc&) {
        *error = "the file asks for more memory than the importer may use";
        return false;
    }
    if (scene == nullptr) {
        *error = ReadableReason(importer.GetErrorString());
        if (error->find("bad_alloc") != std::string::npos) {
            *error = "the file asks for more memory than the importer may use";
        } else if (error->empty()) {
            *error = "the file cannot be read";
        }
        return false;
    }
    if ((scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) != 0 || scene->mRootNode == nullptr) {
        *error = "the file holds no complete scene";
        return false;
    }
    try {
        ConvertScene(scene, path, prefix, options, out);
    } catch (const std::bad_alloc&) {
        *error = "the model needs more memory than the importer may use";
        return false;
    }
    return true;
}

} // namespace import
