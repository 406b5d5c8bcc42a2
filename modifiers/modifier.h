// The common interface of mesh modifiers: the skin and the gizmo deformers
// (bend, stretch, twist, wave and ripple). A mesh owns its modifiers in file
// order and runs them over its vertices in that order.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/d3d8/d3d8_types.h"
#include "scene/kvf_format.h"
#include "scene/mesh_vertex.h"

class CModifier {
public:
    // Type codes of the modifier block.
    enum Type : int32_t {
        kBend = kvf::kBend,
        kStretch = kvf::kStretch,
        kSkin = kvf::kSkinCountFirst,
        kSkinMatrixFirst = kvf::kSkinMatrixFirst, // read with the matrix-first layout; held as kSkin
        kEmptyEntry = kvf::kEmptyEntry,           // an entry that is only its code
        kWave = kvf::kWave,
        kRipple = kvf::kRipple,
        kTwist = kvf::kTwist,
    };

    explicit CModifier(int32_t type) : m_type(type) {}
    virtual ~CModifier() = default;
    CModifier(const CModifier&) = delete;
    CModifier& operator=(const CModifier&) = delete;

    // One-time preparation after loading and binding.
    virtual void prepare() = 0;
    // Recomputes the matrices from the values of the last setTime.
    virtual void update() = 0;
    // Evaluates the controllers at the frame *time.
    virtual void setTime(const float* time) = 0;
    // Deforms one mesh vertex; `in` and `out` may be the same vertex; `index`
    // is its index in the mesh's vertex arrays.
    virtual void apply(const MeshVertex* in, MeshVertex* out, int index) = 0;
    // Deforms one position; `in` and `out` may be the same.
    virtual void deformPoint(const D3DVECTOR* in, D3DVECTOR* out, int index) = 0;
    // The mesh's pivot and bounding box; the gizmo modifiers keep them.
    virtual void setCenter(const D3DVECTOR* center) {}
    virtual void setBoundsMin(const D3DVECTOR* boundsMin) {}
    virtual void setBoundsMax(const D3DVECTOR* boundsMax) {}

    // apply over `count` vertices: in[i] into out[i] with index i, in order;
    // `in` and `out` may be the same array. Kinds override it with a loop
    // that computes the same bits without a virtual call per vertex.
    virtual void applyAll(const MeshVertex* in, MeshVertex* out, int count)
    {
        for (int i = 0; i < count; ++i) {
            apply(&in[i], &out[i], i);
        }
    }

    // applyAll from the mesh's base vertices, whose contents do not change
    // once the mesh is loaded (so a modifier may keep what it derives from
    // them, for as long as the same array comes), into a separate array
    // whose fields other than the position already equal the base's: only
    // x, y and z of out need writing.
    virtual void applyFromBase(const MeshVertex* base, MeshVertex* out, int count) { applyAll(base, out, count); }

    // Grows whenever prepare or update changes what apply computes, so a
    // mesh can tell that a chain would write exactly what it wrote before.
    uint64_t stamp() const { return m_stamp; }

    int32_t m_type;

protected:
    // The apply of most kinds: the position through deformPoint; normal,
    // colour and texture coordinates copied from the input vertex.
    void ApplyThroughDeformPoint(const MeshVertex* in, MeshVertex* out, int index)
    {
        const D3DVECTOR position = {in->x, in->y, in->z};
        D3DVECTOR moved;
        deformPoint(&position, &moved, index);
        *out = *in;
        out->x = moved.x;
        out->y = moved.y;
        out->z = moved.z;
    }

    // Counts a change of the state apply reads: when `state` differs bit for
    // bit from `*kept`, it is kept and the stamp grows.
    template <typename State>
    void KeepState(const State& state, State* kept)
    {
        if (std::memcmp(&state, kept, sizeof(State)) != 0) {
            std::memcpy(kept, &state, sizeof(State));
            ++m_stamp;
        }
    }
    void Restamp() { ++m_stamp; }

private:
    uint64_t m_stamp = 0;
};
