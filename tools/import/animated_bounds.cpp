#include "tools/import/animated_bounds.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

namespace import {

namespace {

bool Finite(const aiVector3D& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

struct Influence {
    unsigned bone;
    float weight;
};

// One mesh as one node draws it: a rigid mesh by the corners of its own
// box, a skinned one vertex by vertex.
struct Instance {
    const aiNode* node;
    const aiMesh* mesh;
    Box local;
    std::vector<const aiNode*> bones;                // per bone of the mesh, null when no node has its name
    std::vector<std::vector<Influence>> influences;  // per vertex, empty when rigid
};

std::vector<Instance> Instances(const aiScene* scene)
{
    std::vector<Instance> instances;
    std::vector<const aiNode*> stack{scene->mRootNode};
    while (!stack.empty()) {
        const aiNode* node = stack.back();
        stack.pop_back();
        for (unsigned c = 0; c < node->mNumChildren; ++c) {
            stack.push_back(node->mChildren[c]);
        }
        for (unsigned i = 0; i < node->mNumMeshes; ++i) {
            if (node->mMeshes[i] >= scene->mNumMeshes) {
                continue;
            }
            Instance instance{node, scene->mMeshes[node->mMeshes[i]], {}, {}, {}};
            const aiMesh* mesh = instance.mesh;
            for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
                if (Finite(mesh->mVertices[v])) {
                    instance.local.Add(mesh->mVertices[v]);
                }
            }
            if (mesh->mNumBones > 0) {
                instance.influences.resize(mesh->mNumVertices);
                for (unsigned b = 0; b < mesh->mNumBones; ++b) {
                    const aiBone* bone = mesh->mBones[b];
                    instance.bones.push_back(scene->mRootNode->FindNode(bone->mName));
                    for (unsigned w = 0; w < bone->mNumWeights; ++w) {
                        const aiVertexWeight& weight = bone->mWeights[w];
                        if (weight.mVertexId < mesh->mNumVertices && weight.mWeight > 0.0f) {
                            instance.influences[weight.mVertexId].push_back({b, weight.mWeight});
                        }
                    }
                }
            }
            instances.push_back(std::move(instance));
        }
    }
    return instances;
}

void AddCorners(const Box& local, const aiMatrix4x4& world, Box* box)
{
    for (int i = 0; i < 8; ++i) {
        const aiVector3D corner((i & 1) ? local.max.x : local.min.x, (i & 2) ? local.max.y : local.min.y,
                                (i & 4) ? local.max.z : local.min.z);
        const aiVector3D p = world * corner;
        if (Finite(p)) {
            box->Add(p);
        }
    }
}

void AddSkinned(const Instance& instance, const std::unordered_map<const aiNode*, aiMatrix4x4>& worlds,
                std::vector<aiMatrix4x4>* skinning, Box* box)
{
    const aiMesh* mesh = instance.mesh;
    const aiMatrix4x4& nodeWorld = worlds.at(instance.node);
    skinning->resize(mesh->mNumBones);
    for (unsigned b = 0; b < mesh->mNumBones; ++b) {
        const aiNode* bone = instance.bones[b];
        (*skinning)[b] = (bone != nullptr ? worlds.at(bone) : nodeWorld) * mesh->mBones[b]->mOffsetMatrix;
    }
    for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
        const aiVector3D& rest = mesh->mVertices[v];
        aiVector3D p;
        float total = 0.0f;
        for (const Influence& influence : instance.influences[v]) {
            p += ((*skinning)[influence.bone] * rest) * influence.weight;
            total += influence.weight;
        }
        // What the weights leave out stays with the mesh's node.
        if (total < 1.0f) {
            p += (nodeWorld * rest) * (1.0f - total);
        }
        if (Finite(p)) {
            box->Add(p);
        }
    }
}

} // namespace

void Box::Add(const aiVector3D& p)
{
    if (empty) {
        min = max = p;
        empty = false;
        return;
    }
    min = aiVector3D(std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z));
    max = aiVector3D(std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z));
}

Box AnimatedBounds(const aiScene* scene, const NodeAnimation& animation, float scale)
{
    const std::vector<Instance> instances = Instances(scene);
    // Each frame poses every node, then moves the meshes' corners or vertices.
    double work = 0.0;
    std::vector<const aiNode*> nodes{scene->mRootNode};
    while (!nodes.empty()) {
        const aiNode* node = nodes.back();
        nodes.pop_back();
        work += 1.0;
        nodes.insert(nodes.end(), node->mChildren, node->mChildren + node->mNumChildren);
    }
    for (const Instance& instance : instances) {
        work += instance.influences.empty() ? 8.0 : static_cast<double>(instance.mesh->mNumVertices);
    }
    const AnimationClock& clock = animation.Clock();
    const int last = clock.EndFrame();
    const int step = std::max(1, static_cast<int>(std::ceil(work * (last + 1) / kBoundsWork)));

    Box box;
    std::unordered_map<const aiNode*, aiMatrix4x4> worlds;
    std::vector<aiMatrix4x4> skinning;
    for (int frame = 0;; frame = std::min(frame + step, last)) {
        animation.WorldMatrices(clock.TicksAtFrame(frame), &worlds);
        for (const Instance& instance : instances) {
            if (instance.local.empty) {
                continue;
            }
            if (instance.influences.empty()) {
                AddCorners(instance.local, worlds.at(instance.node), &box);
            } else {
                AddSkinned(instance, worlds, &skinning, &box);
            }
        }
        if (frame == last) {
            break;
        }
    }
    if (!box.empty) {
        box.min *= scale;
        box.max *= scale;
    }
    return box;
}

} // namespace import
