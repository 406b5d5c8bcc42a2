// Stretches a mesh along an axis of the gizmo space while squeezing its
// middle.
#pragma once

#include "modifiers/modifier_gizmo.h"

class CModifierStretch : public CModifierGizmo {
public:
    CModifierStretch();
    ~CModifierStretch() override;

    void prepare() override;
    void update() override;
    void setTime(const float* time) override;
    void apply(const MeshVertex* in, MeshVertex* out, int index) override;
    void deformPoint(const D3DVECTOR* in, D3DVECTOR* out, int index) override;
    void applyAll(const MeshVertex* in, MeshVertex* out, int count) override;

    int32_t m_axis;
    CControllerFloat* m_stretchController; // owned
    CControllerFloat* m_amplifyController; // owned
    float m_stretch;
    float m_amplify;
    float m_low;            // ends of the mesh along the axis
    float m_high;
    float m_amplifyFactor;

private:
    void PrepareControllers();
};
