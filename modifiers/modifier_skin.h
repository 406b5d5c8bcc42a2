// Deforms a mesh by bones: every vertex moves with the weighted skinning
// matrices of the bones that influence it. Bones are other objects of the
// scene (meshes or helpers), bound by name when the scene is prepared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modifiers/modifier.h"
#include "modifiers/skin_wide.h"

// The influences of one mesh vertex; m_nbBone 0: the vertex does not move.
struct SkinVertex {
    int32_t m_nbBone = 0;
    std::vector<float> m_weights;
    std::vector<int32_t> m_boneIndices; // into the skin's bone table
};

struct SkinBone {
    SkinBone();

    std::string m_name;
    D3DMATRIX m_bindMatrix;          // the bone's world at binding time; identity
    const D3DMATRIX* m_world;        // the bound object's world matrix; not owned
    D3DMATRIX m_offsetMatrix;        // mesh matrix x inverse bind, by prepare
    D3DMATRIX m_skinningMatrix;      // offset x world x inverse mesh, by update
};

class CModifierSkin : public CModifier {
public:
    CModifierSkin();
    ~CModifierSkin() override;

    // Inverts the mesh and bind matrices (a singular one inverts to the
    // identity) and lays the influences out flat for applyAll.
    void prepare() override;
    // Skinning matrices from the bound world matrices; a bone bound to
    // nothing keeps the identity.
    void update() override;
    void setTime(const float* time) override;
    void apply(const MeshVertex* in, MeshVertex* out, int index) override;
    // One influence blends between the point and its skinned place; several
    // add their weighted skinned places. An influence naming no bone of the
    // table counts for nothing; a vertex outside the table does not move.
    void deformPoint(const D3DVECTOR* in, D3DVECTOR* out, int index) override;
    // The same bits as deformPoint per vertex, from the flat influence table
    // and four lanes at a time (x, y, z of a point transform together).
    void applyAll(const MeshVertex* in, MeshVertex* out, int count) override;
    void applyFromBase(const MeshVertex* in, MeshVertex* out, int count) override;

    // Whether skins prepared from now on may run sixteen vertices at a time
    // where the processor can (on by default): both ways give the same bits,
    // and tests compare them.
    static void EnableWidePath(bool enabled);

    // Binds bone `index` to the world matrix `world` points to. Shows a
    // warning and changes nothing when there is no such bone.
    void setBoneMatrix(const D3DMATRIX* world, unsigned int index);
    // The name of bone `index`, or null after a warning.
    const char* getBoneName(unsigned int index) const;

    D3DMATRIX m_meshMatrix;            // identity until read
    D3DMATRIX m_inverseMeshMatrix;     // set by prepare
    int32_t m_nbVertex;                // the mesh's vertex count
    std::vector<SkinVertex> m_vertices; // one per mesh vertex
    int32_t m_nbBone;
    std::vector<SkinBone> m_bones;     // record order

private:
    // The influences of m_vertices as prepare found them (bones checked),
    // grouped for applyAll: m_order lists the table's vertices block by
    // block of kBlockVertices and, within a block, kind by kind; run r
    // (kind r % kKindCount) is m_order[m_runStart[r]] to
    // m_order[m_runStart[r + 1] - 1]. Kind 0 does not move, kind 1 blends
    // with one influence, kinds 2 to 4 add up exactly that many influences
    // and kind 5 any other number. The influences of m_order[j] start at
    // m_influences[m_firstInfluence[j]]; in kinds 1 to 4 those of two
    // consecutive vertices of a run are interleaved from the first's start
    // (none at all when the sixteen-lane table serves those kinds).
    enum Kind { kUnmoved = 0, kBlendOne = 1, kSumOther = 5, kKindCount = 6 };
    static constexpr int kBlockVertices = 256;
    struct Influence {
        int32_t bone;
        float weight;
    };
    void BuildInfluenceTable();
    // The bones' skinning matrices into the rows and the sixteen-lane table.
    void CopySkinningMatrices();
    // applyAll; with copyRest false, out's fields beyond the position are left
    // as they are; with fromBase, `in` is the unchanging base (applyFromBase).
    void Apply(const MeshVertex* in, MeshVertex* out, int count, bool copyRest, bool fromBase);
    bool HasBone(int32_t bone) const;

    std::vector<int32_t> m_order;
    std::vector<int32_t> m_runStart;
    std::vector<int32_t> m_firstInfluence;
    std::vector<Influence> m_influences;
    // The skinning matrices again, on 16-byte boundaries.
    struct alignas(16) Rows {
        float m[16];
    };
    std::vector<Rows> m_rows;
    // The sixteen-lane table, when prepare found the wide path usable; run r
    // has groups m_runWideGroup[r] to m_runWideGroup[r + 1] - 1.
    bool m_wideReady = false;
    SkinWideTable m_wide;
    std::vector<int32_t> m_runWideGroup;
    static bool s_wideEnabled;
};
