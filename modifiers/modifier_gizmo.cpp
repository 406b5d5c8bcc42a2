#include "modifiers/modifier_gizmo.h"

#include "scene/controller.h"
#include "scene/kvf_read.h"

CModifierGizmo::CModifierGizmo(int32_t type)
    : CModifier(type),
      m_positionController(nullptr),
      m_offsetController(nullptr),
      m_rotationController(nullptr),
      m_scaleController(nullptr),
      m_center{0.0f, 0.0f, 0.0f},
      m_position{0.0f, 0.0f, 0.0f},
      m_offset{0.0f, 0.0f, 0.0f},
      m_scale{1.0f, 1.0f, 1.0f},
      m_rotation{0.0f, 0.0f, 0.0f, 1.0f},
      m_boundsMin{0.0f, 0.0f, 0.0f},
      m_boundsMax{0.0f, 0.0f, 0.0f}
{
    SetIdentity(&m_modifierMatrix);
    SetIdentity(&m_gizmoMatrix);
    SetIdentity(&m_toDeformation);
    SetIdentity(&m_fromDeformation);
}

CModifierGizmo::~CModifierGizmo()
{
    delete m_positionController;
    delete m_offsetController;
    delete m_rotationController;
    delete m_scaleController;
}

void CModifierGizmo::setCenter(const D3DVECTOR* center)
{
    m_center = *center;
}

void CModifierGizmo::setBoundsMin(const D3DVECTOR* boundsMin)
{
    m_boundsMin = *boundsMin;
}

void CModifierGizmo::setBoundsMax(const D3DVECTOR* boundsMax)
{
    m_boundsMax = *boundsMax;
}

int ReadGizmoFloatParameter(CPackFile* file, CControllerFloat** controller)
{
    const uint8_t flag = ReadByte(file);
    if (flag == 1) {
        return ReadFloatController(file, controller);
    }
    return ReadConstantFloatController(file, controller);
}
