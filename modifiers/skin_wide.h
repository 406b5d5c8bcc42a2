// The skin sixteen vertices at a time, one vertex per lane of a 512-bit
// register, for processors with AVX-512. Each lane computes exactly the
// operations of the skin's per-vertex formula, in the same order, so the
// results are the same bits; the bones' matrices are picked per lane from
// registers holding one matrix element of every bone, which is why the path
// serves skins of at most kSkinWideMaxBones bones.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d8/d3d8_types.h"
#include "scene/mesh_vertex.h"

constexpr int kSkinWideLanes = 16;
constexpr int kSkinWideMaxBones = 32;

// The group vertex that lane `lane` holds once loaded: the loading
// transposition makes lane 4i + j hold vertex 4j + i.
constexpr int SkinWideSlotOfLane(int lane)
{
    return 4 * (lane % 4) + lane / 4;
}

struct SkinWideTable {
    // Up to sixteen vertices of one influence count, as byte offsets into the
    // vertex arrays; `count` of them are real, the other lanes repeat the
    // first and are never stored.
    struct alignas(16) Group {
        int32_t offset[kSkinWideLanes];
        int32_t count;
        int32_t firstSlot; // the group's influences: slots[firstSlot] onwards
        uint32_t uniform;  // bit k: every real lane of slot k has the same bone
    };
    // One influence of every lane, in register order (SkinWideSlotOfLane).
    struct alignas(16) Slot {
        float weight[kSkinWideLanes];
        uint8_t bone[kSkinWideLanes];
    };

    // x, y, z and nx of every lane of a group, in register order.
    struct alignas(64) Lanes {
        float x[kSkinWideLanes];
        float y[kSkinWideLanes];
        float z[kSkinWideLanes];
        float nx[kSkinWideLanes];
    };

    std::vector<Group> groups;
    std::vector<Slot> slots;
    // The lanes of every group as read from `baseSource` (count
    // `baseCount`), kept for skinning from an unchanging base.
    std::vector<Lanes> base;
    const MeshVertex* baseSource = nullptr;
    int baseCount = 0;
    // Matrix element e (row e / 3, column e % 3) of bone b, for update to fill.
    alignas(64) float elements[12][kSkinWideMaxBones] = {};

    void Clear()
    {
        groups.clear();
        slots.clear();
        base.clear();
        baseSource = nullptr;
        baseCount = 0;
    }
    // Fills `base` from the `count` vertices at `vertices`, unless they are
    // already its source.
    void KeepBase(const MeshVertex* vertices, int count);
    // Appends a group of `count` (1 to 16) vertices, each with `influences`
    // (bone, weight) pairs from boneOf(v, k) and weightOf(v, k).
    template <typename BoneOf, typename WeightOf>
    void AddGroup(const int32_t* vertices, int count, int influences, BoneOf boneOf, WeightOf weightOf);
    // Copies the skinning matrices of `boneCount` bones into `elements`.
    void SetMatrices(const D3DMATRIX* skinning, int boneCount, size_t stride);
};


// The groups groups[first..first + count) of one influence count:
// `influences` of them summed, or with `blend` the one influence blended
// with the point. Positions are read from `in` and written to `out` (which
// may be `in`), with the rest of each vertex copied when `copyRest`. With
// `fromBase`, positions come from table.base (KeepBase of `in` done) and x,
// y, z and nx alone are written.
void SkinWideGroups(const SkinWideTable& table, int first, int count, int influences, bool blend, bool copyRest,
                    bool fromBase, const MeshVertex* in, MeshVertex* out);

template <typename BoneOf, typename WeightOf>
void SkinWideTable::AddGroup(const int32_t* vertices, int count, int influences, BoneOf boneOf, WeightOf weightOf)
{
    Group group;
    for (int s = 0; s < kSkinWideLanes; ++s) {
        group.offset[s] = static_cast<int32_t>(sizeof(MeshVertex)) * vertices[s < count ? s : 0];
    }
    group.count = count;
    group.firstSlot = static_cast<int32_t>(slots.size());
    group.uniform = 0;
    for (int k = 0; k < influences; ++k) {
        Slot slot;
        bool uniform = true;
        for (int lane = 0; lane < kSkinWideLanes; ++lane) {
            // Lanes beyond the real vertices take the first one's bone.
            const int s = SkinWideSlotOfLane(lane);
            slot.bone[lane] = static_cast<uint8_t>(boneOf(s < count ? s : 0, k));
            slot.weight[lane] = s < count ? weightOf(s, k) : 0.0f;
            uniform = uniform && slot.bone[lane] == slot.bone[0];
        }
        group.uniform |= uniform ? 1u << k : 0u;
        slots.push_back(slot);
    }
    groups.push_back(group);
}
