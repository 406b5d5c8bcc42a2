// Mesh records read by CScene::ReadMesh, written with the KVF writer.
#include <gtest/gtest.h>

#include <cmath>

#include "math/d3dx_math.h"
#include "tests/scene/mesh_test_helpers.h"

namespace {

D3DVECTOR Engine(const kvf::Vec3& v)
{
    return D3DVECTOR{-v.x, v.z, -v.y};
}

void ExpectPosition(const D3DVECTOR& expected, const MeshVertex& v)
{
    EXPECT_EQ(expected.x, v.x);
    EXPECT_EQ(expected.y, v.y);
    EXPECT_EQ(expected.z, v.z);
}

// Two faces sharing the edge 1-2, folded along it (not coplanar).
kvf::Mesh FoldedPair(int32_t group0, int32_t group1, int32_t material0, int32_t material1)
{
    return TriangleMesh("Fold", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}},
                        {{0, 1, 2, group0, material0}, {1, 3, 2, group1, material1}});
}

TEST(MeshRead, FacesAreReversedIntoEngineWinding)
{
    CScene scene;
    const kvf::Mesh mesh = TriangleMesh("Tri", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 1, 2, 0, -1}});
    ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
    ASSERT_EQ(0, r.result);
    EXPECT_STREQ("Tri", r.mesh->name);
    ASSERT_EQ(3, r.mesh->vertexCount);
    ExpectPosition(Engine(mesh.positions[2]), r.mesh->baseVertices[0]);
    ExpectPosition(Engine(mesh.positions[1]), r.mesh->baseVertices[1]);
    ExpectPosition(Engine(mesh.positions[0]), r.mesh->baseVertices[2]);
    EXPECT_EQ((std::vector<uint16_t>{0, 1, 2}), r.mesh->indices);
    EXPECT_EQ(2, r.mesh->fileFaces[0].corners[0]);
    EXPECT_EQ(0, r.mesh->fileFaces[0].corners[2]);
    EXPECT_EQ(1, r.mesh->faceCount);
    EXPECT_EQ(D3DPT_TRIANGLELIST, static_cast<D3DPRIMITIVETYPE>(r.mesh->primitiveType));
    // The whole record, modifier block included, was consumed.
    EXPECT_EQ(0, r.file->Remaining());
}

TEST(MeshRead, FlagsTransformAndPivotAreKept)
{
    CScene scene;
    kvf::Mesh mesh = TriangleMesh("Flags", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
    mesh.flag1 = 7;
    mesh.lighting = 0;
    mesh.flag3 = 9;
    mesh.pivot = {1, 2, 3};
    mesh.transform.m[9] = 4; // translation x
    ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
    ASSERT_EQ(0, r.result);
    EXPECT_EQ(7, r.mesh->flag1);
    EXPECT_EQ(0, r.mesh->lightingFlag);
    EXPECT_EQ(9, r.mesh->flag3);
    EXPECT_EQ(-1.0f, r.mesh->pivot.x);
    EXPECT_EQ(3.0f, r.mesh->pivot.y);
    EXPECT_EQ(-2.0f, r.mesh->pivot.z);
    EXPECT_EQ(-4.0f, r.mesh->transform._41);
}

TEST(MeshRead, TextureAndColourTablesFillTheCorners)
{
    CScene scene;
    kvf::Mesh mesh = TriangleMesh("Tex", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
    mesh.uvs = {{0.25f, 0.25f}, {1.0f, 0.0f}};
    mesh.uvFaces = {{1, 0, 0}}; // file corner a takes uv 1
    mesh.colours = {{1.0f, 0.5f, 0.0f}, {0.0f, 0.0f, 1.0f}};
    mesh.colourFaces = {{0, 0, 1}}; // file corner c takes colour 1
    ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
    ASSERT_EQ(0, r.result);
    ASSERT_EQ(3, r.mesh->vertexCount);
    // Engine corner 0 is file corner c, corner 2 is file corner a.
    EXPECT_EQ(0x000000FFu, r.mesh->baseVertices[0].colour);
    EXPECT_EQ(0x00FF7F00u, r.mesh->baseVertices[1].colour);
    EXPECT_EQ(0.25f, r.mesh->baseVertices[0].u);
    EXPECT_EQ(0.75f, r.mesh->baseVertices[0].v);
    EXPECT_EQ(1.0f, r.mesh->baseVertices[2].u);
    EXPECT_EQ(1.0f, r.mesh->baseVertices[2].v);

    const kvf::Mesh plain = TriangleMesh("Plain", mesh.positions, mesh.faces);
    ReadMeshResult p = ReadMeshBytes(&scene, kvf::MeshBytes(plain));
    ASSERT_EQ(0, p.result);
    for (const MeshVertex& v : p.mesh->baseVertices) {
        EXPECT_EQ(0x00FFFFFFu, v.colour);
        EXPECT_EQ(0.0f, v.u);
        EXPECT_EQ(0.0f, v.v);
    }
}

TEST(MeshRead, SmoothEdgesWeldAndHardEdgesSplit)
{
    CScene scene;
    struct Case {
        const char* what;
        kvf::Mesh mesh;
        int vertices;
    };
    const Case cases[] = {
        {"same group and material share the edge", FoldedPair(1, 1, 0, 0), 4},
        {"groups 1 and 3 share a bit but differ", FoldedPair(1, 3, 0, 0), 6},
        {"same group, different materials", FoldedPair(1, 1, 0, 1), 6},
    };
    for (const Case& c : cases) {
        ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(c.mesh));
        ASSERT_EQ(0, r.result) << c.what;
        EXPECT_EQ(c.vertices, r.mesh->vertexCount) << c.what;
    }
    // A flat pair welds even across groups: the corners end up equal.
    const kvf::Mesh flat = TriangleMesh("Flat", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}},
                                        {{0, 1, 2, 1, 0}, {1, 3, 2, 2, 0}});
    ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(flat));
    ASSERT_EQ(0, r.result);
    EXPECT_EQ(4, r.mesh->vertexCount);
}

TEST(MeshRead, NormalsAreComputedUnlessTheFlagIsExactlyOne)
{
    CScene scene;
    // In the file's z = 0 plane, wound so that the engine normal is +y.
    kvf::Mesh mesh = TriangleMesh("N", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
    for (uint8_t flag : {0, 2}) {
        mesh.normalsFlag = flag;
        ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
        ASSERT_EQ(0, r.result);
        for (const MeshVertex& v : r.mesh->baseVertices) {
            EXPECT_EQ(0.0f, v.nx);
            EXPECT_EQ(1.0f, v.ny);
            EXPECT_EQ(0.0f, v.nz);
        }
        EXPECT_EQ(1.0f, r.mesh->fileFaces[0].normal.y);
    }

    mesh.normalsFlag = 1;
    mesh.normals = {{{2, 0, 0}, {0, 0, 0.5f}, {0, 3, 0}}};
    ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
    ASSERT_EQ(0, r.result);
    // The first normal read belongs to engine corner 2; taken as they are.
    EXPECT_EQ(0.0f, r.mesh->baseVertices[0].nx);
    EXPECT_EQ(0.0f, r.mesh->baseVertices[0].ny);
    EXPECT_EQ(-3.0f, r.mesh->baseVertices[0].nz);
    EXPECT_EQ(0.5f, r.mesh->baseVertices[1].ny);
    EXPECT_EQ(-2.0f, r.mesh->baseVertices[2].nx);
    EXPECT_EQ(0.0f, r.mesh->fileFaces[0].normal.y);
}

TEST(MeshRead, DegenerateFacesGetAUnitNormal)
{
    CScene scene;
    const kvf::Mesh mesh = TriangleMesh("Sliver", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{0, 1, 2, 0, -1}, {0, 0, 0, 0, -1}});
    ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
    ASSERT_EQ(0, r.result);
    for (const MeshVertex& v : r.mesh->baseVertices) {
        EXPECT_FLOAT_EQ(1.0f, std::sqrt(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz));
    }
    // The point face welds to the sliver's corner at the same place.
    EXPECT_EQ((std::vector<uint16_t>{0, 1, 2, 2, 2, 2}), r.mesh->indices);

    // Alone, the equal corners of one face are all new and all appended.
    const kvf::Mesh point = TriangleMesh("Point", {{0, 0, 0}}, {{0, 0, 0, 0, -1}});
    ReadMeshResult p = ReadMeshBytes(&scene, kvf::MeshBytes(point));
    ASSERT_EQ(0, p.result);
    EXPECT_EQ(3, p.mesh->vertexCount);
    EXPECT_EQ((std::vector<uint16_t>{0, 1, 2}), p.mesh->indices);
}

TEST(MeshRead, FacesAreGroupedByMaterial)
{
    CScene scene;
    GiveMaterials(&scene, 2);
    kvf::Mesh mesh;
    mesh.name = "Groups";
    const int32_t ids[] = {0, 1, 0, 0};
    for (int f = 0; f < 4; ++f) {
        const float x = static_cast<float>(f * 10);
        mesh.positions.push_back({x, 0, 0});
        mesh.positions.push_back({x + 1, 0, 0});
        mesh.positions.push_back({x, 1, 0});
        mesh.faces.push_back({static_cast<uint16_t>(f * 3), static_cast<uint16_t>(f * 3 + 1),
                              static_cast<uint16_t>(f * 3 + 2), 0, ids[f]});
    }
    ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
    ASSERT_EQ(0, r.result);
    // Faces weld to vertices 3f .. 3f + 2; the order is 0, 3, 2, 1.
    const int order[] = {0, 3, 2, 1};
    std::vector<uint16_t> expected;
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 3; ++k) {
            expected.push_back(static_cast<uint16_t>(order[i] * 3 + k));
        }
        EXPECT_EQ(ids[order[i]], r.mesh->faces[i].materialId);
        EXPECT_EQ(&scene.materials[ids[order[i]]], r.mesh->faces[i].material);
        EXPECT_EQ(0, r.mesh->faces[i].smoothingGroup);
    }
    EXPECT_EQ(expected, r.mesh->indices);
}

TEST(MeshRead, MaterialIdsResolveAgainstTheScene)
{
    CScene scene;
    GiveMaterials(&scene, 2);
    BoxCapture boxes;
    const kvf::Mesh mesh = TriangleMesh("Ids", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                        {{0, 1, 2, 0, -1}, {0, 1, 2, 1, 0}, {0, 1, 2, 2, 1}, {0, 1, 2, 3, 2}});
    ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
    ASSERT_EQ(0, r.result);
    EXPECT_EQ(nullptr, r.mesh->faces[0].material);
    EXPECT_EQ(&scene.materials[0], r.mesh->faces[1].material);
    EXPECT_EQ(&scene.materials[1], r.mesh->faces[2].material);
    EXPECT_EQ(&scene.materials[0], r.mesh->faces[3].material); // id 2 of 2 materials
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("ID Materiaux non valide", boxes.boxes[0].text);
    EXPECT_EQ("Erreur", boxes.boxes[0].title);

    // Without materials there is no material 0 to fall back on.
    CScene bare;
    ReadMeshResult b = ReadMeshBytes(&bare, kvf::MeshBytes(mesh));
    ASSERT_EQ(0, b.result);
    EXPECT_EQ(nullptr, b.mesh->faces[3].material);
}

TEST(MeshRead, FaceMapFlagOneEndsTheRecordAfterTheFaceMap)
{
    CScene scene;
    BoxCapture boxes;
    kvf::Mesh mesh = TriangleMesh("Mapped", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
    mesh.faceMapFlag = 1;
    kvf::ByteWriter out;
    kvf::WriteMesh(out, mesh);
    const size_t recordSize = out.Size();
    out.Int32(666); // what follows in the object stream
    ReadMeshResult r = ReadMeshBytes(&scene, out.Data());
    ASSERT_EQ(0, r.result);
    EXPECT_EQ(static_cast<int>(recordSize), r.file->Tell(r.file.get()));
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("Mapped", boxes.boxes[0].text);
    EXPECT_EQ("FaceMap : dont use that plz", boxes.boxes[0].title);
    EXPECT_EQ(3, r.mesh->positionCount);
    EXPECT_EQ(0, r.mesh->vertexCount);
    EXPECT_EQ(0, r.mesh->faceCount);
    EXPECT_TRUE(r.mesh->modifiers.Empty());
}

TEST(MeshRead, OtherFaceMapFlagsSkipTheMapAndTheTextureBlock)
{
    CScene scene;
    kvf::Mesh mesh = TriangleMesh("Mapped2", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
    mesh.faceMapFlag = 2;
    mesh.faceMap.assign(24, 0xAB);
    mesh.uvs = {{0.5f, 0.5f}}; // not written: no texture block after a face map
    mesh.colours = {{0.0f, 1.0f, 0.0f}};
    mesh.colourFaces = {{0, 0, 0}};
    kvf::Modifier twist;
    twist.type = kvf::kTwist;
    mesh.modifiers.entries.push_back(twist);
    ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
    ASSERT_EQ(0, r.result);
    EXPECT_EQ(0, r.file->Remaining());
    EXPECT_EQ(0x0000FF00u, r.mesh->baseVertices[0].colour);
    EXPECT_EQ(0.0f, r.mesh->baseVertices[0].u);
    EXPECT_EQ(1, r.mesh->modifiers.Count());
}

TEST(MeshRead, BoundingBoxSpansTheVertices)
{
    CScene scene;
    const kvf::Mesh mesh = TriangleMesh("Box", {{-1, 2, 3}, {4, -5, 6}, {7, 8, -9}}, {{0, 1, 2, 0, -1}});
    ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
    ASSERT_EQ(0, r.result);
    EXPECT_EQ(-7.0f, r.mesh->boxMin.x);
    EXPECT_EQ(1.0f, r.mesh->boxMax.x);
    EXPECT_EQ(-9.0f, r.mesh->boxMin.y);
    EXPECT_EQ(6.0f, r.mesh->boxMax.y);
    EXPECT_EQ(-8.0f, r.mesh->boxMin.z);
    EXPECT_EQ(5.0f, r.mesh->boxMax.z);
}

TEST(MeshRead, ARecordCutAfterItsFacesReadsZerosForTheRest)
{
    CScene scene;
    const kvf::Mesh mesh = TriangleMesh("Cut", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
    std::vector<uint8_t> bytes = kvf::MeshBytes(mesh);
    bytes.resize(bytes.size() - 1 - 1 - 4 - 4 - 4); // flags, counts and block
    ReadMeshResult r = ReadMeshBytes(&scene, bytes);
    ASSERT_EQ(0, r.result);
    EXPECT_EQ(3, r.mesh->vertexCount);
    EXPECT_EQ(1.0f, r.mesh->baseVertices[0].ny);
    EXPECT_TRUE(r.mesh->modifiers.Empty());
}

TEST(MeshRead, CorruptedRecordsAreRefused)
{
    struct Case {
        const char* reason;
        void (*corrupt)(kvf::Mesh*);
    };
    const Case cases[] = {
        {"bad position count", [](kvf::Mesh* m) { m->positionCount = -1; }},
        {"bad position count", [](kvf::Mesh* m) { m->positionCount = 100000; }},
        {"bad face count", [](kvf::Mesh* m) { m->faceCount = -3; }},
        {"bad face count", [](kvf::Mesh* m) { m->faceCount = 5000; }},
        {"face corner out of range", [](kvf::Mesh* m) { m->faces[0].b = 3; }},
        {"truncated normals", [](kvf::Mesh* m) { m->normalsFlag = 1; }},
        {"bad texture vertex count", [](kvf::Mesh* m) { m->uvCount = -1; }},
        {"bad texture vertex count",
         [](kvf::Mesh* m) {
             m->uvs = {{0, 0}};
             m->uvCount = 1000;
             m->uvFaces = {{0, 0, 0}};
         }},
        {"texture index out of range",
         [](kvf::Mesh* m) {
             m->uvs = {{0, 0}};
             m->uvFaces = {{0, 1, 0}};
         }},
        {"bad colour vertex count", [](kvf::Mesh* m) { m->colourCount = -2; }},
        {"colour index out of range",
         [](kvf::Mesh* m) {
             m->colours = {{1, 1, 1}, {0, 0, 0}};
             m->colourFaces = {{0, 0, 2}};
         }},
    };
    for (const Case& c : cases) {
        CScene scene;
        BoxCapture boxes;
        kvf::Mesh mesh = TriangleMesh("Bad", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
        c.corrupt(&mesh);
        ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
        EXPECT_EQ(1, r.result) << c.reason;
        ASSERT_EQ(1u, boxes.boxes.size()) << c.reason;
        EXPECT_EQ(std::string("LibKVF : Corrupted mesh record : Bad (") + c.reason + ")", boxes.boxes[0].text);
        EXPECT_EQ("Zolt Engine Error", boxes.boxes[0].title);
    }
}

TEST(MeshRead, ATruncatedFaceMapIsRefused)
{
    CScene scene;
    BoxCapture boxes;
    kvf::Mesh mesh = TriangleMesh("Short", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
    mesh.faceMapFlag = 2;
    std::vector<uint8_t> bytes = kvf::MeshBytes(mesh);
    bytes.resize(bytes.size() - 20);
    ReadMeshResult r = ReadMeshBytes(&scene, bytes);
    EXPECT_EQ(1, r.result);
    EXPECT_EQ((std::vector<std::string>{"LibKVF : Corrupted mesh record : Short (truncated face map)"}), boxes.Texts());
}

// Every corner gets its own texture vertex, so corners never weld.
kvf::Mesh DistinctCorners(int faceCount)
{
    kvf::Mesh mesh = TriangleMesh("Big", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {});
    const int corners = faceCount * 3;
    mesh.uvs.resize(corners);
    for (int i = 0; i < corners; ++i) {
        mesh.uvs[i] = {static_cast<float>(i), 0.0f};
    }
    for (int f = 0; f < faceCount; ++f) {
        mesh.faces.push_back({0, 1, 2, 0, -1});
        mesh.uvFaces.push_back({static_cast<uint16_t>(f * 3), static_cast<uint16_t>(f * 3 + 1),
                                static_cast<uint16_t>(f * 3 + 2)});
    }
    return mesh;
}

TEST(MeshRead, VertexCountMustFitSixteenBitIndices)
{
    CScene scene;
    ReadMeshResult fits = ReadMeshBytes(&scene, kvf::MeshBytes(DistinctCorners(21845)));
    ASSERT_EQ(0, fits.result);
    EXPECT_EQ(65535, fits.mesh->vertexCount);
    EXPECT_EQ(65534, fits.mesh->indices.back());

    BoxCapture boxes;
    kvf::Mesh tooMany = DistinctCorners(21845);
    tooMany.uvs.push_back({-1.0f, 0.0f});
    tooMany.faces.push_back({0, 1, 2, 0, -1});
    tooMany.uvFaces.push_back({65535, 65535, 65535});
    ReadMeshResult refused = ReadMeshBytes(&scene, kvf::MeshBytes(tooMany));
    EXPECT_EQ(1, refused.result);
    EXPECT_EQ((std::vector<std::string>{"LibKVF : Corrupted mesh record : Big (more than 65535 vertices)"}),
              boxes.Texts());
}

TEST(MeshTransform, MovesPositionsAndKeepsNormals)
{
    CScene scene;
    const kvf::Mesh mesh = TriangleMesh("Move", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0, -1}});
    ReadMeshResult r = ReadMeshBytes(&scene, kvf::MeshBytes(mesh));
    ASSERT_EQ(0, r.result);
    const std::vector<MeshVertex> before = r.mesh->baseVertices;
    D3DXMATRIX move;
    D3DXMatrixTranslation(&move, 1.0f, -2.0f, 3.0f);
    r.mesh->TransformVertices(move);
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i].x + 1.0f, r.mesh->baseVertices[i].x);
        EXPECT_EQ(before[i].y - 2.0f, r.mesh->baseVertices[i].y);
        EXPECT_EQ(before[i].z + 3.0f, r.mesh->baseVertices[i].z);
        EXPECT_EQ(before[i].ny, r.mesh->baseVertices[i].ny);
    }
    // The positions of the record stay as read.
    EXPECT_EQ(0.0f, r.mesh->positions[0].x);
}

} // namespace
