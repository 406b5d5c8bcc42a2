// The common interface of mesh modifiers: the skin and the gizmo deformers
// (bend, stretch, twist, wave and ripple). A mesh owns its modifiers in file
// order and runs them over its vertices in that order.
#pragma once

#include <cstdint>

#include "platform/d3d8/d3d8_types.h"
#include "scene/mesh_vertex.h"

class CModifier {
public:
    // Type codes of the modifier block.
    enum Type : int32_t {
        kBend = 0,
        kStretch = 1,
        kSkin = 2,
        kSkinMatrixFirst = 3, // read with the matrix-first layout; held as kSkin
        kEmptyEntry = 4,      // an entry that is only its code
        kWave = 8,
        kRipple = 16,
        kTwist = 32,
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

    int32_t m_type;
};
