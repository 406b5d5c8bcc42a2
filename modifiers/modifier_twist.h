// Twists a mesh about an axis of the gizmo space, optionally with a bias that
// makes the twist grow as a power of the height.
#pragma once

#include "modifiers/modifier_gizmo.h"

class CModifierTwist : public CModifierGizmo {
public:
    CModifierTwist();
    ~CModifierTwist() override;

    void prepare() override;
    void update() override;
    void setTime(const float* time) override;
    void apply(const MeshVertex* in, MeshVertex* out, int index) override;
    void deformPoint(const D3DVECTOR* in, D3DVECTOR* out, int index) override;
    void applyAll(const MeshVertex* in, MeshVertex* out, int count) override;

    int32_t m_axis;                      // 2 after construction
    CControllerFloat* m_angleController; // owned; degrees in the file
    CControllerFloat* m_biasController;  // owned
    float m_angle;       // radians
    float m_bias;
    uint8_t m_biasInUse;
    float m_height;
    float m_anglePerUnit;

private:
    void PrepareControllers();
};
