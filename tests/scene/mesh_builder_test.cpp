// The fast mesh-building steps against literal versions of the passes they
// replace (every face against every face, every corner against every built
// vertex, grouping by repeated swaps), on many random meshes with duplicate
// corners, -0.0, NaN, many material ids and -1 ids.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "scene/mesh_builder.h"
#include "scene/mesh_hash_table.h"

namespace {

// ---- Literal reference passes ----------------------------------------------

void LiteralCornerNormals(const std::vector<MeshFace>& faces, std::vector<D3DVECTOR>* out)
{
    const int count = static_cast<int>(faces.size());
    out->assign(faces.size() * 3, D3DVECTOR{});
    for (int f = 0; f < count; ++f) {
        for (int k = 0; k < 3; ++k) {
            const uint16_t v = faces[f].corners[k];
            D3DVECTOR sum = {0.0f, 0.0f, 0.0f};
            int summed = 0;
            for (int g = 0; g < count; ++g) {
                const MeshFace& other = faces[g];
                if (other.smoothingGroup == faces[f].smoothingGroup && other.materialId == faces[f].materialId &&
                    (other.corners[0] == v || other.corners[1] == v || other.corners[2] == v)) {
                    sum.x += other.normal.x;
                    sum.y += other.normal.y;
                    sum.z += other.normal.z;
                    ++summed;
                }
            }
            (*out)[f * 3 + k] = AverageToUnitNormal(sum, summed);
        }
    }
}

void LiteralWeld(const std::vector<MeshVertex>& candidates, std::vector<MeshVertex>* vertices,
                 std::vector<uint16_t>* indices)
{
    vertices->clear();
    indices->assign(candidates.size(), 0);
    for (size_t f = 0; f < candidates.size() / 3; ++f) {
        int found[3] = {-1, -1, -1};
        for (int k = 0; k < 3; ++k) {
            for (size_t v = 0; v < vertices->size(); ++v) {
                if (VerticesEqual((*vertices)[v], candidates[f * 3 + k])) {
                    found[k] = static_cast<int>(v);
                }
            }
        }
        for (int k = 0; k < 3; ++k) {
            if (found[k] < 0) {
                found[k] = static_cast<int>(vertices->size());
                vertices->push_back(candidates[f * 3 + k]);
            }
            (*indices)[f * 3 + k] = static_cast<uint16_t>(found[k]);
        }
    }
}

std::vector<int32_t> LiteralGroupOrder(const std::vector<int32_t>& ids)
{
    const int count = static_cast<int>(ids.size());
    std::vector<int32_t> order(ids.size());
    std::vector<int32_t> id = ids;
    for (int i = 0; i < count; ++i) {
        order[i] = i;
    }
    for (int k = 0; k <= count - 3; ++k) {
        if (id[k + 1] != id[k]) {
            for (int l = k + 2; l < count; ++l) {
                if (id[l] == id[k]) {
                    std::swap(id[k + 1], id[l]);
                    std::swap(order[k + 1], order[l]);
                }
            }
        }
    }
    return order;
}

// ---- Random meshes ---------------------------------------------------------

float Pick(std::mt19937& rng, const std::vector<float>& pool)
{
    return pool[std::uniform_int_distribution<size_t>(0, pool.size() - 1)(rng)];
}

const std::vector<float> kCoordinates = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 2.0f, 3.25f,
                                         std::numeric_limits<float>::quiet_NaN()};

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameBits(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z);
}

bool SameBits(const MeshVertex& a, const MeshVertex& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct RandomMesh {
    std::vector<D3DVECTOR> positions;
    std::vector<MeshFace> faces;
};

RandomMesh MakeRandomMesh(std::mt19937& rng, int faceCount, int positionCount, int materialCount, int groupCount)
{
    RandomMesh mesh;
    for (int i = 0; i < positionCount; ++i) {
        mesh.positions.push_back(D3DVECTOR{Pick(rng, kCoordinates), Pick(rng, kCoordinates), Pick(rng, kCoordinates)});
    }
    std::uniform_int_distribution<int> corner(0, positionCount - 1);
    std::uniform_int_distribution<int> material(-1, materialCount - 1);
    std::uniform_int_distribution<int> group(0, groupCount - 1);
    for (int f = 0; f < faceCount; ++f) {
        MeshFace face{};
        for (int k = 0; k < 3; ++k) {
            face.corners[k] = static_cast<uint16_t>(corner(rng));
        }
        face.smoothingGroup = group(rng);
        face.materialId = material(rng);
        mesh.faces.push_back(face);
    }
    return mesh;
}

// ---- Differential tests ----------------------------------------------------

TEST(MeshBuilderDifferential, CornerNormalsMatchTheAllFacesPassBitForBit)
{
    std::mt19937 rng(1234);
    for (int trial = 0; trial < 300; ++trial) {
        const int faces = 1 + trial % 60;
        RandomMesh mesh = MakeRandomMesh(rng, faces, 2 + trial % 9, 1 + trial % 4, 1 + trial % 3);
        ComputeFaceNormals(mesh.positions.data(), mesh.faces.data(), faces);
        std::vector<D3DVECTOR> fast(faces * 3);
        ComputeCornerNormals(mesh.faces.data(), faces, fast.data());
        std::vector<D3DVECTOR> literal;
        LiteralCornerNormals(mesh.faces, &literal);
        for (int i = 0; i < faces * 3; ++i) {
            ASSERT_TRUE(SameBits(fast[i], literal[i])) << "trial " << trial << " corner " << i;
            ASSERT_FALSE(std::isnan(fast[i].x) || std::isnan(fast[i].y) || std::isnan(fast[i].z));
        }
    }
}

TEST(MeshBuilderDifferential, WeldingMatchesTheAllVerticesPassBitForBit)
{
    std::mt19937 rng(99);
    const std::vector<float> uvs = {0.0f, -0.0f, 0.25f, 0.75f, 1.0f, std::numeric_limits<float>::quiet_NaN()};
    const std::vector<uint32_t> colours = {0x00FFFFFF, 0x00FF7F00, 0};
    for (int trial = 0; trial < 300; ++trial) {
        const int faces = 1 + trial % 50;
        std::vector<MeshVertex> candidates;
        for (int i = 0; i < faces * 3; ++i) {
            MeshVertex v{};
            // Mostly rare NaN so that most corners can weld.
            v.x = Pick(rng, kCoordinates);
            v.y = (trial % 3 == 0) ? 1.0f : Pick(rng, {0.0f, -0.0f, 1.0f});
            v.z = Pick(rng, {0.0f, 2.0f});
            v.nx = Pick(rng, {0.0f, -0.0f});
            v.ny = 1.0f;
            v.nz = 0.0f;
            v.colour = colours[std::uniform_int_distribution<size_t>(0, colours.size() - 1)(rng)];
            v.u = Pick(rng, uvs);
            v.v = Pick(rng, {0.0f, 1.0f});
            candidates.push_back(v);
        }
        std::vector<MeshVertex> fastVertices, literalVertices;
        std::vector<uint16_t> fastIndices, literalIndices;
        ASSERT_EQ(0, WeldVertices(candidates.data(), faces, kMaxMeshVertices, &fastVertices, &fastIndices));
        LiteralWeld(candidates, &literalVertices, &literalIndices);
        ASSERT_EQ(literalVertices.size(), fastVertices.size()) << "trial " << trial;
        for (size_t i = 0; i < fastVertices.size(); ++i) {
            ASSERT_TRUE(SameBits(fastVertices[i], literalVertices[i])) << "trial " << trial << " vertex " << i;
        }
        ASSERT_EQ(literalIndices, fastIndices) << "trial " << trial;
    }
}

TEST(MeshBuilderDifferential, GroupOrderMatchesTheSwapProcedure)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 2000; ++trial) {
        // Mostly short runs, and every 50th one long enough for long chains
        // of moved faces.
        const int faces = trial % 50 == 49 ? 400 + trial % 7 : trial % 40;
        // From two ids to nearly one id per face, -1 included.
        const int materials = 1 + (trial / 40) % 30;
        std::uniform_int_distribution<int> id(-1, materials - 1);
        std::vector<int32_t> ids;
        for (int i = 0; i < faces; ++i) {
            ids.push_back(trial % 5 == 0 ? id(rng) * 1000003 : id(rng));
        }
        std::vector<int32_t> fast(ids.size());
        MaterialGroupOrder(ids.data(), faces, fast.data());
        ASSERT_EQ(LiteralGroupOrder(ids), fast) << "trial " << trial;
    }
}

// ---- Worked cases ----------------------------------------------------------

TEST(MeshBuilderGrouping, WorkedOrders)
{
    struct Case {
        std::vector<int32_t> ids;
        std::vector<int32_t> order;
    };
    const Case cases[] = {
        {{5, 7, 5, 5}, {0, 3, 2, 1}},       // A B A A
        {{5, 5, 7, 5}, {0, 1, 3, 2}},       // adjacent faces need no swap
        {{1, 2, 3, 1}, {0, 3, 2, 1}},       // groups are not in first-appearance order
        {{4, 4, 4}, {0, 1, 2}},             // one id keeps the file order
        {{-1, 0, -1, 0, -1}, {0, 4, 2, 3, 1}},
        {{}, {}},
        {{9}, {0}},
        {{1, 2}, {0, 1}},
    };
    for (const Case& c : cases) {
        std::vector<int32_t> order(c.ids.size());
        MaterialGroupOrder(c.ids.data(), static_cast<int>(c.ids.size()), order.data());
        EXPECT_EQ(c.order, order);
        EXPECT_EQ(LiteralGroupOrder(c.ids), order);
    }
}

TEST(MeshBuilderGrouping, EveryGroupEndsContiguous)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> id(0, 40);
    std::vector<int32_t> ids(5000);
    for (int32_t& i : ids) {
        i = id(rng);
    }
    std::vector<int32_t> order(ids.size());
    MaterialGroupOrder(ids.data(), static_cast<int>(ids.size()), order.data());
    std::vector<bool> closed(41, false);
    for (size_t i = 0; i < order.size(); ++i) {
        const int32_t m = ids[order[i]];
        if (i > 0 && ids[order[i - 1]] != m) {
            closed[ids[order[i - 1]]] = true;
        }
        ASSERT_FALSE(closed[m]) << "id " << m << " reappears at " << i;
    }
}

// ---- Edge behaviour --------------------------------------------------------

TEST(MeshBuilderNormals, DegenerateFacesGiveADefinedUnitNormal)
{
    const D3DVECTOR positions[] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    MeshFace face{};
    face.corners[0] = 0;
    face.corners[1] = 1;
    face.corners[2] = 2; // collinear: no area
    ComputeFaceNormals(positions, &face, 1);
    EXPECT_EQ(0.0f, face.normal.x);
    EXPECT_EQ(0.0f, face.normal.y);
    EXPECT_EQ(0.0f, face.normal.z);
    D3DVECTOR corners[3];
    ComputeCornerNormals(&face, 1, corners);
    for (const D3DVECTOR& n : corners) {
        EXPECT_TRUE(SameBits(kDefaultNormal, n));
    }
}

TEST(MeshBuilderNormals, OpposedFacesSumToZeroAndFallBack)
{
    // Two faces on the same corners with opposite winding: the sum vanishes.
    const D3DVECTOR positions[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    MeshFace faces[2] = {};
    faces[0].corners[0] = 0, faces[0].corners[1] = 1, faces[0].corners[2] = 2;
    faces[1].corners[0] = 0, faces[1].corners[1] = 2, faces[1].corners[2] = 1;
    ComputeFaceNormals(positions, faces, 2);
    EXPECT_FLOAT_EQ(1.0f, std::fabs(faces[0].normal.z));
    D3DVECTOR corners[6];
    ComputeCornerNormals(faces, 2, corners);
    for (const D3DVECTOR& n : corners) {
        EXPECT_TRUE(SameBits(kDefaultNormal, n));
    }
}

TEST(MeshBuilderWeld, RefusesMoreVerticesThanTheLimit)
{
    std::vector<MeshVertex> candidates(6);
    for (int i = 0; i < 6; ++i) {
        candidates[i].x = static_cast<float>(i);
    }
    std::vector<MeshVertex> vertices;
    std::vector<uint16_t> indices;
    EXPECT_EQ(0, WeldVertices(candidates.data(), 2, 6, &vertices, &indices));
    EXPECT_EQ(1, WeldVertices(candidates.data(), 2, 5, &vertices, &indices));
}

// A table filled to its last slot (every entry on one hash) still answers:
// stored entries are found, and a new one gets a spare slot instead of an
// endless search.
TEST(MeshSlotTable, AFullTableEndsItsSearch)
{
    MeshSlotTable table(0); // sixteen slots
    for (int32_t e = 0; e < 16; ++e) {
        int32_t& slot = table.Find(7, [](int32_t) { return false; });
        ASSERT_EQ(slot, -1) << e;
        slot = e;
    }
    for (int32_t e = 0; e < 16; ++e) {
        EXPECT_EQ(table.Find(7, [&](int32_t x) { return x == e; }), e);
    }
    int32_t& spare = table.Find(7, [](int32_t) { return false; });
    EXPECT_EQ(spare, -1);
    spare = 99;
    EXPECT_EQ(table.Find(7, [](int32_t x) { return x == 99; }), -1);
}

TEST(MeshBuilderBox, StartsAtAMillionAndMovesOnlyWhenStrictlyBeyond)
{
    MeshVertex v[2] = {};
    v[0].x = 2000000.0f, v[0].y = -3.0f, v[0].z = 1.0f;
    v[1].x = 3000000.0f, v[1].y = 5.0f, v[1].z = std::numeric_limits<float>::quiet_NaN();
    D3DVECTOR lo, hi;
    ComputeBoundingBox(v, 2, &lo, &hi);
    EXPECT_EQ(1000000.0f, lo.x);
    EXPECT_EQ(3000000.0f, hi.x);
    EXPECT_EQ(-3.0f, lo.y);
    EXPECT_EQ(5.0f, hi.y);
    EXPECT_EQ(1.0f, lo.z);
    EXPECT_EQ(1.0f, hi.z);
    ComputeBoundingBox(v, 0, &lo, &hi);
    EXPECT_EQ(1000000.0f, lo.z);
    EXPECT_EQ(-1000000.0f, hi.z);
}

} // namespace
