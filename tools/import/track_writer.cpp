#include "tools/import/track_writer.h"

#include <cmath>

#include "tools/import/axis_conversion.h"

namespace import {

namespace {

constexpr int32_t kKeyframed = kvf::kControllerTcb;
constexpr int32_t kSampled = kvf::kControllerSampled;

kvf::Key VectorKey(float time, const kvf::Vec3& v)
{
    return kvf::VectorKey(time, v.x, v.y, v.z);
}

kvf::Key RotationKey(float time, const aiQuaternion& q)
{
    kvf::Vec3 axis;
    float angle = 0.0f;
    RotationToFile(q, &axis, &angle);
    kvf::Key key = VectorKey(time, axis);
    key.value[3] = angle;
    return key;
}

// Whether every key of the track falls on a whole frame.
template <typename Key>
bool OnWholeFrames(const Key* keys, unsigned count, const AnimationClock& clock)
{
    for (unsigned i = 0; i < count; ++i) {
        const double frame = clock.FrameAtTicks(keys[i].mTime);
        if (std::fabs(frame - std::round(frame)) > 1e-4 || frame < 0.0 || frame > kMaxFrames) {
            return false;
        }
        if (i > 0 && !(keys[i].mTime > keys[i - 1].mTime)) {
            return false;
        }
    }
    return true;
}

enum class TrackKind { Constant, Keyed, Sampled };

template <typename Key>
TrackKind Choose(const Key* keys, unsigned count, const AnimationClock& clock, const TrackOptions& options)
{
    if (count < 2) {
        return TrackKind::Constant;
    }
    return options.keepTcb && OnWholeFrames(keys, count, clock) ? TrackKind::Keyed : TrackKind::Sampled;
}

} // namespace

NodeTracks MakeNodeTracks(const aiNode* node, const NodeAnimation& animation, const TrackOptions& options)
{
    const AnimationClock& clock = animation.Clock();
    const aiNodeAnim* track = animation.Track(node);
    const NodePose rest = animation.LocalPose(node, 0.0);
    NodeTracks out;
    out.position.type = kKeyframed;
    out.position.keys = {VectorKey(0.0f, ToFile(rest.position * options.scale))};
    out.rotation.type = kKeyframed;
    out.rotation.keys = {RotationKey(0.0f, rest.rotation)};
    out.scale.type = kKeyframed;
    out.scale.keys = {VectorKey(0.0f, ScaleToFile(rest.scale))};
    if (track == nullptr) {
        return out;
    }

    const int endFrame = clock.EndFrame();
    std::vector<NodePose> poses;
    auto pose = [&](int frame) -> const NodePose& {
        if (poses.empty()) {
            poses.reserve(endFrame + 1);
            for (int f = 0; f <= endFrame; ++f) {
                poses.push_back(animation.LocalPose(node, clock.TicksAtFrame(f)));
            }
        }
        return poses[frame];
    };
    auto frameOf = [&](double ticks) { return static_cast<float>(std::round(clock.FrameAtTicks(ticks))); };

    switch (Choose(track->mPositionKeys, track->mNumPositionKeys, clock, options)) {
    case TrackKind::Constant:
        break;
    case TrackKind::Keyed:
        out.position.keys.clear();
        for (unsigned i = 0; i < track->mNumPositionKeys; ++i) {
            const aiVectorKey& k = track->mPositionKeys[i];
            out.position.keys.push_back(VectorKey(frameOf(k.mTime), ToFile(k.mValue * options.scale)));
        }
        break;
    case TrackKind::Sampled:
        out.position.type = kSampled;
        out.position.keys.clear();
        for (int f = 0; f <= endFrame; ++f) {
            out.position.keys.push_back(VectorKey(static_cast<float>(f), ToFile(pose(f).position * options.scale)));
        }
        break;
    }

    switch (Choose(track->mRotationKeys, track->mNumRotationKeys, clock, options)) {
    case TrackKind::Constant:
        break;
    case TrackKind::Keyed: {
        // Key-framed rotation keys turn relative to the key before them.
        out.rotation.keys.clear();
        aiQuaternion previous;
        for (unsigned i = 0; i < track->mNumRotationKeys; ++i) {
            aiQuaternion q = track->mRotationKeys[i].mValue;
            q.Normalize();
            const aiQuaternion relative = i == 0 ? q : q * aiQuaternion(previous).Conjugate();
            out.rotation.keys.push_back(RotationKey(frameOf(track->mRotationKeys[i].mTime), relative));
            previous = q;
        }
        break;
    }
    case TrackKind::Sampled:
        out.rotation.type = kSampled;
        out.rotation.keys.clear();
        for (int f = 0; f <= endFrame; ++f) {
            out.rotation.keys.push_back(RotationKey(static_cast<float>(f), pose(f).rotation));
        }
        break;
    }

    switch (Choose(track->mScalingKeys, track->mNumScalingKeys, clock, options)) {
    case TrackKind::Constant:
        break;
    case TrackKind::Keyed:
        out.scale.keys.clear();
        for (unsigned i = 0; i < track->mNumScalingKeys; ++i) {
            const aiVectorKey& k = track->mScalingKeys[i];
            out.scale.keys.push_back(VectorKey(frameOf(k.mTime), ScaleToFile(k.mValue)));
        }
        break;
    case TrackKind::Sampled:
        out.scale.type = kSampled;
        out.scale.keys.clear();
        for (int f = 0; f <= endFrame; ++f) {
            out.scale.keys.push_back(VectorKey(static_cast<float>(f), ScaleToFile(pose(f).scale)));
        }
        break;
    }
    return out;
}

kvf::Controller PositionTrack(const std::vector<aiVector3D>& positions)
{
    kvf::Controller track;
    bool moves = false;
    for (const aiVector3D& p : positions) {
        moves = moves || !(p == positions.front());
    }
    track.type = moves ? kSampled : kKeyframed;
    for (size_t f = 0; f < (moves ? positions.size() : 1); ++f) {
        track.keys.push_back(VectorKey(static_cast<float>(f), ToFile(positions[f])));
    }
    return track;
}

kvf::Controller AngleTrack(const std::vector<float>& angles)
{
    kvf::Controller track;
    track.type = kKeyframed;
    bool moves = false;
    for (float a : angles) {
        moves = moves || a != angles.front();
    }
    for (size_t f = 0; f < (moves ? angles.size() : 1); ++f) {
        kvf::Key key;
        key.time = static_cast<float>(f);
        key.value[0] = angles[f];
        track.keys.push_back(key);
    }
    return track;
}

} // namespace import

