#include "modifiers/modifier_bend.h"

#include <cmath>

#include "math/d3dx_math.h"
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

void CModifierBend::PrepareControllers()
{
    CControllerFloat* const parameters[] = {m_angleController, m_directionController};
    PrepareControllersOnce(parameters, 2);
}

void CModifierBend::prepare()
{
    PrepareControllers();
    Restamp();
}

void CModifierBend::setTime(const float* time)
{
    PrepareControllers();
    SampleGizmo(*time);
    m_angle = SampleOrZero(m_angleController, *time) * 0.017453292f;
    m_direction = -(SampleOrZero(m_directionController, *time) * 0.017453292f);
}

void CModifierBend::update()
{
    UpdateGizmo();
    const D3DVECTOR lo = BoxLow();
    const D3DVECTOR hi = BoxHigh();
    D3DXMATRIX turn;
    float extent;
    // The bend measures z for code 0 and x for code 1.
    if (m_axis == 0) {
        D3DXMatrixMultiply(&m_toDeformation, &m_toDeformation, D3DXMatrixRotationZ(&turn, -1.570796f));
        extent = hi.z - lo.z;
    } else if (m_axis == 1) {
        D3DXMatrixMultiply(&m_toDeformation, &m_toDeformation, D3DXMatrixRotationX(&turn, 1.570796f));
        extent = hi.x - lo.x;
    } else {
        extent = hi.y - lo.y;
    }
    D3DXMatrixMultiply(&m_toDeformation, &m_toDeformation, D3DXMatrixRotationY(&turn, m_direction));
    InvertToDeformation();
    if (m_angle == 0.0f) {
        m_angle = 0.0001f;
    }
    m_radius = extent / m_angle;
    KeepDeformation(&m_radius, 1);
}

void CModifierBend::deformPoint(const D3DVECTOR* in, D3DVECTOR* out, int)
{
    // A zero radius (a box without extent along the axis) bends nothing
    // into a point: the point stays.
    if (m_degenerate != 0 || m_radius == 0.0f) {
        *out = *in;
        return;
    }
    const D3DVECTOR p = transformPoint(m_toDeformation, *in);
    // An infinite radius is the straight limit of the arc.
    if (!std::isfinite(m_radius)) {
        *out = transformPoint(m_fromDeformation, p);
        return;
    }
    const float phi = 3.1415927f - p.y / m_radius;
    const float c = std::cos(phi);
    const float s = std::sin(phi);
    const D3DVECTOR bent = {m_radius * (1.0f + c) - p.x * c, m_radius * s - p.x * s, p.z};
    *out = transformPoint(m_fromDeformation, bent);
}

void CModifierBend::apply(const MeshVertex* in, MeshVertex* out, int index)
{
    ApplyThroughDeformPoint(in, out, index);
}

void CModifierBend::applyAll(const MeshVertex* in, MeshVertex* out, int count)
{
    ApplyEachPoint(in, out, count,
                   [this](const D3DVECTOR* p, D3DVECTOR* q, int i) { CModifierBend::deformPoint(p, q, i); });
}
