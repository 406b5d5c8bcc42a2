// The base of the modifiers that deform a mesh inside an animated space of
// their own, the gizmo: a fixed matrix from the file plus animated position,
// offset, scale and rotation tracks, and the matrices that take points from
// the mesh's space into the deformation space and back.
#pragma once

#include "math/engine_math.h"
#include "modifiers/modifier.h"

class CControllerFloat;
class CControllerRotation;
class CControllerVector;

class CModifierGizmo : public CModifier {
public:
    explicit CModifierGizmo(int32_t type);
    // Deletes each controller that is present.
    ~CModifierGizmo() override;

    void setCenter(const D3DVECTOR* center) override;
    void setBoundsMin(const D3DVECTOR* boundsMin) override;
    void setBoundsMax(const D3DVECTOR* boundsMax) override;

    CControllerVector* m_positionController;   // owned
    CControllerVector* m_offsetController;     // owned; null when absent
    CControllerRotation* m_rotationController; // owned; null when absent
    CControllerVector* m_scaleController;      // owned; null when absent
    D3DMATRIX m_modifierMatrix;   // mesh space to gizmo space, from the record
    D3DVECTOR m_center;           // the mesh's pivot
    D3DVECTOR m_position;         // track values at the last setTime
    D3DVECTOR m_offset;
    D3DVECTOR m_scale;            // (1, 1, 1) after construction
    Quaternion m_rotation;        // (0, 0, 0, 1) after construction
    D3DMATRIX m_gizmoMatrix;      // computed by update
    D3DMATRIX m_toDeformation;    // mesh space to deformation space
    D3DMATRIX m_fromDeformation;  // and back
    D3DVECTOR m_boundsMin;        // the mesh's box as last handed over
    D3DVECTOR m_boundsMax;
    // 1 when the deformation space cannot be left again (the to-deformation
    // matrix has no inverse, as with a zero scale): points stay unmoved.
    int32_t m_degenerate;

protected:
    // Prepares the gizmo's controllers (position, offset, scale, rotation)
    // and then `parameters` (the kind's own, in record order), the first time
    // only, so that neither the frame-0 update before prepare nor prepare
    // itself samples or prepares a controller twice over.
    void PrepareControllersOnce(CControllerFloat* const* parameters, int count);
    // The gizmo tracks sampled at `time`; an absent offset, scale or rotation
    // keeps its constructed value.
    void SampleGizmo(float time);
    // The gizmo step of update: gizmo matrix and to-deformation matrix.
    void UpdateGizmo();
    // lo and hi: the mesh's box corners (moved by the centre) through the
    // modifier matrix.
    D3DVECTOR BoxLow() const;
    D3DVECTOR BoxHigh() const;
    // from-deformation = Inverse(to-deformation); m_degenerate when it has
    // none.
    void InvertToDeformation();
    // Turns the named file axis onto the deformation space's y:
    // to-deformation = to-deformation x R, from-deformation = Inverse(R) x
    // from-deformation (stretch and twist).
    void TurnAxis(int32_t axis);
    // Keeps the matrices, m_degenerate and the kind's `values` (what its
    // point deformation reads) and counts a change (see CModifier::stamp).
    void KeepDeformation(const float* values, int count);

private:
    struct DeformationState {
        D3DMATRIX to;
        D3DMATRIX from;
        float values[8];
        int32_t degenerate;
    };
    DeformationState m_kept;
    bool m_controllersPrepared;
};

// The rotation that turns file axis `axis` (0 X, 1 Y, 2 Z) onto the
// deformation space's y axis; identity for code 2 and unknown codes.
void AxisTurnMatrix(int32_t axis, D3DMATRIX* out);

// The common apply over `count` vertices with the point function `deform`
// (position in, position out, index) called directly, without a virtual
// call per vertex; `in` and `out` may be the same array.
template <typename PointFunction>
void ApplyEachPoint(const MeshVertex* in, MeshVertex* out, int count, PointFunction deform)
{
    for (int i = 0; i < count; ++i) {
        const D3DVECTOR position = {in[i].x, in[i].y, in[i].z};
        D3DVECTOR moved;
        deform(&position, &moved, i);
        if (out != in) {
            out[i] = in[i];
        }
        out[i].x = moved.x;
        out[i].y = moved.y;
        out[i].z = moved.z;
    }
}

// Reads a float parameter of a gizmo record: a flag byte, then a float
// controller record (flag 1) or a single constant float (any other flag).
// 0, or 1 after the controller reader's message.
class CPackFile;
int ReadGizmoFloatParameter(CPackFile* file, CControllerFloat** controller);
