#include "modifiers/modifier_stretch.h"

#include "scene/controller.h"

CModifierStretch::CModifierStretch()
    : CModifierGizmo(kStretch),
      m_axis(0),
      m_stretchController(nullptr),
      m_amplifyController(nullptr),
      m_stretch(0.0f),
      m_amplify(0.0f),
      m_low(0.0f),
      m_high(0.0f),
      m_amplifyFactor(0.0f)
{
}

CModifierStretch::~CModifierStretch()
{
    delete m_stretchController;
    delete m_amplifyController;
}

// ---- Deformation: a later step ---------------------------------------------

void CModifierStretch::prepare() {}

void CModifierStretch::update() {}

void CModifierStretch::setTime(const float*) {}

void CModifierStretch::apply(const MeshVertex*, MeshVertex*, int) {}

void CModifierStretch::deformPoint(const D3DVECTOR*, D3DVECTOR*, int) {}
