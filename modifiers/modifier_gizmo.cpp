#include "modifiers/modifier_gizmo.h"

#include <algorithm>
#include <cstring>

#include "math/d3dx_math.h"
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
      m_boundsMax{0.0f, 0.0f, 0.0f},
      m_degenerate(0),
      m_controllersPrepared(false)
{
    std::memset(&m_kept, 0, sizeof m_kept);
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

void CModifierGizmo::PrepareControllersOnce(CControllerFloat* const* parameters, int count)
{
    if (m_controllersPrepared) {
        return;
    }
    m_controllersPrepared = true;
    if (m_positionController != nullptr) {
        m_positionController->Prepare();
    }
    if (m_offsetController != nullptr) {
        m_offsetController->Prepare();
    }
    if (m_scaleController != nullptr) {
        m_scaleController->Prepare();
    }
    if (m_rotationController != nullptr) {
        m_rotationController->Prepare();
    }
    for (int i = 0; i < count; ++i) {
        if (parameters[i] != nullptr) {
            parameters[i]->Prepare();
        }
    }
}

void CModifierGizmo::SampleGizmo(float time)
{
    SampleOrZero(m_positionController, time, &m_position);
    if (m_offsetController != nullptr) {
        m_offsetController->Sample(time, &m_offset);
    }
    if (m_scaleController != nullptr) {
        m_scaleController->Sample(time, &m_scale);
    }
    if (m_rotationController != nullptr) {
        m_rotationController->Sample(time, &m_rotation);
    }
}

void CModifierGizmo::UpdateGizmo()
{
    D3DXMATRIX scaling;
    D3DXMATRIX rotation;
    D3DXMATRIX m;
    D3DXMATRIX translation;
    D3DXMatrixScaling(&scaling, 1.0f / m_scale.x, 1.0f / m_scale.y, 1.0f / m_scale.z);
    const D3DXQUATERNION q = {m_rotation.x, m_rotation.y, m_rotation.z, m_rotation.w};
    D3DXMatrixRotationQuaternion(&rotation, &q);
    D3DXMatrixMultiply(&m, &scaling, &rotation);
    D3DXMatrixTranslation(&translation, -m_position.x, -m_position.y, -m_position.z);
    D3DXMatrixMultiply(&m, &translation, &m);
    D3DXMatrixTranslation(&translation, -m_offset.x, -m_offset.y, -m_offset.z);
    D3DXMatrixMultiply(&m_gizmoMatrix, &translation, &m);
    D3DXMatrixTranslation(&translation, m_center.x, m_center.y, m_center.z);
    D3DXMatrixMultiply(&m_gizmoMatrix, &translation, &m_gizmoMatrix);
    D3DXMatrixMultiply(&m_toDeformation, &m_modifierMatrix, &m_gizmoMatrix);
}

D3DVECTOR CModifierGizmo::BoxLow() const
{
    return transformPoint(m_modifierMatrix, VectorAdd(m_center, m_boundsMin));
}

D3DVECTOR CModifierGizmo::BoxHigh() const
{
    return transformPoint(m_modifierMatrix, VectorAdd(m_center, m_boundsMax));
}

void CModifierGizmo::InvertToDeformation()
{
    m_degenerate = D3DXMatrixInverse(&m_fromDeformation, nullptr, &m_toDeformation) == nullptr ? 1 : 0;
    if (m_degenerate != 0) {
        SetIdentity(&m_fromDeformation);
    }
}

void CModifierGizmo::TurnAxis(int32_t axis)
{
    D3DXMATRIX turn;
    AxisTurnMatrix(axis, &turn);
    D3DXMATRIX back;
    SetIdentity(&back);
    D3DXMatrixInverse(&back, nullptr, &turn);
    D3DXMatrixMultiply(&m_toDeformation, &m_toDeformation, &turn);
    D3DXMatrixMultiply(&m_fromDeformation, &back, &m_fromDeformation);
}

void CModifierGizmo::KeepDeformation(const float* values, int count)
{
    DeformationState state;
    std::memset(&state, 0, sizeof state);
    state.to = m_toDeformation;
    state.from = m_fromDeformation;
    std::memcpy(state.values, values, sizeof(float) * static_cast<size_t>(std::min(count, 8)));
    state.degenerate = m_degenerate;
    KeepState(state, &m_kept);
}

void AxisTurnMatrix(int32_t axis, D3DMATRIX* out)
{
    if (axis == 0) {
        D3DXMatrixRotationZ(out, -1.570796f);
    } else if (axis == 1) {
        D3DXMatrixRotationX(out, 1.570796f);
    } else {
        D3DXMatrixIdentity(out);
    }
}

int ReadGizmoFloatParameter(CPackFile* file, CControllerFloat** controller)
{
    const uint8_t flag = ReadByte(file);
    if (flag == 1) {
        return ReadFloatController(file, controller);
    }
    return ReadConstantFloatController(file, controller);
}
