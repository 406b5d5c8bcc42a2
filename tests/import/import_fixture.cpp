#include "tests/import/import_fixture.h"

#include <cmath>
#include <sys/stat.h>

#include "tools/import/import_command.h"
#include "tools/import/scene_converter.h"

bool FileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

ImportRun ImportTest::Import(std::vector<std::string> arguments)
{
    bool namesPack = false;
    for (const std::string& a : arguments) {
        namesPack = namesPack || a == "--pack";
    }
    if (!namesPack) {
        arguments.insert(arguments.begin(), {"--pack", Pack()});
    }
    std::ostringstream out, err;
    ImportRun run;
    run.status = import::RunImport(arguments, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::unique_ptr<CScene> ImportTest::Load(const std::string& sceneName)
{
    BoxCapture boxes;
    auto scene = std::make_unique<CScene>();
    EXPECT_EQ(0, scene->LoadScene(sceneName.c_str(), Pack().c_str())) << sceneName;
    EXPECT_EQ(0, scene->Prepare(nullptr)) << sceneName;
    EXPECT_TRUE(boxes.boxes.empty()) << sceneName << ": " << (boxes.boxes.empty() ? "" : boxes.boxes[0].text);
    return scene;
}

const aiScene* ImportTest::ReadModel(const std::string& path)
{
    const aiScene* scene = importer.ReadFile(path, import::kImportFlags);
    EXPECT_NE(nullptr, scene) << importer.GetErrorString();
    return scene;
}

const CNode* FindNode(const CScene& scene, const std::string& name)
{
    std::vector<const CNode*> stack;
    for (const CNode* root : scene.roots) {
        stack.push_back(root);
    }
    while (!stack.empty()) {
        const CNode* node = stack.back();
        stack.pop_back();
        // Cameras, lights and their targets stand beside the tree under the
        // names of their objects.
        const bool treeNode = node->kind == CNode::kMesh || node->kind == CNode::kHelper;
        if (treeNode && node->name != nullptr && name == node->name) {
            return node;
        }
        for (const CNode* child : node->children) {
            stack.push_back(child);
        }
    }
    return nullptr;
}

std::vector<const aiNode*> ModelNodes(const aiScene* scene)
{
    std::vector<const aiNode*> nodes, stack{scene->mRootNode};
    while (!stack.empty()) {
        const aiNode* node = stack.back();
        stack.pop_back();
        nodes.push_back(node);
        for (unsigned i = node->mNumChildren; i-- > 0;) {
            stack.push_back(node->mChildren[i]);
        }
    }
    return nodes;
}

namespace {

// Index of the last key at or before t (0 before the first).
template <typename Key>
unsigned KeyBefore(const Key* keys, unsigned count, double t)
{
    unsigned i = 0;
    while (i + 1 < count && keys[i + 1].mTime <= t) {
        ++i;
    }
    return i;
}

template <typename Key>
float Fraction(const Key* keys, unsigned count, unsigned i, double t)
{
    if (i + 1 >= count || t <= keys[i].mTime) {
        return 0.0f;
    }
    return static_cast<float>((t - keys[i].mTime) / (keys[i + 1].mTime - keys[i].mTime));
}

aiMatrix4x4 LocalAt(const aiNode* node, const aiNodeAnim* track, double t)
{
    if (track == nullptr) {
        return node->mTransformation;
    }
    aiVector3D scale, position;
    aiQuaternion rotation;
    node->mTransformation.Decompose(scale, rotation, position);
    if (track->mNumPositionKeys > 0) {
        const unsigned i = KeyBefore(track->mPositionKeys, track->mNumPositionKeys, t);
        const float f = Fraction(track->mPositionKeys, track->mNumPositionKeys, i, t);
        position = track->mPositionKeys[i].mValue;
        if (f > 0.0f) {
            position += (track->mPositionKeys[i + 1].mValue - position) * f;
        }
    }
    if (track->mNumRotationKeys > 0) {
        const unsigned i = KeyBefore(track->mRotationKeys, track->mNumRotationKeys, t);
        const float f = Fraction(track->mRotationKeys, track->mNumRotationKeys, i, t);
        rotation = track->mRotationKeys[i].mValue;
        if (f > 0.0f) {
            aiQuaternion::Interpolate(rotation, track->mRotationKeys[i].mValue, track->mRotationKeys[i + 1].mValue, f);
        }
        rotation.Normalize();
    }
    if (track->mNumScalingKeys > 0) {
        const unsigned i = KeyBefore(track->mScalingKeys, track->mNumScalingKeys, t);
        const float f = Fraction(track->mScalingKeys, track->mNumScalingKeys, i, t);
        scale = track->mScalingKeys[i].mValue;
        if (f > 0.0f) {
            scale += (track->mScalingKeys[i + 1].mValue - scale) * f;
        }
    }
    return aiMatrix4x4(scale, rotation, position);
}

} // namespace

std::unordered_map<const aiNode*, aiMatrix4x4> ReferenceWorlds(const aiScene* scene, double ticks)
{
    std::unordered_map<std::string, const aiNodeAnim*> tracks;
    if (scene->mNumAnimations > 0) {
        const aiAnimation* animation = scene->mAnimations[0];
        for (unsigned i = 0; i < animation->mNumChannels; ++i) {
            tracks.emplace(animation->mChannels[i]->mNodeName.C_Str(), animation->mChannels[i]);
        }
    }
    std::unordered_map<const aiNode*, aiMatrix4x4> worlds;
    for (const aiNode* node : ModelNodes(scene)) {
        auto track = tracks.find(node->mName.C_Str());
        const aiMatrix4x4 local = LocalAt(node, track == tracks.end() ? nullptr : track->second, ticks);
        if (track != tracks.end()) {
            tracks.erase(track); // a repeated name is driven only at its first node
        }
        worlds[node] = node->mParent != nullptr ? worlds.at(node->mParent) * local : local;
    }
    return worlds;
}

D3DMATRIX EngineMatrix(const aiMatrix4x4& m)
{
    // Row vectors: the transpose; engine axes: X negated on both sides.
    const float rows[4][4] = {
        {m.a1, m.b1, m.c1, m.d1},
        {m.a2, m.b2, m.c2, m.d2},
        {m.a3, m.b3, m.c3, m.d3},
        {m.a4, m.b4, m.c4, m.d4},
    };
    D3DMATRIX out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const float sign = ((r == 0) != (c == 0)) ? -1.0f : 1.0f;
            out.m[r][c] = rows[r][c] * sign;
        }
    }
    return out;
}

D3DVECTOR EnginePoint(const aiVector3D& v)
{
    return D3DVECTOR{-v.x, v.y, v.z};
}

double TicksAtFrame(const aiScene* scene, double frame, int fps)
{
    double tps = 30.0;
    if (scene->mNumAnimations > 0 && scene->mAnimations[0]->mTicksPerSecond > 0.0) {
        tps = scene->mAnimations[0]->mTicksPerSecond;
    }
    return frame * tps / fps;
}

void ExpectMatrixNear(const D3DMATRIX& expected, const D3DMATRIX& actual, const std::string& what)
{
    for (int r = 0; r < 4; ++r) {
        // Float rounding grows with the size of the row (translations of
        // deep bones far from the origin).
        float size = 1.0f;
        for (int c = 0; c < 4; ++c) {
            size = std::max(size, std::fabs(expected.m[r][c]));
        }
        for (int c = 0; c < 4; ++c) {
            const float e = expected.m[r][c];
            EXPECT_NEAR(e, actual.m[r][c], 1e-4f * size)
                << what << " [" << r << "][" << c << "]";
        }
    }
}
