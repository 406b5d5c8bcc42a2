// Moves a mesh by a travelling sine wave in the gizmo space: a linear wave
// along z (type 8) or a circular ripple about the y axis (type 16).
#pragma once

#include "modifiers/modifier_gizmo.h"

class CModifierWave : public CModifierGizmo {
public:
    typedef void (CModifierWave::*PointFunction)(const D3DVECTOR* in, D3DVECTOR* out) const;

    CModifierWave();
    ~CModifierWave() override;

    void prepare() override;
    void update() override;
    void setTime(const float* time) override;
    void apply(const MeshVertex* in, MeshVertex* out, int index) override;
    void deformPoint(const D3DVECTOR* in, D3DVECTOR* out, int index) override;
    void applyAll(const MeshVertex* in, MeshVertex* out, int count) override;
    void LinearWave(const D3DVECTOR* in, D3DVECTOR* out) const;
    void Ripple(const D3DVECTOR* in, D3DVECTOR* out) const;

    CControllerFloat* m_amplitude1Controller; // owned
    CControllerFloat* m_amplitude2Controller; // owned
    CControllerFloat* m_waveLengthController; // owned
    CControllerFloat* m_phaseController;      // owned
    CControllerFloat* m_decayController;      // owned
    float m_amplitude1;
    float m_amplitude2;
    float m_waveLength;
    float m_phase;
    float m_decay;
    float m_width;
    PointFunction m_pointFunction; // the linear wave after construction

private:
    void PrepareControllers();
};
