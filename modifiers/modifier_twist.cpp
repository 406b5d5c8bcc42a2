#include "modifiers/modifier_twist.h"

#include "scene/controller.h"

CModifierTwist::CModifierTwist()
    : CModifierGizmo(kTwist),
      m_axis(2),
      m_angleController(nullptr),
      m_biasController(nullptr),
      m_angle(0.0f),
      m_bias(0.0f),
      m_biasInUse(0),
      m_height(0.0f),
      m_anglePerUnit(0.0f)
{
}

CModifierTwist::~CModifierTwist()
{
    delete m_angleController;
    delete m_biasController;
}

// ---- Deformation: a later step ---------------------------------------------

void CModifierTwist::prepare() {}

void CModifierTwist::update() {}

void CModifierTwist::setTime(const float*) {}

void CModifierTwist::apply(const MeshVertex*, MeshVertex*, int) {}

void CModifierTwist::deformPoint(const D3DVECTOR*, D3DVECTOR*, int) {}
