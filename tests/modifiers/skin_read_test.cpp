// Skin records: bones, the vertex entries matched to the mesh's vertices by
// position, the two layouts, the skinning boxes and the refusal of records
// that name bones or positions that do not exist.
#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "modifiers/modifier_skin.h"
#include "tests/scene/mesh_test_helpers.h"

namespace {

D3DVECTOR Engine(const kvf::Vec3& v)
{
    return D3DVECTOR{-v.x, v.z, -v.y};
}

kvf::SkinVertex Influence(int32_t bone, float weight)
{
    kvf::SkinVertex v;
    v.influences = {{bone, weight}};
    return v;
}

// Two faces folded along a shared edge with different smoothing groups: the
// shared positions 1 and 2 each carry two vertices.
kvf::Mesh FoldedMesh(const std::string& name)
{
    return TriangleMesh(name, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}}, {{0, 1, 2, 1, -1}, {1, 3, 2, 3, -1}});
}

kvf::Skin TwoBoneSkin(int entries)
{
    kvf::Skin skin;
    skin.meshMatrix.m[9] = 1.0f;
    kvf::SkinBone a{"Bone01", {}};
    kvf::SkinBone b{"Bone02", {}};
    b.bind.m[10] = 2.0f;
    skin.bones = {a, b};
    for (int j = 0; j < entries; ++j) {
        skin.vertices.push_back(Influence(j % 2, 0.25f * static_cast<float>(j + 1)));
    }
    return skin;
}

ReadMeshResult ReadSkinnedMesh(CScene* scene, kvf::Mesh mesh, const kvf::Skin& skin, int32_t type)
{
    kvf::Modifier m;
    m.type = type;
    m.skin = skin;
    mesh.modifiers.entries = {m};
    return ReadMeshBytes(scene, kvf::MeshBytes(mesh));
}

CModifierSkin* SkinOf(const ReadMeshResult& r)
{
    return static_cast<CModifierSkin*>(r.mesh->modifiers.First());
}

bool SamePosition(const MeshVertex& v, const D3DVECTOR& p)
{
    return v.x == p.x && v.y == p.y && v.z == p.z;
}

// Each vertex takes the first entry (with influences) at its position.
void ExpectLiteralMatch(const kvf::Mesh& mesh, const kvf::Skin& skin, const CMesh& read, const CModifierSkin& s)
{
    ASSERT_EQ(read.vertexCount, s.m_nbVertex);
    ASSERT_EQ(static_cast<size_t>(read.vertexCount), s.m_vertices.size());
    for (int v = 0; v < read.vertexCount; ++v) {
        const kvf::SkinVertex* expected = nullptr;
        for (size_t j = 0; j < skin.vertices.size() && j < mesh.positions.size(); ++j) {
            if (!skin.vertices[j].influences.empty() &&
                SamePosition(read.baseVertices[v], Engine(mesh.positions[j]))) {
                expected = &skin.vertices[j];
                break;
            }
        }
        const SkinVertex& got = s.m_vertices[v];
        if (expected == nullptr) {
            EXPECT_EQ(0, got.m_nbBone) << "vertex " << v;
            continue;
        }
        ASSERT_EQ(static_cast<int32_t>(expected->influences.size()), got.m_nbBone) << "vertex " << v;
        for (size_t i = 0; i < expected->influences.size(); ++i) {
            EXPECT_EQ(expected->influences[i].bone, got.m_boneIndices[i]);
            EXPECT_EQ(expected->influences[i].weight, got.m_weights[i]);
        }
    }
}

TEST(SkinRead, EntriesReachEveryVertexAtTheirPosition)
{
    CScene scene;
    const kvf::Mesh mesh = FoldedMesh("Skinned");
    const kvf::Skin skin = TwoBoneSkin(4);
    ReadMeshResult r = ReadSkinnedMesh(&scene, mesh, skin, kvf::kSkinCountFirst);
    ASSERT_EQ(0, r.result);
    ASSERT_EQ(6, r.mesh->vertexCount);
    CModifierSkin* s = SkinOf(r);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(2, s->m_type);
    ASSERT_EQ(2, s->m_nbBone);
    EXPECT_EQ("Bone01", s->m_bones[0].m_name);
    EXPECT_EQ(2.0f, s->m_bones[1].m_bindMatrix._43 * -1.0f); // file translation y -> engine -z
    EXPECT_EQ(nullptr, s->m_bones[0].m_world);
    EXPECT_EQ(-1.0f, s->m_meshMatrix._41);
    ExpectLiteralMatch(mesh, skin, *r.mesh, *s);
    // Both vertices of shared position 1 move with entry 1.
    int atPositionOne = 0;
    for (const SkinVertex& v : s->m_vertices) {
        atPositionOne += v.m_nbBone == 1 && v.m_weights[0] == 0.5f;
    }
    EXPECT_EQ(2, atPositionOne);
}

TEST(SkinRead, BothLayoutsGiveTheSameSkin)
{
    CScene scene;
    const kvf::Skin skin = TwoBoneSkin(4);
    ReadMeshResult a = ReadSkinnedMesh(&scene, FoldedMesh("A"), skin, kvf::kSkinCountFirst);
    ReadMeshResult b = ReadSkinnedMesh(&scene, FoldedMesh("B"), skin, kvf::kSkinMatrixFirst);
    ASSERT_EQ(0, a.result);
    ASSERT_EQ(0, b.result);
    const CModifierSkin* sa = SkinOf(a);
    const CModifierSkin* sb = SkinOf(b);
    EXPECT_EQ(sa->m_type, sb->m_type);
    EXPECT_EQ(0, std::memcmp(&sa->m_meshMatrix, &sb->m_meshMatrix, sizeof(D3DMATRIX)));
    ASSERT_EQ(sa->m_nbBone, sb->m_nbBone);
    for (int i = 0; i < sa->m_nbBone; ++i) {
        EXPECT_EQ(sa->m_bones[i].m_name, sb->m_bones[i].m_name);
        EXPECT_EQ(0, std::memcmp(&sa->m_bones[i].m_bindMatrix, &sb->m_bones[i].m_bindMatrix, sizeof(D3DMATRIX)));
    }
    ASSERT_EQ(sa->m_nbVertex, sb->m_nbVertex);
    for (int v = 0; v < sa->m_nbVertex; ++v) {
        EXPECT_EQ(sa->m_vertices[v].m_nbBone, sb->m_vertices[v].m_nbBone);
        EXPECT_EQ(sa->m_vertices[v].m_weights, sb->m_vertices[v].m_weights);
        EXPECT_EQ(sa->m_vertices[v].m_boneIndices, sb->m_vertices[v].m_boneIndices);
    }
}

TEST(SkinRead, EqualPositionsTakeTheFirstEntry)
{
    CScene scene;
    // Positions 0 and 3 are the same point.
    const kvf::Mesh mesh = TriangleMesh("Twice", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}},
                                        {{0, 1, 2, 0, -1}, {3, 2, 1, 5, -1}});
    kvf::Skin skin = TwoBoneSkin(0);
    skin.vertices = {Influence(0, 0.1f), Influence(1, 0.2f), Influence(1, 0.3f), Influence(1, 0.9f)};
    ReadMeshResult r = ReadSkinnedMesh(&scene, mesh, skin, kvf::kSkinCountFirst);
    ASSERT_EQ(0, r.result);
    const CModifierSkin* s = SkinOf(r);
    for (int v = 0; v < r.mesh->vertexCount; ++v) {
        if (SamePosition(r.mesh->baseVertices[v], D3DVECTOR{0, 0, 0})) {
            EXPECT_EQ(0.1f, s->m_vertices[v].m_weights[0]) << "vertex " << v;
        }
    }
    ExpectLiteralMatch(mesh, skin, *r.mesh, *s);
}

TEST(SkinRead, TheTwoSkinningBoxes)
{
    CScene scene;
    BoxCapture boxes;
    const kvf::Mesh mesh = FoldedMesh("Short");
    // Three entries for four positions; the second has no influence.
    kvf::Skin skin = TwoBoneSkin(3);
    skin.vertices[1].count = 0;
    ReadMeshResult r = ReadSkinnedMesh(&scene, mesh, skin, kvf::kSkinCountFirst);
    ASSERT_EQ(0, r.result);
    ASSERT_EQ(2u, boxes.boxes.size());
    EXPECT_EQ("Bad Vertex number : 3 - 4", boxes.boxes[0].text);
    EXPECT_EQ("Error with Skinning", boxes.boxes[0].title);
    EXPECT_EQ("m_nbBone <= 0 for one vertex", boxes.boxes[1].text);
    EXPECT_EQ("Error with Skinning", boxes.boxes[1].title);
    EXPECT_EQ(MB_OK, boxes.boxes[1].type);
    // Positions 1 (no influence) and 3 (no entry) leave their vertices still.
    kvf::Skin effective = skin;
    effective.vertices[1].influences.clear();
    ExpectLiteralMatch(mesh, effective, *r.mesh, *SkinOf(r));
    EXPECT_EQ(0, r.file->Remaining());
}

TEST(SkinRead, RecordsNamingWhatDoesNotExistAreRefused)
{
    struct Case {
        const char* message;
        void (*corrupt)(kvf::Skin*);
    };
    const Case cases[] = {
        {"bad vertex count", [](kvf::Skin* s) { s->vertices.push_back(Influence(0, 1.0f)); }},
        {"bad vertex count", [](kvf::Skin* s) { s->vertexCount = -1; }},
        {"influence of a bone that does not exist", [](kvf::Skin* s) { s->vertices[2] = Influence(2, 1.0f); }},
        {"influence of a bone that does not exist", [](kvf::Skin* s) { s->vertices[0] = Influence(-1, 1.0f); }},
        {"bad bone count", [](kvf::Skin* s) { s->boneCount = -1; }},
        {"bad bone count", [](kvf::Skin* s) { s->boneCount = 1000; }},
        {"bad influence count", [](kvf::Skin* s) { s->vertices[3].count = 1000; }},
        {"weight that is not a finite number",
         [](kvf::Skin* s) { s->vertices[1] = Influence(0, std::numeric_limits<float>::quiet_NaN()); }},
        {"weight that is not a finite number",
         [](kvf::Skin* s) { s->vertices[2] = Influence(1, -std::numeric_limits<float>::infinity()); }},
    };
    for (const Case& c : cases) {
        for (int32_t type : {kvf::kSkinCountFirst, kvf::kSkinMatrixFirst}) {
            CScene scene;
            BoxCapture boxes;
            kvf::Skin skin = TwoBoneSkin(4);
            c.corrupt(&skin);
            ReadMeshResult r = ReadSkinnedMesh(&scene, FoldedMesh("S"), skin, type);
            EXPECT_EQ(1, r.result) << c.message;
            ASSERT_FALSE(boxes.boxes.empty()) << c.message;
            EXPECT_EQ(std::string("LibKVF : Corrupted skin record : S (") + c.message + ")", boxes.boxes.back().text);
        }
    }
}

TEST(SkinRead, MatchingAgreesWithTheLiteralSearchOnRandomMeshes)
{
    std::mt19937 rng(42);
    const float coordinates[] = {0.0f, -0.0f, 1.0f, 2.0f, std::numeric_limits<float>::quiet_NaN()};
    std::uniform_int_distribution<int> coordinate(0, 4);
    for (int trial = 0; trial < 100; ++trial) {
        kvf::Mesh mesh;
        mesh.name = "R";
        const int positions = 3 + trial % 10;
        for (int i = 0; i < positions; ++i) {
            mesh.positions.push_back({coordinates[coordinate(rng)], coordinates[coordinate(rng)], 1.0f});
        }
        std::uniform_int_distribution<int> corner(0, positions - 1);
        for (int f = 0; f < 2 + trial % 7; ++f) {
            mesh.faces.push_back({static_cast<uint16_t>(corner(rng)), static_cast<uint16_t>(corner(rng)),
                                  static_cast<uint16_t>(corner(rng)), f % 2, -1});
        }
        kvf::Skin skin = TwoBoneSkin(0);
        for (int j = 0; j < positions; ++j) {
            kvf::SkinVertex v = Influence(j % 2, static_cast<float>(j));
            if (j % 4 == 3) {
                v.count = 0; // no influence: leaves the position unclaimed
                v.influences.clear();
            }
            skin.vertices.push_back(v);
        }
        BoxCapture quiet;
        CScene scene;
        ReadMeshResult r = ReadSkinnedMesh(&scene, mesh, skin, kvf::kSkinCountFirst);
        ASSERT_EQ(0, r.result);
        ExpectLiteralMatch(mesh, skin, *r.mesh, *SkinOf(r));
    }
}

TEST(SkinBones, NamesAndBindingCheckTheIndex)
{
    CScene scene;
    kvf::Skin skin = TwoBoneSkin(4);
    skin.bones.push_back({"Bone03", {}});
    ReadMeshResult r = ReadSkinnedMesh(&scene, FoldedMesh("Bones"), skin, kvf::kSkinCountFirst);
    ASSERT_EQ(0, r.result);
    CModifierSkin* s = SkinOf(r);
    BoxCapture boxes;
    EXPECT_STREQ("Bone02", s->getBoneName(1));
    D3DMATRIX world = {};
    s->setBoneMatrix(&world, 1);
    EXPECT_EQ(&world, s->m_bones[1].m_world);
    EXPECT_TRUE(boxes.boxes.empty());

    s->setBoneMatrix(&world, 3);
    EXPECT_EQ(nullptr, s->getBoneName(3));
    ASSERT_EQ(2u, boxes.boxes.size());
    EXPECT_EQ("CModifierSkin warning:", boxes.boxes[0].text);
    EXPECT_EQ("setBoneMatrix: not so much bone", boxes.boxes[0].title);
    EXPECT_EQ(MB_OK | MB_ICONWARNING, boxes.boxes[0].type);
    EXPECT_EQ("getBoneMatrix: not so much bone", boxes.boxes[1].title);
    EXPECT_EQ(nullptr, s->m_bones[2].m_world);

    boxes.boxes.clear();
    CModifierSkin empty;
    empty.setBoneMatrix(&world, 0);
    EXPECT_EQ(nullptr, empty.getBoneName(0));
    ASSERT_EQ(2u, boxes.boxes.size());
    EXPECT_EQ("setBoneMatrix: no bone", boxes.boxes[0].title);
    EXPECT_EQ("getBoneName: no bone", boxes.boxes[1].title);
}

} // namespace
