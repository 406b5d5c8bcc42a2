#include "modifiers/modifier_wave.h"

#include <cmath>

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

void CModifierWave::PrepareControllers()
{
    CControllerFloat* const parameters[] = {m_amplitude1Controller, m_amplitude2Controller, m_waveLengthController,
                                            m_phaseController, m_decayController};
    PrepareControllersOnce(parameters, 5);
}

void CModifierWave::prepare()
{
    m_pointFunction = m_type == kWave ? &CModifierWave::LinearWave : &CModifierWave::Ripple;
    PrepareControllers();
    Restamp();
}

void CModifierWave::setTime(const float* time)
{
    PrepareControllers();
    SampleGizmo(*time);
    m_amplitude1 = SampleOrZero(m_amplitude1Controller, *time);
    m_amplitude2 = SampleOrZero(m_amplitude2Controller, *time);
    m_waveLength = SampleOrZero(m_waveLengthController, *time);
    m_phase = SampleOrZero(m_phaseController, *time);
    m_decay = SampleOrZero(m_decayController, *time);
}

void CModifierWave::update()
{
    UpdateGizmo();
    InvertToDeformation();
    // The box exactly as received, without centre or modifier matrix.
    m_width = m_boundsMax.x - m_boundsMin.x;
    if (m_decay <= 0.000001f) {
        m_decay = 0.000001f;
    }
    if (m_waveLength == 0.0f) {
        m_waveLength = 0.0001f;
    }
    const float values[] = {m_amplitude1, m_amplitude2, m_waveLength, m_phase, m_decay, m_width};
    KeepDeformation(values, 6);
}

namespace {

// A * e^(-decay * distance) * sin(2 pi (distance / L + phase)); a distance
// of 0 is undamped even by an infinite decay, the limit of the damping.
float WaveHeight(float amplitude, float decay, float distance, float along, float waveLength, float phase)
{
    const float length = waveLength == 0.0f ? 0.0000001f : waveLength;
    const float damping = distance == 0.0f ? 1.0f : std::exp(-decay * distance);
    return amplitude * damping * std::sin(6.2831855f * (along / length + phase));
}

} // namespace

void CModifierWave::LinearWave(const D3DVECTOR* in, D3DVECTOR* out) const
{
    if (m_degenerate != 0 || m_width == 0.0f) {
        *out = *in;
        return;
    }
    const D3DVECTOR p = transformPoint(m_toDeformation, *in);
    const float u = std::fabs(2.0f * p.x / m_width);
    const float amplitude = (1.0f - u * u) * m_amplitude1 + u * u * m_amplitude2;
    const float d = WaveHeight(amplitude, m_decay, std::fabs(p.z), p.z, m_waveLength, m_phase);
    *out = transformPoint(m_fromDeformation, D3DVECTOR{p.x, p.y + d, p.z});
}

void CModifierWave::Ripple(const D3DVECTOR* in, D3DVECTOR* out) const
{
    if (m_degenerate != 0) {
        *out = *in;
        return;
    }
    const D3DVECTOR p = transformPoint(m_toDeformation, *in);
    float amplitude = m_amplitude1;
    if (m_amplitude1 != m_amplitude2) {
        const float r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        if (r != 0.0f) {
            // 0 toward +-x, 1 at right angles to x, eased between.
            float a = std::acos(p.x / r) * 0.31830987f;
            if (a > 0.5f) {
                a = 1.0f - a;
            }
            a = 2.0f * a;
            const float s = a < 0.0f ? 0.0f : (a >= 1.0f ? 1.0f : a * a * (3.0f - 2.0f * a));
            amplitude = (1.0f - s) * m_amplitude1 + s * m_amplitude2;
        }
    }
    const float rho = std::sqrt(p.x * p.x + p.z * p.z);
    const float d = WaveHeight(amplitude, m_decay, rho, rho, m_waveLength, m_phase);
    *out = transformPoint(m_fromDeformation, D3DVECTOR{p.x, p.y + d, p.z});
}

void CModifierWave::deformPoint(const D3DVECTOR* in, D3DVECTOR* out, int)
{
    LinearWave(in, out);
}

void CModifierWave::apply(const MeshVertex* in, MeshVertex* out, int)
{
    const D3DVECTOR position = {in->x, in->y, in->z};
    D3DVECTOR moved;
    (this->*m_pointFunction)(&position, &moved);
    *out = *in;
    out->x = moved.x;
    out->y = moved.y;
    out->z = moved.z;
}

void CModifierWave::applyAll(const MeshVertex* in, MeshVertex* out, int count)
{
    if (m_pointFunction == &CModifierWave::Ripple) {
        ApplyEachPoint(in, out, count, [this](const D3DVECTOR* p, D3DVECTOR* q, int) { Ripple(p, q); });
    } else {
        ApplyEachPoint(in, out, count, [this](const D3DVECTOR* p, D3DVECTOR* q, int) { LinearWave(p, q); });
    }
}
