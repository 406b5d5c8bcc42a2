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
};

// Reads a float parameter of a gizmo record: a flag byte, then a float
// controller record (flag 1) or a single constant float (any other flag).
// 0, or 1 after the controller reader's message.
class CPackFile;
int ReadGizmoFloatParameter(CPackFile* file, CControllerFloat** controller);
