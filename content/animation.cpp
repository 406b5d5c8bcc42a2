#include "content/animation.h"

#include <algorithm>
#include <cmath>

namespace content {

namespace {

// Rotation keys hold unit axes: the player takes the axis as stored.
Vec3 Unit(Vec3 v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0.0f ? v * (1.0f / length) : Vec3{0, 0, 1};
}

} // namespace

kvf::Controller PositionTrack(const VectorKeys& keys)
{
    kvf::Controller track;
    track.type = 0;
    for (const auto& [time, value] : keys) {
        track.keys.push_back(kvf::VectorKey(time, value.x, value.y, value.z));
    }
    return track;
}

kvf::Controller PositionTrackOf(int frames, const std::function<Vec3(float frame)>& at, int step)
{
    VectorKeys keys;
    for (int frame = 0; frame < frames; frame += step) {
        keys.emplace_back(static_cast<float>(frame), at(static_cast<float>(frame)));
    }
    keys.emplace_back(static_cast<float>(frames), at(static_cast<float>(frames)));
    return PositionTrack(keys);
}

kvf::Controller Turned(Vec3 axis, float angle)
{
    axis = Unit(axis);
    return kvf::ConstantRotation(axis.x, axis.y, axis.z, -angle);
}

kvf::Controller TurnedTwice(Vec3 firstAxis, float firstAngle, Vec3 thenAxis, float thenAngle)
{
    // Quaternions (w, v); the product q2 q1 turns by q1 first.
    const Vec3 v1 = Unit(firstAxis) * std::sin(firstAngle * 0.5f), v2 = Unit(thenAxis) * std::sin(thenAngle * 0.5f);
    const float w1 = std::cos(firstAngle * 0.5f), w2 = std::cos(thenAngle * 0.5f);
    const float w = w2 * w1 - (v2.x * v1.x + v2.y * v1.y + v2.z * v1.z);
    const Vec3 cross{v2.y * v1.z - v2.z * v1.y, v2.z * v1.x - v2.x * v1.z, v2.x * v1.y - v2.y * v1.x};
    const Vec3 v = v1 * w2 + v2 * w1 + cross;
    return Turned(v, 2.0f * std::acos(std::clamp(w, -1.0f, 1.0f)));
}

kvf::Controller SpinTrack(Vec3 axis, float turns, int frames)
{
    const int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(turns) * 4.0f)));
    const float angle = turns * 2.0f * kPi / steps;
    axis = Unit(axis);
    kvf::Controller track;
    track.type = 0;
    for (int i = 0; i <= steps; ++i) {
        kvf::Key key = kvf::VectorKey(std::round(static_cast<float>(frames) * i / steps), axis.x, axis.y, axis.z);
        key.value[3] = i == 0 ? 0.0f : -angle; // each key turns on from the one before
        track.keys.push_back(key);
    }
    return track;
}

kvf::Controller SampledRotationTrack(int frames, const std::function<std::pair<Vec3, float>(float frame)>& at)
{
    kvf::Controller track;
    track.type = 2;
    for (int frame = 0; frame <= frames; ++frame) {
        const auto [given, angle] = at(static_cast<float>(frame));
        const Vec3 axis = Unit(given);
        kvf::Key key = kvf::VectorKey(static_cast<float>(frame), axis.x, axis.y, axis.z);
        key.value[3] = -angle;
        track.keys.push_back(key);
    }
    return track;
}

kvf::Controller FloatTrack(const FloatKeys& keys)
{
    kvf::Controller track;
    track.type = 0;
    for (const auto& [time, value] : keys) {
        kvf::Key key;
        key.time = time;
        key.value[0] = value;
        track.keys.push_back(key);
    }
    return track;
}

kvf::Controller FloatTrackOf(int frames, int step, const std::function<float(float frame)>& at)
{
    FloatKeys keys;
    for (int frame = 0; frame < frames; frame += step) {
        keys.emplace_back(static_cast<float>(frame), at(static_cast<float>(frame)));
    }
    keys.emplace_back(static_cast<float>(frames), at(static_cast<float>(frames)));
    return FloatTrack(keys);
}

} // namespace content
