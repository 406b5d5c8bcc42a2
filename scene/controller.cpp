#include "scene/controller.h"

#include <cmath>

namespace {

// The angle difference beyond which two rotation keys are more than a full
// turn apart and the tangent takes the half-turn logarithm of the axis.
constexpr double kFullTurnThreshold = 6.282185481977649;
constexpr float kInverseTwoPi = 0.15915494f;

// Where t falls among key times: either an end key (segment < 0 with `index`
// the key to return) or a segment [i, i+1] with the fraction u.
struct SegmentSearch {
    int index;
    bool inside;
    float u;
};

template <typename Key>
SegmentSearch FindSegment(const Key* keys, int32_t count, float t)
{
    const float first = static_cast<float>(keys[0].time);
    const float last = static_cast<float>(keys[count - 1].time);
    if (count == 1 || t < first) {
        return SegmentSearch{0, false, 0.0f};
    }
    if (t > last || t == last) {
        return SegmentSearch{count - 1, false, 0.0f};
    }
    for (int i = 0; i + 1 < count; ++i) {
        const float t0 = static_cast<float>(keys[i].time);
        const float t1 = static_cast<float>(keys[i + 1].time);
        if (t0 <= t && t < t1) {
            return SegmentSearch{i, true, (t - t0) / (t1 - t0)};
        }
    }
    // Only a time that compares with nothing (NaN) gets here.
    return SegmentSearch{0, false, 0.0f};
}

// One key per frame: key number t (truncated), held within the track.
template <typename Key>
int SampledIndex(const Key* keys, int32_t count, float t)
{
    if (count == 1 || t < keys[0].time) {
        return 0;
    }
    if (t > keys[count - 1].time) {
        return count - 1;
    }
    if (!(t >= 0.0f)) {
        return 0;
    }
    if (t >= static_cast<float>(count - 1)) {
        return count - 1;
    }
    return static_cast<int>(t);
}

float Hermite(float e, float p0, float p1, float out0, float in1)
{
    const float e2 = e * e;
    const float e3 = e2 * e;
    return (2.0f * e3 - 3.0f * e2 + 1.0f) * p0 + (3.0f * e2 - 2.0f * e3) * p1 + (e3 - 2.0f * e2 + e) * out0 +
           (e3 - e2) * in1;
}

// TCB tangents of one value component, shared by the vector and float kinds.
// get(k) is the value, time(k) the key time, and the tangents are written
// through setIn/setOut.
template <typename Key, typename Get, typename SetIn, typename SetOut>
void ComputeTangents(const Key* keys, int32_t n, Get get, SetIn setIn, SetOut setOut)
{
    if (n < 2) {
        return;
    }
    auto time = [keys](int k) { return static_cast<float>(keys[k].time); };
    if (n == 2) {
        const float d = get(1) - get(0);
        setOut(0, d * (1.0f - keys[0].tension));
        setIn(1, d * (1.0f - keys[1].tension));
        return;
    }
    for (int k = 1; k <= n - 2; ++k) {
        const float t = keys[k].tension;
        const float c = keys[k].continuity;
        const float b = keys[k].bias;
        const float dPrev = get(k) - get(k - 1);
        const float dNext = get(k + 1) - get(k);
        const float span = time(k + 1) - time(k - 1);
        setIn(k, ((1.0f - t) * (1.0f + c) * (1.0f - b) * dNext + (1.0f - t) * (1.0f - c) * (1.0f + b) * dPrev) *
                     (time(k) - time(k - 1)) / span);
        setOut(k, ((1.0f - t) * (1.0f - c) * (1.0f - b) * dNext + (1.0f - t) * (1.0f + c) * (1.0f + b) * dPrev) *
                      (time(k + 1) - time(k)) / span);
    }
    {
        const float d = get(2) - get(0);
        const float f = 0.75f - (time(1) - time(0)) / (2.0f * (time(2) - time(0)));
        setOut(0, ((get(1) - get(0) - 0.5f * d) * 1.5f + d * f) * (1.0f - keys[0].tension));
    }
    {
        const int l = n - 1;
        const float d = get(l) - get(l - 2);
        const float f = 0.75f - (time(l) - time(l - 1)) / (2.0f * (time(l) - time(l - 2)));
        setIn(l, ((get(l) - get(l - 1) - 0.5f * d) * 1.5f + d * f) * (1.0f - keys[l].tension));
    }
}

float& Component(D3DVECTOR& v, int axis)
{
    return axis == 0 ? v.x : (axis == 1 ? v.y : v.z);
}

D3DVECTOR ScaledVector(const Quaternion& q, float s)
{
    return D3DVECTOR{q.x * s, q.y * s, q.z * s};
}

} // namespace

float Ease(float u, float easeFrom, float easeTo)
{
    const float s = easeFrom + easeTo;
    if (s == 0.0f) {
        return u;
    }
    if (s > 1.0f) {
        easeFrom /= s;
        easeTo /= s;
    }
    const float k = 1.0f / (2.0f - easeFrom - easeTo);
    if (u < easeFrom) {
        return u * u * k / easeFrom;
    }
    if (u < 1.0f - easeTo) {
        return k * (2.0f * u - easeFrom);
    }
    return 1.0f - (1.0f - u) * (1.0f - u) * k / easeTo;
}

// ---- Vector TCB ------------------------------------------------------------

D3DVECTOR* CControllerVectorTCB::Sample(float t, D3DVECTOR* out) const
{
    if (keyCount <= 0) {
        *out = D3DVECTOR{0.0f, 0.0f, 0.0f};
        return out;
    }
    const SegmentSearch s = FindSegment(keys, keyCount, t);
    if (!s.inside) {
        *out = keys[s.index].value;
        return out;
    }
    const VectorKeyTCB& a = keys[s.index];
    const VectorKeyTCB& b = keys[s.index + 1];
    const float e = Ease(s.u, a.easeFrom, b.easeTo);
    out->x = Hermite(e, a.value.x, b.value.x, a.outTangent.x, b.inTangent.x);
    out->y = Hermite(e, a.value.y, b.value.y, a.outTangent.y, b.inTangent.y);
    out->z = Hermite(e, a.value.z, b.value.z, a.outTangent.z, b.inTangent.z);
    return out;
}

void CControllerVectorTCB::Prepare()
{
    for (int axis = 0; axis < 3; ++axis) {
        VectorKeyTCB* k = keys;
        ComputeTangents(
            keys, keyCount, [k, axis](int i) { return Component(k[i].value, axis); },
            [k, axis](int i, float v) { Component(k[i].inTangent, axis) = v; },
            [k, axis](int i, float v) { Component(k[i].outTangent, axis) = v; });
    }
}

// ---- Vector sampled --------------------------------------------------------

D3DVECTOR* CControllerVectorSampled::Sample(float t, D3DVECTOR* out) const
{
    *out = keyCount > 0 ? keys[SampledIndex(keys, keyCount, t)].value : D3DVECTOR{0.0f, 0.0f, 0.0f};
    return out;
}

// ---- Rotation TCB ----------------------------------------------------------

Quaternion* CControllerRotationTCB::Sample(float t, Quaternion* out) const
{
    if (keyCount <= 0) {
        *out = Quaternion{0.0f, 0.0f, 0.0f, 0.0f};
        return out;
    }
    const SegmentSearch s = FindSegment(keys, keyCount, t);
    if (!s.inside) {
        *out = keys[s.index].absolute;
        return out;
    }
    const RotationKeyTCB& a = keys[s.index];
    const RotationKeyTCB& b = keys[s.index + 1];
    const float e = Ease(s.u, a.easeFrom, b.easeTo);
    const Quaternion q1 = SlerpSpin(a.absolute, b.absolute, e, a.spin);
    const Quaternion q2 = SlerpSpin(a.outTangent, b.inTangent, e, a.spin);
    *out = SlerpSpin(q1, q2, 2.0f * e * (1.0f - e), 0.0f);
    return out;
}

void CControllerRotationTCB::Prepare()
{
    const int n = keyCount;
    if (n < 1) {
        return;
    }
    for (int i = 0; i + 1 < n; ++i) {
        const float d = keys[i + 1].angle - keys[i].angle;
        const float turns = d * kInverseTwoPi;
        keys[i].spin = d > 0.0f ? std::floor(turns) : std::ceil(turns);
    }

    // The logarithm towards a neighbour: the half turn about the neighbour's
    // axis when the two are more than a turn apart, else the shortest
    // logarithmic difference.
    auto beyondTurn = [this](int a, int b) {
        return std::fabs(static_cast<double>(keys[b].angle - keys[a].angle)) > kFullTurnThreshold;
    };
    auto incoming = [this, &beyondTurn](int k) {
        if (beyondTurn(k - 1, k)) {
            return logPure(Quaternion{keys[k].axis.x, keys[k].axis.y, keys[k].axis.z, 0.0f});
        }
        Quaternion p = keys[k - 1].absolute;
        if (dot(keys[k - 1].absolute, keys[k].absolute) < 0.0f) {
            invertInPlace(&p);
        }
        return LnDif(p, keys[k].absolute);
    };
    auto outgoing = [this, &beyondTurn](int k) {
        if (beyondTurn(k, k + 1)) {
            return logPure(Quaternion{keys[k + 1].axis.x, keys[k + 1].axis.y, keys[k + 1].axis.z, 0.0f});
        }
        Quaternion p = keys[k + 1].absolute;
        if (dot(keys[k].absolute, keys[k + 1].absolute) < 0.0f) {
            invertInPlace(&p);
        }
        return LnDif(keys[k].absolute, p);
    };

    auto tangents = [this, n, &incoming, &outgoing](int k) {
        const Quaternion zero{0.0f, 0.0f, 0.0f, 0.0f};
        Quaternion gIn = k > 0 ? incoming(k) : zero;
        Quaternion gOut = k < n - 1 ? outgoing(k) : zero;
        if (k == 0 && n > 1) {
            gIn = gOut;
        }
        if (k == n - 1 && n > 1) {
            gOut = gIn;
        }
        float fp = 1.0f;
        float fn = 1.0f;
        if (k > 0 && k < n - 1) {
            const float span = static_cast<float>(keys[k + 1].time) - static_cast<float>(keys[k - 1].time);
            fp = (static_cast<float>(keys[k].time) - static_cast<float>(keys[k - 1].time)) / (span * 0.5f);
            fn = (static_cast<float>(keys[k + 1].time) - static_cast<float>(keys[k].time)) / (span * 0.5f);
            const float a = std::fabs(keys[k].continuity);
            fp = a + fp - a * fp;
            fn = a + fn - a * fn;
        }
        const float t = keys[k].tension;
        const float c = keys[k].continuity;
        const float b = keys[k].bias;
        const float w1 = (1.0f - t) * (1.0f - c) / 2.0f;
        const float w2 = (1.0f - t) * (1.0f + c) / 2.0f;
        const float outA = (1.0f - b) * w1 * fn - 1.0f;
        const float inA = fn * (1.0f + b) * w2;
        const float outB = -(fp * (1.0f - b) * w2);
        const float inB = 1.0f - fp * (1.0f + b) * w1;
        const D3DVECTOR a = VectorScale(VectorAdd(ScaledVector(gOut, outA), ScaledVector(gIn, inA)), 0.5f);
        const D3DVECTOR bv = VectorScale(VectorAdd(ScaledVector(gOut, outB), ScaledVector(gIn, inB)), 0.5f);
        keys[k].inTangent = multiply(keys[k].absolute, Exp(a));
        keys[k].outTangent = multiply(keys[k].absolute, Exp(bv));
    };

    for (int k = 1; k <= n - 2; ++k) {
        tangents(k);
    }
    tangents(0);
    if (n > 1) {
        tangents(n - 1);
    }
}

// ---- Rotation sampled ------------------------------------------------------

Quaternion* CControllerRotationSampled::Sample(float t, Quaternion* out) const
{
    *out = keyCount > 0 ? keys[SampledIndex(keys, keyCount, t)].value : Quaternion{0.0f, 0.0f, 0.0f, 0.0f};
    return out;
}

// ---- Float TCB -------------------------------------------------------------

float CControllerFloatTCB::Sample(float t) const
{
    if (keyCount <= 0) {
        return 0.0f;
    }
    const SegmentSearch s = FindSegment(keys, keyCount, t);
    if (!s.inside) {
        return keys[s.index].value;
    }
    const FloatKeyTCB& a = keys[s.index];
    const FloatKeyTCB& b = keys[s.index + 1];
    // The float kind interpolates without easing.
    return Hermite(s.u, a.value, b.value, a.outTangent, b.inTangent);
}

void CControllerFloatTCB::Prepare()
{
    FloatKeyTCB* k = keys;
    ComputeTangents(
        keys, keyCount, [k](int i) { return k[i].value; }, [k](int i, float v) { k[i].inTangent = v; },
        [k](int i, float v) { k[i].outTangent = v; });
}

// ---- Float sampled ---------------------------------------------------------

float CControllerFloatSampled::Sample(float t) const
{
    return keyCount > 0 ? keys[SampledIndex(keys, keyCount, t)].value : 0.0f;
}

// ---- Rotation from a float track -------------------------------------------

CControllerRotationAngle::~CControllerRotationAngle()
{
    delete value;
}

Quaternion* CControllerRotationAngle::Sample(float t, Quaternion* out) const
{
    *out = Quaternion{0.0f, 1.0f, 0.0f, value != nullptr ? value->Sample(t) : 0.0f};
    return out;
}

void CControllerRotationAngle::Prepare()
{
    if (value != nullptr) {
        value->Prepare();
    }
}

// ---- Missing controllers ---------------------------------------------------

D3DVECTOR* SampleOrZero(const CControllerVector* controller, float t, D3DVECTOR* out)
{
    if (controller == nullptr) {
        *out = D3DVECTOR{0.0f, 0.0f, 0.0f};
        return out;
    }
    return controller->Sample(t, out);
}

Quaternion* SampleOrIdentity(const CControllerRotation* controller, float t, Quaternion* out)
{
    if (controller == nullptr) {
        *out = Quaternion{0.0f, 0.0f, 0.0f, 1.0f};
        return out;
    }
    return controller->Sample(t, out);
}

float SampleOrZero(const CControllerFloat* controller, float t)
{
    return controller != nullptr ? controller->Sample(t) : 0.0f;
}
