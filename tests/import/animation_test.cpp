// Animation and skins: tracks sampled per frame where the source
// interpolates, key-framed where 3DS keys them; skins whose bones, bind
// matrices and influences deform as the library's skinning does.
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "modifiers/modifier_skin.h"
#include "scene/controller.h"
#include "scene/mesh.h"
#include "tests/import/import_fixture.h"
#include "tools/import/mesh_converter.h"

namespace {

using AnimationTest = ImportTest;

// Row-vector matrix helpers over the library's column-vector ones.
aiMatrix4x4 Columns(const D3DMATRIX& m)
{
    return aiMatrix4x4(m._11, m._21, m._31, m._41, m._12, m._22, m._32, m._42, m._13, m._23, m._33, m._43, m._14,
                       m._24, m._34, m._44);
}

// The skinned position of base vertex v the way the engine's skin defines
// it: one influence blends towards the skinned point by its weight, several
// add their weighted points; then the mesh's world matrix.
aiVector3D EngineSkinned(const CModifierSkin& skin, const CMesh& mesh, int v)
{
    const MeshVertex& base = mesh.baseVertices[v];
    const aiVector3D p(base.x, base.y, base.z);
    const aiMatrix4x4 meshMatrix = Columns(skin.m_meshMatrix);
    const SkinVertex& influences = skin.m_vertices[v];
    aiVector3D out = influences.m_nbBone == 1 ? p : aiVector3D();
    for (int i = 0; i < influences.m_nbBone; ++i) {
        const SkinBone& bone = skin.m_bones[influences.m_boneIndices[i]];
        // Row vectors p * M * B^-1 * W * M^-1 are, in columns, M^-1 W B^-1 M p.
        const aiMatrix4x4 skinning = aiMatrix4x4(meshMatrix).Inverse() * Columns(*bone.m_world) *
                                     Columns(bone.m_bindMatrix).Inverse() * meshMatrix;
        const aiVector3D moved = skinning * p;
        out += influences.m_nbBone == 1 ? (moved - p) * influences.m_weights[i] : moved * influences.m_weights[i];
    }
    return Columns(mesh.world) * out;
}

TEST_F(AnimationTest, SkinsDeformAsTheLibrarysSkinning)
{
    const std::string path = std::string(kAssimpModels) + "glTF2/simple_skin/simple_skin.gltf";
    REQUIRE_MODEL(path, "assimp-testmodels");
    ASSERT_EQ(0, Import({path}).status);
    const aiScene* sourceScene = ReadModel(path);
    ASSERT_NE(nullptr, sourceScene);
    std::unique_ptr<CScene> scene = Load("simple_skin.KVF");

    const aiMesh* skinned = nullptr;
    for (unsigned i = 0; i < sourceScene->mNumMeshes; ++i) {
        skinned = sourceScene->mMeshes[i]->mNumBones > 0 ? sourceScene->mMeshes[i] : skinned;
    }
    ASSERT_NE(nullptr, skinned);
    // Engine positions are the model's with X negated: exact, so they find
    // their model vertex.
    std::map<std::tuple<float, float, float>, unsigned> byPosition;
    for (unsigned v = 0; v < skinned->mNumVertices; ++v) {
        const aiVector3D& p = skinned->mVertices[v];
        byPosition.emplace(std::make_tuple(-p.x, p.y, p.z), v);
    }
    int checked = 0;
    for (double frame : {0.0, 20.0, 37.0}) {
        scene->Update(static_cast<float>(frame));
        const auto worlds = ReferenceWorlds(sourceScene, TicksAtFrame(sourceScene, frame));
        for (const CMesh* mesh : scene->meshes) {
            for (const CModifier* modifier : mesh->modifiers) {
                const auto& skin = static_cast<const CModifierSkin&>(*modifier);
                ASSERT_EQ(static_cast<int>(skinned->mNumBones), skin.m_nbBone);
                for (int v = 0; v < mesh->vertexCount; ++v) {
                    const MeshVertex& base = mesh->baseVertices[v];
                    const unsigned source = byPosition.at(std::make_tuple(base.x, base.y, base.z));
                    // The library's skinning: bone world times offset, weighted.
                    aiVector3D expected;
                    for (unsigned b = 0; b < skinned->mNumBones; ++b) {
                        const aiBone* bone = skinned->mBones[b];
                        for (unsigned w = 0; w < bone->mNumWeights; ++w) {
                            if (bone->mWeights[w].mVertexId == source) {
                                const aiMatrix4x4& boneWorld = worlds.at(sourceScene->mRootNode->FindNode(bone->mName));
                                expected += (boneWorld * bone->mOffsetMatrix * skinned->mVertices[source]) *
                                            bone->mWeights[w].mWeight;
                            }
                        }
                    }
                    const aiVector3D actual = EngineSkinned(skin, *mesh, v);
                    const D3DVECTOR e = EnginePoint(expected);
                    EXPECT_NEAR(e.x, actual.x, 1e-4f) << "vertex " << v << " frame " << frame;
                    EXPECT_NEAR(e.y, actual.y, 1e-4f) << "vertex " << v << " frame " << frame;
                    EXPECT_NEAR(e.z, actual.z, 1e-4f) << "vertex " << v << " frame " << frame;
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 0);
}

TEST_F(AnimationTest, InfluencesBeyondTheLimitKeepTheLargestRenormalised)
{
    const std::string path = std::string(kAssimpModels) + "FBX/animation_with_skeleton.fbx";
    REQUIRE_MODEL(path, "assimp-testmodels");
    const ImportRun run = Import({path});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("vertices kept their 4 largest bone influences")) << run.out;
    const aiScene* source = ReadModel(path);
    ASSERT_NE(nullptr, source);
    ASSERT_EQ(1u, source->mNumMeshes);
    const aiMesh* skinned = source->mMeshes[0];
    // The model's influences by engine position (the first vertex there).
    std::map<std::tuple<float, float, float>, std::vector<std::pair<float, std::string>>> byPosition;
    std::vector<std::vector<std::pair<float, std::string>>> influences(skinned->mNumVertices);
    for (unsigned b = 0; b < skinned->mNumBones; ++b) {
        for (unsigned w = 0; w < skinned->mBones[b]->mNumWeights; ++w) {
            const aiVertexWeight& weight = skinned->mBones[b]->mWeights[w];
            influences[weight.mVertexId].push_back({weight.mWeight, skinned->mBones[b]->mName.C_Str()});
        }
    }
    for (unsigned v = 0; v < skinned->mNumVertices; ++v) {
        const aiVector3D& p = skinned->mVertices[v];
        byPosition.emplace(std::make_tuple(-p.x, p.y, p.z), influences[v]);
    }

    std::unique_ptr<CScene> scene = Load("animation_with_skeleton.KVF");
    const CMesh* mesh = scene->meshes.First();
    ASSERT_NE(nullptr, mesh);
    ASSERT_EQ(1, mesh->modifiers.Count());
    const auto& skin = static_cast<const CModifierSkin&>(*mesh->modifiers.First());
    int cut = 0;
    for (int v = 0; v < mesh->vertexCount; ++v) {
        const MeshVertex& base = mesh->baseVertices[v];
        auto expected = byPosition.at(std::make_tuple(base.x, base.y, base.z));
        const SkinVertex& actual = skin.m_vertices[v];
        ASSERT_EQ(std::min<int>(expected.size(), import::kMaxInfluences), actual.m_nbBone);
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        float kept = 0.0f;
        for (int i = 0; i < actual.m_nbBone; ++i) {
            kept += expected[i].first;
        }
        // Cut vertices are renormalised to 1; the others keep their weights.
        const float scale = expected.size() > static_cast<size_t>(import::kMaxInfluences) ? 1.0f / kept : 1.0f;
        cut += scale != 1.0f ? 1 : 0;
        std::vector<std::pair<float, std::string>> got;
        for (int i = 0; i < actual.m_nbBone; ++i) {
            got.push_back({actual.m_weights[i] / scale, skin.m_bones[actual.m_boneIndices[i]].m_name});
        }
        std::stable_sort(got.begin(), got.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        for (int i = 0; i < actual.m_nbBone; ++i) {
            EXPECT_EQ(expected[i].second, got[i].second) << v;
            EXPECT_NEAR(expected[i].first, got[i].first, 1e-6f) << v;
        }
    }
    EXPECT_GT(cut, 0);
}

TEST_F(AnimationTest, TracksAreSampledPerFrameOrKeptAsTheSourceKeys)
{
    const std::string gltf = std::string(kAssimpModels) + "glTF2/simple_skin/simple_skin.gltf";
    const std::string max3ds = std::string(kAssimpModels) + "3DS/CameraRollAnimWithChildObject.3ds";
    REQUIRE_MODEL(gltf, "assimp-testmodels");

    // Linear glTF keys: one sampled key per frame, at 30 or at --fps.
    for (int fps : {30, 60}) {
        ASSERT_EQ(0, Import({"--fps", std::to_string(fps), gltf}).status);
        std::unique_ptr<CScene> scene = Load("simple_skin.KVF");
        EXPECT_EQ(fps, scene->frameRate);
        const aiScene* source = ReadModel(gltf);
        const aiAnimation* animation = source->mAnimations[0];
        EXPECT_EQ(static_cast<int>(std::ceil(animation->mDuration / animation->mTicksPerSecond * fps - 1e-6)),
                  scene->endFrame);
        const CNode* bone = FindNode(*scene, animation->mChannels[0]->mNodeName.C_Str());
        ASSERT_NE(nullptr, bone);
        const auto* rotation = dynamic_cast<const CControllerRotationSampled*>(bone->rotationController);
        ASSERT_NE(nullptr, rotation);
        EXPECT_EQ(scene->endFrame + 1, rotation->keyCount);
    }

    // 3DS keys stay key-framed: the moving box keeps its 119 position keys.
    ASSERT_EQ(0, Import({max3ds}).status);
    std::unique_ptr<CScene> scene = Load("CameraRollAnimWithChildObject.KVF");
    const CNode* box = FindNode(*scene, "Box02");
    ASSERT_NE(nullptr, box);
    const auto* position = dynamic_cast<const CControllerVectorTCB*>(box->positionController);
    ASSERT_NE(nullptr, position);
    EXPECT_EQ(119, position->keyCount);
    EXPECT_NE(nullptr, dynamic_cast<const CControllerRotationTCB*>(box->rotationController));
    // A node that does not move holds one key.
    const CNode* still = FindNode(*scene, "Box01");
    ASSERT_NE(nullptr, still);
    const auto* stillPosition = dynamic_cast<const CControllerVectorTCB*>(still->positionController);
    ASSERT_NE(nullptr, stillPosition);
    EXPECT_EQ(1, stillPosition->keyCount);
}

} // namespace
