// The modifier chain of a mesh: each modifier sees the positions the one
// before it made, the rest of every vertex comes from the base vertices, the
// single-vertex chain of the transparent pass gives the same bits, the box
// follows the deformed positions, and a buffer is rewritten only when some
// modifier changed.
#include <cstring>

#include "modifiers/modifier_gizmo.h"
#include "platform/d3d8/d3d8.h"
#include "scene/chains_together.h"
#include "tests/modifiers/deform_helpers.h"

namespace {

// Positions on a grid with distinct normals, colours and texture
// coordinates.
void GiveGrid(CMesh* mesh)
{
    for (int i = 0; i < 12; ++i) {
        const float f = static_cast<float>(i);
        mesh->baseVertices.push_back(MeshVertex{0.25f * static_cast<float>(i % 4) - 0.5f, 0.2f * f,
                                                0.1f * static_cast<float>(i % 3), f, -f, 1.0f,
                                                0xFF000000u + static_cast<uint32_t>(i), f / 12.0f, 1.0f - f / 12.0f});
    }
    mesh->vertexCount = 12;
}

void Drive(CMesh* mesh, float t, const D3DVECTOR& lo, const D3DVECTOR& hi)
{
    for (CModifier* m : mesh->modifiers) {
        Ready(m, lo, hi);
        m->setTime(&t);
        m->update();
    }
}

TEST(ModifierChain, EachModifierSeesThePreviousPositions)
{
    // Stretch 1 along y (box 0 to 2), then a 90-degree twist over the same
    // box: (1, 1, 0) is stretched to (0.5, 2, 0), then twisted at the top.
    auto mesh = ReadModifierEntries({GizmoEntry(kvf::kStretch, 2, {kvf::ConstantParameter(1), kvf::ConstantParameter(0)}),
                                     GizmoEntry(kvf::kTwist, 2, {kvf::ConstantParameter(90), kvf::ConstantParameter(0)})});
    mesh->baseVertices = {MeshVertex{1, 1, 0, 0, 0, 1, 0xFF112233u, 0.5f, 0.75f}};
    mesh->vertexCount = 1;
    Drive(mesh.get(), 0.0f, D3DVECTOR{-1, 0, -1}, D3DVECTOR{1, 2, 1});
    mesh->DeformVertices();
    const MeshVertex& v = mesh->deformedVertices[0];
    EXPECT_POINT_NEAR(0.0f, 2.0f, -0.5f, (D3DVECTOR{v.x, v.y, v.z}));
    EXPECT_EQ(1.0f, v.nz);
    EXPECT_EQ(0xFF112233u, v.colour);
    EXPECT_EQ(0.75f, v.v);

    // Three modifiers: the chain equals the point deformations in turn,
    // and the single-vertex chain equals the whole one, bit for bit.
    mesh = ReadModifierEntries({GizmoEntry(kvf::kBend, 2, {kvf::ConstantParameter(60), kvf::ConstantParameter(30)}),
                                GizmoEntry(kvf::kTwist, 0, {kvf::ConstantParameter(45), kvf::ConstantParameter(20)}),
                                GizmoEntry(kvf::kRipple, 2,
                                           {kvf::ConstantParameter(0.5f), kvf::ConstantParameter(0.2f),
                                            kvf::ConstantParameter(3), kvf::ConstantParameter(0.1f),
                                            kvf::ConstantParameter(0.05f)})});
    GiveGrid(mesh.get());
    Drive(mesh.get(), 0.0f, D3DVECTOR{-0.5f, 0, 0}, D3DVECTOR{0.25f, 2.2f, 0.2f});
    mesh->DeformVertices();
    D3DVECTOR lo = {1e6f, 1e6f, 1e6f};
    D3DVECTOR hi = {-1e6f, -1e6f, -1e6f};
    for (int i = 0; i < mesh->vertexCount; ++i) {
        const MeshVertex& base = mesh->baseVertices[i];
        D3DVECTOR p = {base.x, base.y, base.z};
        for (CModifier* m : mesh->modifiers) {
            MeshVertex through = {p.x, p.y, p.z, 0, 0, 0, 0, 0, 0};
            m->apply(&through, &through, i); // the ripple's apply is its own
            p = D3DVECTOR{through.x, through.y, through.z};
        }
        const MeshVertex& got = mesh->deformedVertices[i];
        EXPECT_EQ(0, std::memcmp(&p, &got.x, sizeof p)) << "vertex " << i;
        EXPECT_EQ(0, std::memcmp(&base.nx, &got.nx, sizeof(MeshVertex) - 12)) << "vertex " << i;
        MeshVertex single;
        mesh->DeformVertex(i, &single);
        EXPECT_EQ(0, std::memcmp(&single, &got, sizeof single)) << "vertex " << i;
        lo = D3DVECTOR{std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = D3DVECTOR{std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    EXPECT_EQ(0, std::memcmp(&lo, &mesh->boxMin, sizeof lo));
    EXPECT_EQ(0, std::memcmp(&hi, &mesh->boxMax, sizeof hi));
}

TEST(ModifierChain, MeshWithoutModifiersOrVerticesKeepsItsState)
{
    CMesh plain;
    GiveGrid(&plain);
    plain.boxMin = D3DVECTOR{-7, -7, -7};
    plain.DeformVertices();
    plain.EvaluateModifiers();
    EXPECT_TRUE(plain.deformedVertices.empty());
    EXPECT_EQ(-7.0f, plain.boxMin.x);
    MeshVertex single;
    plain.DeformVertex(3, &single);
    EXPECT_EQ(0, std::memcmp(&single, &plain.baseVertices[3], sizeof single));

    auto empty = ReadModifierEntries({GizmoEntry(kvf::kTwist, 2, {kvf::ConstantParameter(90), kvf::ConstantParameter(0)})});
    empty->DeformVertices();
    EXPECT_EQ(1000000.0f, empty->boxMin.x);
    EXPECT_EQ(-1000000.0f, empty->boxMax.z);
}

// A vertex buffer that counts its locks and keeps what was written.
class CountingBuffer : public IDirect3DVertexBuffer8 {
public:
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetDevice(IDirect3DDevice8**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT, UINT size, BYTE** data, DWORD) override
    {
        if (refuse) {
            return D3DERR_INVALIDCALL;
        }
        ++locks;
        bytes.assign(size, 0);
        *data = bytes.data();
        return D3D_OK;
    }
    HRESULT Unlock() override { return D3D_OK; }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC*) override { return D3DERR_INVALIDCALL; }

    int locks = 0;
    bool refuse = false;
    std::vector<BYTE> bytes;
};

TEST(ModifierChain, BufferIsRewrittenOnlyWhenAModifierChanged)
{
    // A twist about y keeps every y, so the box height it measures stays
    // what it was: at a repeated time its state repeats.
    auto mesh = ReadModifierEntries({GizmoEntry(kvf::kTwist, 2, {Ramp(0, 90), kvf::ConstantParameter(0)})});
    GiveGrid(mesh.get());
    CountingBuffer buffer;
    mesh->vertexBuffer = &buffer;
    CModifier* twist = mesh->modifiers.First();
    mesh->PrepareDeformation();
    Ready(twist, mesh->boxMin, mesh->boxMax);
    auto frame = [&](float t) {
        // The scene's update: the latest box, the time, the matrices.
        twist->setBoundsMin(&mesh->boxMin);
        twist->setBoundsMax(&mesh->boxMax);
        twist->setTime(&t);
        twist->update();
        mesh->EvaluateModifiers();
    };
    frame(5.0f);
    EXPECT_EQ(1, buffer.locks);
    ASSERT_EQ(mesh->deformedVertices.size() * sizeof(MeshVertex), buffer.bytes.size());
    EXPECT_EQ(0, std::memcmp(buffer.bytes.data(), mesh->deformedVertices.data(), buffer.bytes.size()));
    const std::vector<MeshVertex> kept = mesh->deformedVertices;
    frame(5.0f);
    frame(5.0f);
    EXPECT_EQ(1, buffer.locks);
    frame(6.0f);
    EXPECT_EQ(2, buffer.locks);
    frame(6.0f);
    EXPECT_EQ(2, buffer.locks);
    // Back at frame 5: written again, the same bits as the first time.
    frame(5.0f);
    EXPECT_EQ(3, buffer.locks);
    EXPECT_EQ(0, std::memcmp(kept.data(), buffer.bytes.data(), buffer.bytes.size()));
    // A new buffer is always written.
    CountingBuffer other;
    mesh->vertexBuffer = &other;
    frame(5.0f);
    EXPECT_EQ(1, other.locks);
    mesh->vertexBuffer = nullptr;
}

TEST(ModifierChain, ChainsRunTogetherGiveTheBitsOfOneAfterAnother)
{
    // Twelve twisted meshes at different times, once one after another and
    // once shared with the helper thread: a buffer that refuses its lock, a
    // mesh without a buffer and one already up to date among them.
    struct Set {
        std::vector<std::unique_ptr<CMesh>> meshes;
        std::vector<CountingBuffer> buffers = std::vector<CountingBuffer>(12);
    };
    auto make = [](Set* set) {
        for (int m = 0; m < 12; ++m) {
            set->meshes.push_back(ReadModifierEntries({GizmoEntry(kvf::kTwist, 2, {Ramp(0, 90), kvf::ConstantParameter(0)})}));
            CMesh* mesh = set->meshes.back().get();
            GiveGrid(mesh);
            mesh->vertexBuffer = m == 5 ? nullptr : &set->buffers[m];
            set->buffers[m].refuse = m == 7;
            mesh->PrepareDeformation();
            Drive(mesh, 3.0f + static_cast<float>(m), mesh->boxMin, mesh->boxMax);
        }
        set->meshes[9]->EvaluateModifiers();
    };
    Set alone;
    Set together;
    make(&alone);
    make(&together);
    std::vector<CMesh*> list;
    for (auto& mesh : alone.meshes) {
        list.push_back(mesh.get());
    }
    SetChainsRunTogether(false);
    EvaluateChainsTogether(&list);
    SetChainsRunTogether(true);
    EXPECT_EQ(11u, list.size());
    list.clear();
    for (auto& mesh : together.meshes) {
        list.push_back(mesh.get());
    }
    EvaluateChainsTogether(&list);
    EXPECT_EQ(11u, list.size());
    for (int m = 0; m < 12; ++m) {
        const CMesh& a = *alone.meshes[m];
        const CMesh& b = *together.meshes[m];
        ASSERT_EQ(a.deformedVertices.size(), b.deformedVertices.size());
        EXPECT_EQ(0, std::memcmp(a.deformedVertices.data(), b.deformedVertices.data(),
                                 a.deformedVertices.size() * sizeof(MeshVertex))) << m;
        EXPECT_EQ(0, std::memcmp(&a.boxMin, &b.boxMin, sizeof a.boxMin)) << m;
        EXPECT_EQ(0, std::memcmp(&a.boxMax, &b.boxMax, sizeof a.boxMax)) << m;
        EXPECT_EQ(alone.buffers[m].bytes, together.buffers[m].bytes) << m;
        EXPECT_EQ(m == 5 || m == 7 ? 0 : 1, together.buffers[m].locks) << m;
        if (m != 5 && m != 7) {
            EXPECT_EQ(0, std::memcmp(b.deformedVertices.data(), together.buffers[m].bytes.data(),
                                     together.buffers[m].bytes.size())) << m;
        }
    }
    // Evaluated again with nothing changed: only the meshes without an
    // uploaded buffer (none, and the refused one) run again.
    EvaluateChainsTogether(&list);
    EXPECT_EQ(2u, list.size());
    for (auto& mesh : alone.meshes) mesh->vertexBuffer = nullptr;
    for (auto& mesh : together.meshes) mesh->vertexBuffer = nullptr;
}

} // namespace
