// Skinning against values worked out by hand, in a scene whose bones are a
// mesh and a helper moved by their nodes; and the flat skinning path against
// a literal per-vertex skin on random meshes, bones and weights, bit for bit.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "modifiers/modifier_skin.h"
#include "scene/mesh.h"
#include "scene/node.h"
#include "tests/modifiers/deform_helpers.h"
#include "tests/scene/scene_fixture.h"

namespace {

kvf::Matrix43 Translation(float x, float y, float z)
{
    kvf::Matrix43 m;
    const kvf::Vec3 file = kvf::ToFileAxes(x, y, z);
    m.m[9] = file.x;
    m.m[10] = file.y;
    m.m[11] = file.z;
    return m;
}

kvf::Key PositionKey(float time, float x, float y, float z)
{
    kvf::Key key;
    key.time = time;
    const kvf::Vec3 file = kvf::ToFileAxes(x, y, z);
    key.value[0] = file.x;
    key.value[1] = file.y;
    key.value[2] = file.z;
    return key;
}

kvf::SkinVertex Influences(std::vector<kvf::SkinInfluence> influences)
{
    kvf::SkinVertex v;
    v.influences = std::move(influences);
    return v;
}

// Positions (1, 0, 0), (0, 2, 0) and (0, 0, 3). Bone 0 is the mesh "bone
// mesh", held at (0, 1, 0) by its node with an identity bind; bone 1 the
// helper "bone helper", bound at (5, 0, 0) and moved by its node from x = 5
// (frame 0) to x = 7 (frame 10). The mesh matrix is a translation, which the
// skinning matrices cancel.
kvf::Mesh SkinnedMesh(const std::string& name, int32_t layout)
{
    kvf::Mesh mesh;
    mesh.name = name;
    mesh.positions = {kvf::ToFileAxes(1, 0, 0), kvf::ToFileAxes(0, 2, 0), kvf::ToFileAxes(0, 0, 3)};
    mesh.faces = {kvf::Face{0, 1, 2, 1, -1}};
    kvf::Modifier skin;
    skin.type = layout;
    skin.skin.meshMatrix = Translation(0, 3, 0);
    skin.skin.bones = {{"bone mesh", kvf::Matrix43{}}, {"bone helper", Translation(5, 0, 0)}};
    skin.skin.vertices = {Influences({{1, 0.5f}}), Influences({{0, 0.4f}, {1, 0.4f}}), Influences({})};
    mesh.modifiers.entries = {skin};
    return mesh;
}

class SkinScene : public SceneTest {
protected:
    void SetUp() override
    {
        kvf::Scene description;
        kvf::Mesh bone;
        bone.name = "bone mesh";
        bone.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        bone.faces = {kvf::Face{0, 1, 2, 0, -1}};
        description.objects = {SkinnedMesh("skin2", kvf::kSkinCountFirst), SkinnedMesh("skin3", kvf::kSkinMatrixFirst),
                               bone, MakeHelper("bone helper")};
        kvf::Node boneNode = MakeNode(0, CNode::kMesh, "bone mesh");
        boneNode.position.keys = {PositionKey(0, 0, 1, 0)};
        kvf::Node helperNode = MakeNode(0, CNode::kHelper, "bone helper");
        helperNode.position.keys = {PositionKey(0, 5, 0, 0), PositionKey(10, 7, 0, 0)};
        description.nodes = {boneNode, helperNode};
        ASSERT_EQ(0, Load(description));
        ASSERT_EQ(0, scene.PrepareModifiers());
    }

    // The deformed position of the vertex whose base position is `base`.
    D3DVECTOR At(const CMesh* mesh, const D3DVECTOR& base) const
    {
        for (size_t i = 0; i < mesh->baseVertices.size(); ++i) {
            const MeshVertex& v = mesh->baseVertices[i];
            if (v.x == base.x && v.y == base.y && v.z == base.z) {
                const MeshVertex& d = mesh->deformedVertices[i];
                return D3DVECTOR{d.x, d.y, d.z};
            }
        }
        ADD_FAILURE() << "no vertex at the base position";
        return D3DVECTOR{};
    }

    void Frame(float t)
    {
        scene.Update(t);
        for (CMesh* mesh : scene.meshes) {
            mesh->DeformVertices();
        }
    }
};

TEST_F(SkinScene, BonesOfMeshesAndHelpersMoveWeightedVertices)
{
    CMesh* skinned = scene.RetrieveMesh("skin2");
    EXPECT_EQ(0, scene.RetrieveMesh("bone mesh")->visible);
    EXPECT_EQ(1, skinned->visible);
    for (float t : {0.0f, 10.0f}) {
        SCOPED_TRACE(t);
        Frame(t);
        const float helperMove = t == 0.0f ? 0.0f : 2.0f;
        // One influence of weight 0.5: half of the helper's move.
        EXPECT_POINT_NEAR(1.0f + 0.5f * helperMove, 0.0f, 0.0f, At(skinned, D3DVECTOR{1, 0, 0}));
        // Weights 0.4 and 0.4, used as read: 0.8 of the point, plus 0.4 of
        // each bone's move.
        EXPECT_POINT_NEAR(0.4f * helperMove, 0.8f * 2.0f + 0.4f, 0.0f, At(skinned, D3DVECTOR{0, 2, 0}));
        // A position whose entry has no influence does not move.
        EXPECT_POINT_NEAR(0.0f, 0.0f, 3.0f, At(skinned, D3DVECTOR{0, 0, 3}));
        // The box is that of the deformed positions.
        EXPECT_EQ(0.0f, skinned->boxMin.x);
        EXPECT_NEAR(1.0f + 0.5f * helperMove, skinned->boxMax.x, 1e-6);
        EXPECT_NEAR(2.0f, skinned->boxMax.y, 1e-6);
        // Both record layouts deform alike, bit for bit.
        const CMesh* other = scene.RetrieveMesh("skin3");
        ASSERT_EQ(skinned->deformedVertices.size(), other->deformedVertices.size());
        EXPECT_EQ(0, std::memcmp(skinned->deformedVertices.data(), other->deformedVertices.data(),
                                 skinned->deformedVertices.size() * sizeof(MeshVertex)));
    }
    // The message of the entry without influence came while loading.
    const std::vector<std::string> texts = Texts();
    EXPECT_EQ(2, std::count(texts.begin(), texts.end(), std::string("m_nbBone <= 0 for one vertex")));
}

// A skin whose bone is its own mesh: bound like any bone (and so hidden like
// any bone mesh), moved by its own node's world matrix, nothing out of place.
TEST_F(SceneTest, MeshThatIsItsOwnBone)
{
    kvf::Mesh self = SkinnedMesh("self", kvf::kSkinCountFirst);
    self.modifiers.entries[0].skin.bones = {{"self", kvf::Matrix43{}}};
    self.modifiers.entries[0].skin.vertices = {Influences({{0, 1.0f}}), Influences({{0, 0.5f}, {0, 0.5f}}),
                                               Influences({{0, 0.25f}})};
    kvf::Scene description;
    description.objects = {self};
    kvf::Node node = MakeNode(0, CNode::kMesh, "self");
    node.position.keys = {PositionKey(0, 0, 0, 1)};
    description.nodes = {node};
    ASSERT_EQ(0, Load(description));
    ASSERT_EQ(0, scene.PrepareModifiers());
    CMesh* mesh = scene.RetrieveMesh("self");
    EXPECT_EQ(0, mesh->visible);
    scene.Update(3.0f);
    mesh->DeformVertices();
    // Every vertex follows the mesh's own translation by z = 1, by its weights.
    const float expectedZ[] = {1.0f, 1.0f, 3.25f};
    const D3DVECTOR bases[] = {{1, 0, 0}, {0, 2, 0}, {0, 0, 3}};
    for (int k = 0; k < 3; ++k) {
        for (size_t i = 0; i < mesh->baseVertices.size(); ++i) {
            const MeshVertex& b = mesh->baseVertices[i];
            if (b.x == bases[k].x && b.y == bases[k].y && b.z == bases[k].z) {
                EXPECT_EQ(expectedZ[k], mesh->deformedVertices[i].z) << "position " << k;
            }
        }
    }
}

// ---- The flat path against a literal skin -----------------------------------

// The skin as written out: per vertex, one influence blends, several add up.
D3DVECTOR LiteralSkin(const CModifierSkin& skin, int index, const D3DVECTOR& p)
{
    const SkinVertex& v = skin.m_vertices[index];
    if (v.m_nbBone == 1) {
        const D3DVECTOR t = transformPoint(skin.m_bones[v.m_boneIndices[0]].m_skinningMatrix, p);
        const float w = v.m_weights[0];
        return D3DVECTOR{p.x + w * (t.x - p.x), p.y + w * (t.y - p.y), p.z + w * (t.z - p.z)};
    }
    if (v.m_nbBone <= 0) {
        return p;
    }
    D3DVECTOR out = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < v.m_nbBone; ++i) {
        const D3DVECTOR t = transformPoint(skin.m_bones[v.m_boneIndices[i]].m_skinningMatrix, p);
        out.x = out.x + v.m_weights[i] * t.x;
        out.y = out.y + v.m_weights[i] * t.y;
        out.z = out.z + v.m_weights[i] * t.z;
    }
    return out;
}

D3DMATRIX RandomAffine(std::mt19937& rng)
{
    std::uniform_real_distribution<float> value(-3.0f, 3.0f);
    D3DMATRIX m;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            m.m[r][c] = value(rng);
        }
        m.m[r][3] = r == 3 ? 1.0f : 0.0f;
    }
    return m;
}

// Both vectorised paths (sixteen lanes where the processor has them, and
// two vertices at a time otherwise, or for more bones than the lanes' table
// holds), into a separate buffer whose other fields must be copied, and in
// place, over meshes that span several blocks and end in partial groups;
// before the first update too.
TEST(SkinDeform, FlatPathsEqualTheLiteralSkinBitForBit)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coordinate(-50.0f, 50.0f);
    std::uniform_real_distribution<float> weight(-0.5f, 1.5f);
    for (const bool wide : {true, false}) {
        CModifierSkin::EnableWidePath(wide);
        for (int trial = 0; trial < 20; ++trial) {
            const int bones = trial < 14 ? 1 + trial % 7 : 14 + 3 * trial - 30; // 1 to 7, then 16 to 31 ... 41
            const int vertices = 1 + (trial * 97) % 700;
            CMesh mesh;
            mesh.vertexCount = vertices;
            auto* skin = new CModifierSkin();
            mesh.modifiers.Append(skin);
            skin->m_meshMatrix = RandomAffine(rng);
            skin->m_nbBone = bones;
            skin->m_bones.resize(bones);
            std::vector<D3DMATRIX> worlds(bones);
            for (int b = 0; b < bones; ++b) {
                skin->m_bones[b].m_bindMatrix = RandomAffine(rng);
                skin->m_bones[b].m_world = &worlds[b];
            }
            skin->m_nbVertex = vertices;
            skin->m_vertices.resize(vertices);
            std::uniform_int_distribution<int> boneOf(0, bones - 1);
            for (int i = 0; i < vertices; ++i) {
                MeshVertex v = {coordinate(rng), coordinate(rng), coordinate(rng), 0.1f, 0.2f, 0.3f,
                                static_cast<uint32_t>(i), 0.5f, 0.25f};
                if (i % 11 == 0) {
                    v.x = -0.0f; // the sum starts at +0: a lone -0 term must become +0
                }
                mesh.baseVertices.push_back(v);
                SkinVertex& s = skin->m_vertices[i];
                s.m_nbBone = (i * 7 + trial) % 13 < 6 ? (i * 7 + trial) % 13 : 1 + i % 4; // 0 to 5 influences
                for (int k = 0; k < s.m_nbBone; ++k) {
                    s.m_boneIndices.push_back(boneOf(rng));
                    s.m_weights.push_back(weight(rng));
                }
            }
            skin->prepare();
            // Frame -1 runs before any update: every path starts from the
            // bones' identity matrices.
            for (int frame = -1; frame < 3; ++frame) {
                if (frame >= 0) {
                    for (D3DMATRIX& world : worlds) {
                        world = RandomAffine(rng);
                    }
                    skin->update();
                }
                mesh.DeformVertices();
                std::vector<MeshVertex> apart(vertices);
                std::memset(apart.data(), 0xA5, apart.size() * sizeof(MeshVertex));
                skin->applyAll(mesh.baseVertices.data(), apart.data(), vertices);
                std::vector<MeshVertex> inPlace = mesh.baseVertices;
                skin->applyAll(inPlace.data(), inPlace.data(), vertices);
                for (int i = 0; i < vertices; ++i) {
                    const MeshVertex& base = mesh.baseVertices[i];
                    const D3DVECTOR expected = LiteralSkin(*skin, i, D3DVECTOR{base.x, base.y, base.z});
                    const MeshVertex& got = mesh.deformedVertices[i];
                    ASSERT_EQ(0, std::memcmp(&expected, &got.x, sizeof expected))
                        << "wide " << wide << " trial " << trial << " frame " << frame << " vertex " << i;
                    ASSERT_EQ(0, std::memcmp(&base.nx, &got.nx, sizeof(MeshVertex) - 12)) << "vertex " << i;
                    ASSERT_EQ(0, std::memcmp(&got, &apart[i], sizeof got)) << "apart, vertex " << i;
                    ASSERT_EQ(0, std::memcmp(&got, &inPlace[i], sizeof got)) << "in place, vertex " << i;
                    MeshVertex single;
                    mesh.DeformVertex(i, &single);
                    ASSERT_EQ(0, std::memcmp(&single, &got, sizeof single)) << "vertex " << i;
                }
            }
        }
    }
    CModifierSkin::EnableWidePath(true);
}

TEST(SkinDeform, BadInfluencesAndPoisonedBonesNeverReachTheVertices)
{
    CMesh mesh;
    mesh.vertexCount = 4;
    for (int i = 0; i < 4; ++i) {
        mesh.baseVertices.push_back(MeshVertex{static_cast<float>(i), 1.0f, 2.0f, 0, 1, 0, 0, 0, 0});
    }
    auto* skin = new CModifierSkin();
    mesh.modifiers.Append(skin);
    skin->m_nbBone = 2;
    skin->m_bones.resize(2);
    D3DMATRIX moved;
    SetIdentity(&moved);
    moved._41 = 10.0f;
    D3DMATRIX poisoned = moved;
    poisoned._42 = std::numeric_limits<float>::quiet_NaN();
    skin->m_bones[0].m_world = &moved;
    skin->m_bones[1].m_world = &poisoned;
    // A vertex table shorter than the mesh: vertex 3 has no entry.
    skin->m_vertices.resize(3);
    skin->m_vertices[0] = SkinVertex{1, {1.0f}, {0}};
    skin->m_vertices[1] = SkinVertex{2, {0.5f, 0.5f}, {0, 7}};       // bone 7 counts for nothing
    skin->m_vertices[2] = SkinVertex{2, {0.5f, 0.5f}, {0, 1}};       // the NaN bone
    skin->prepare();
    skin->update();
    mesh.DeformVertices();
    EXPECT_EQ(10.0f, mesh.deformedVertices[0].x);
    EXPECT_EQ(0.5f * 11.0f, mesh.deformedVertices[1].x);
    EXPECT_EQ(0.5f, mesh.deformedVertices[1].y);
    // The poisoned vertex keeps its base position; the box stays finite.
    EXPECT_EQ(2.0f, mesh.deformedVertices[2].x);
    EXPECT_EQ(1.0f, mesh.deformedVertices[2].y);
    EXPECT_EQ(3.0f, mesh.deformedVertices[3].x);
    EXPECT_EQ(0.5f, mesh.boxMin.y);
    EXPECT_EQ(10.0f, mesh.boxMax.x);
    MeshVertex single;
    mesh.DeformVertex(2, &single);
    EXPECT_EQ(0, std::memcmp(&single, &mesh.deformedVertices[2], sizeof single));
    // A bone bound to nothing keeps the identity: its vertices stay.
    skin->m_bones[0].m_world = nullptr;
    skin->update();
    mesh.DeformVertices();
    EXPECT_EQ(0.0f, mesh.deformedVertices[0].x);
    // A skin without bones reads no bone in its frames: every influence
    // counts for nothing, as for the single-vertex chain.
    skin->m_nbBone = 0;
    skin->m_bones.clear();
    skin->prepare();
    skin->update();
    mesh.DeformVertices();
    EXPECT_EQ(0, std::memcmp(&mesh.baseVertices[0], &mesh.deformedVertices[0], sizeof(MeshVertex)));
    EXPECT_EQ(0, std::memcmp(&mesh.baseVertices[3], &mesh.deformedVertices[3], sizeof(MeshVertex)));
    for (int i = 0; i < 4; ++i) {
        mesh.DeformVertex(i, &single);
        EXPECT_EQ(0, std::memcmp(&single, &mesh.deformedVertices[i], sizeof single)) << "vertex " << i;
    }
}

} // namespace
