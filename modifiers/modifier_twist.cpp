#include "modifiers/modifier_twist.h"

#include <cmath>

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

void CModifierTwist::PrepareControllers()
{
    CControllerFloat* const parameters[] = {m_angleController, m_biasController};
    PrepareControllersOnce(parameters, 2);
}

void CModifierTwist::prepare()
{
    PrepareControllers();
    Restamp();
}

void CModifierTwist::setTime(const float* time)
{
    PrepareControllers();
    SampleGizmo(*time);
    m_angle = SampleOrZero(m_angleController, *time) * 0.017453292f;
    m_bias = SampleOrZero(m_biasController, *time);
}

void CModifierTwist::update()
{
    UpdateGizmo();
    const D3DVECTOR lo = BoxLow();
    const D3DVECTOR hi = BoxHigh();
    // A bias of -100 to 100 becomes an exponent; 0 means no bias.
    if (m_bias == 0.0f) {
        m_bias = 1.0f;
        m_biasInUse = 0;
    } else {
        float b = 1.0f - (m_bias + 100.0f) * 0.005f;
        if (b < 0.00001f) {
            b = 0.00001f;
        }
        if (b > 0.99999f) {
            b = 0.99999f;
        }
        m_biasInUse = 1;
        m_bias = std::log(b) / std::log(0.5f);
    }
    InvertToDeformation();
    TurnAxis(m_axis);
    // Codes other than 0 and 1 measure y, as they turn nothing.
    if (m_axis == 0) {
        m_height = hi.x - lo.x;
    } else if (m_axis == 1) {
        m_height = hi.z - lo.z;
    } else {
        m_height = hi.y - lo.y;
    }
    if (m_height == 0.0f) {
        m_angle = 0.0f;
        m_anglePerUnit = 0.0f;
    } else {
        m_anglePerUnit = m_angle / m_height;
    }
    const float values[] = {m_angle, m_bias, static_cast<float>(m_biasInUse), m_height, m_anglePerUnit};
    KeepDeformation(values, 5);
}

void CModifierTwist::deformPoint(const D3DVECTOR* in, D3DVECTOR* out, int)
{
    if (m_degenerate != 0 || m_angle == 0.0f) {
        *out = *in;
        return;
    }
    const D3DVECTOR p = transformPoint(m_toDeformation, *in);
    float theta;
    if (m_biasInUse != 0) {
        const float r = p.y / m_height;
        theta = std::pow(std::fabs(r), m_bias) * m_angle;
        if (r < 0.0f) {
            theta = -theta;
        }
    } else {
        theta = p.y * m_anglePerUnit;
    }
    const float c = std::cos(theta);
    const float s = std::sin(theta);
    const D3DVECTOR twisted = {p.x * c + p.z * s, p.y, p.z * c - p.x * s};
    *out = transformPoint(m_fromDeformation, twisted);
}

void CModifierTwist::apply(const MeshVertex* in, MeshVertex* out, int index)
{
    ApplyThroughDeformPoint(in, out, index);
}

void CModifierTwist::applyAll(const MeshVertex* in, MeshVertex* out, int count)
{
    ApplyEachPoint(in, out, count,
                   [this](const D3DVECTOR* p, D3DVECTOR* q, int i) { CModifierTwist::deformPoint(p, q, i); });
}
