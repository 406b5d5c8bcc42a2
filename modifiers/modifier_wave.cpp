#include "modifiers/modifier_wave.h"

#include "scene/controller.h"

CModifierWave::CModifierWave()
    : CModifierGizmo(kWave),
      m_amplitude1Controller(nullptr),
      m_amplitude2Controller(nullptr),
      m_waveLengthController(nullptr),
      m_phaseController(nullptr),
      m_decayController(nullptr),
      m_amplitude1(0.0f),
      m_amplitude2(0.0f),
      m_waveLength(0.0f),
      m_phase(0.0f),
      m_decay(0.0f),
      m_width(0.0f),
      m_pointFunction(&CModifierWave::LinearWave)
{
}

CModifierWave::~CModifierWave()
{
    delete m_amplitude1Controller;
    delete m_amplitude2Controller;
    delete m_waveLengthController;
    delete m_phaseController;
    delete m_decayController;
}

// ---- Deformation: a later step ---------------------------------------------

void CModifierWave::prepare() {}

void CModifierWave::update() {}

void CModifierWave::setTime(const float*) {}

void CModifierWave::apply(const MeshVertex*, MeshVertex*, int) {}

void CModifierWave::deformPoint(const D3DVECTOR*, D3DVECTOR*, int) {}

void CModifierWave::LinearWave(const D3DVECTOR*, D3DVECTOR*) const {}

void CModifierWave::Ripple(const D3DVECTOR*, D3DVECTOR*) const {}
