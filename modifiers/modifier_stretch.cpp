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

void CModifierStretch::PrepareControllers()
{
    CControllerFloat* const parameters[] = {m_stretchController, m_amplifyController};
    PrepareControllersOnce(parameters, 2);
}

void CModifierStretch::prepare()
{
    PrepareControllers();
    Restamp();
}

void CModifierStretch::setTime(const float* time)
{
    PrepareControllers();
    SampleGizmo(*time);
    m_stretch = SampleOrZero(m_stretchController, *time);
    m_amplify = SampleOrZero(m_amplifyController, *time);
}

void CModifierStretch::update()
{
    UpdateGizmo();
    const D3DVECTOR lo = BoxLow();
    const D3DVECTOR hi = BoxHigh();
    InvertToDeformation();
    m_amplifyFactor = m_amplify < 0.0f ? 1.0f / (1.0f - m_amplify) : m_amplify + 1.0f;
    TurnAxis(m_axis);
    if (m_axis == 0) {
        m_low = lo.x;
        m_high = hi.x;
    } else if (m_axis == 1) {
        m_low = lo.z;
        m_high = hi.z;
    } else {
        m_low = lo.y;
        m_high = hi.y;
    }
    const float values[] = {m_stretch, m_amplifyFactor, m_low, m_high};
    KeepDeformation(values, 4);
}

void CModifierStretch::deformPoint(const D3DVECTOR* in, D3DVECTOR* out, int)
{
    if (m_degenerate != 0 || m_stretch == 0.0f || m_high - m_low == 0.0f) {
        *out = *in;
        return;
    }
    const D3DVECTOR p = transformPoint(m_toDeformation, *in);
    const float l = (p.y - m_low) / (m_high - m_low);
    const float f = m_amplifyFactor * m_stretch;
    float g;
    float h;
    if (m_stretch < 0.0f) {
        g = 1.0f - f;
        h = -1.0f / (m_stretch - 1.0f);
    } else {
        g = 1.0f / (f + 1.0f);
        h = m_stretch + 1.0f;
    }
    const float s = l * (4.0f * (1.0f - g) * l - 4.0f * (1.0f - g)) + 1.0f;
    const D3DVECTOR stretched = {p.x * s, p.y * h, p.z * s};
    *out = transformPoint(m_fromDeformation, stretched);
}

void CModifierStretch::apply(const MeshVertex* in, MeshVertex* out, int index)
{
    ApplyThroughDeformPoint(in, out, index);
}

void CModifierStretch::applyAll(const MeshVertex* in, MeshVertex* out, int count)
{
    ApplyEachPoint(in, out, count,
                   [this](const D3DVECTOR* p, D3DVECTOR* q, int i) { CModifierStretch::deformPoint(p, q, i); });
}
