// Bends a mesh along an arc of the gizmo space.
#pragma once

#include "modifiers/modifier_gizmo.h"

class CModifierBend : public CModifierGizmo {
public:
    CModifierBend();
    ~CModifierBend() override;

    void prepare() override;
    void update() override;
    void setTime(const float* time) override;
    void apply(const MeshVertex* in, MeshVertex* out, int index) override;
    void deformPoint(const D3DVECTOR* in, D3DVECTOR* out, int index) override;
    void applyAll(const MeshVertex* in, MeshVertex* out, int count) override;

    int32_t m_axis;                         // 0, 1, 2: the file's X, Y, Z
    CControllerFloat* m_angleController;     // owned; degrees in the file
    CControllerFloat* m_directionController; // owned; degrees in the file
    float m_angle;      // radians
    float m_direction;  // radians, sign inverted
    float m_radius;

private:
    void PrepareControllers();
};
