#include "modifiers/modifier_bend.h"

#include "scene/controller.h"

CModifierBend::CModifierBend()
    : CModifierGizmo(kBend),
      m_axis(0),
      m_angleController(nullptr),
      m_directionController(nullptr),
      m_angle(0.0f),
      m_direction(0.0f),
      m_radius(0.0f)
{
}

CModifierBend::~CModifierBend()
{
    delete m_angleController;
    delete m_directionController;
}

// ---- Deformation: a later step ---------------------------------------------

void CModifierBend::prepare() {}

void CModifierBend::update() {}

void CModifierBend::setTime(const float*) {}

void CModifierBend::apply(const MeshVertex*, MeshVertex*, int) {}

void CModifierBend::deformPoint(const D3DVECTOR*, D3DVECTOR*, int) {}
