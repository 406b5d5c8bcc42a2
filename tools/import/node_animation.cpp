#include "tools/import/node_animation.h"

#include <cmath>
#include <string>

namespace import {

namespace {

// The keys around `ticks`: index i and the fraction towards key i + 1.
template <typename Key>
void FindSpan(const Key* keys, unsigned count, double ticks, unsigned* index, float* fraction)
{
    *index = 0;
    *fraction = 0.0f;
    if (count < 2 || ticks <= keys[0].mTime) {
        return;
    }
    if (ticks >= keys[count - 1].mTime) {
        *index = count - 1;
        return;
    }
    unsigned lo = 0, hi = count - 1; // keys[lo] <= ticks < keys[hi]
    while (hi - lo > 1) {
        const unsigned mid = (lo + hi) / 2;
        if (keys[mid].mTime <= ticks) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    *index = lo;
    const double span = keys[hi].mTime - keys[lo].mTime;
    *fraction = span > 0.0 ? static_cast<float>((ticks - keys[lo].mTime) / span) : 0.0f;
}

aiVector3D Lerp(const aiVectorKey* keys, unsigned count, double ticks)
{
    unsigned i;
    float f;
    FindSpan(keys, count, ticks, &i, &f);
    if (f == 0.0f) {
        return keys[i].mValue;
    }
    return keys[i].mValue + (keys[i + 1].mValue - keys[i].mValue) * f;
}

aiQuaternion Slerp(const aiQuatKey* keys, unsigned count, double ticks)
{
    unsigned i;
    float f;
    FindSpan(keys, count, ticks, &i, &f);
    if (f == 0.0f) {
        return keys[i].mValue;
    }
    aiQuaternion out;
    aiQuaternion::Interpolate(out, keys[i].mValue, keys[i + 1].mValue, f);
    return out.Normalize();
}

} // namespace

int AnimationClock::EndFrame() const
{
    const double frames = FrameAtTicks(durationTicks);
    if (!(frames > 0.0)) {
        return 0;
    }
    // A whisker of rounding must not add a frame.
    const double whole = std::ceil(frames - 1e-6);
    return whole > kMaxFrames ? kMaxFrames : static_cast<int>(whole);
}

NodePose Decompose(const aiMatrix4x4& m)
{
    NodePose pose;
    m.Decompose(pose.scale, pose.rotation, pose.position);
    return pose;
}

aiMatrix4x4 Compose(const NodePose& pose)
{
    return aiMatrix4x4(pose.scale, pose.rotation, pose.position);
}

NodeAnimation::NodeAnimation(const aiScene* scene, const aiAnimation* animation, int framesPerSecond)
    : m_scene(scene)
{
    m_clock.framesPerSecond = framesPerSecond;
    if (animation == nullptr) {
        return;
    }
    if (animation->mTicksPerSecond > 0.0) {
        m_clock.ticksPerSecond = animation->mTicksPerSecond;
    }
    m_clock.durationTicks = animation->mDuration;
    std::unordered_map<std::string, const aiNodeAnim*> byName;
    for (unsigned i = 0; i < animation->mNumChannels; ++i) {
        byName.emplace(animation->mChannels[i]->mNodeName.C_Str(), animation->mChannels[i]);
    }
    // Tracks name their nodes; a repeated name drives the first such node
    // in depth-first order, as the library's own lookup does.
    std::vector<const aiNode*> stack{scene->mRootNode};
    while (!stack.empty()) {
        const aiNode* node = stack.back();
        stack.pop_back();
        auto found = byName.find(node->mName.C_Str());
        if (found != byName.end()) {
            m_tracks.emplace(node, found->second);
            byName.erase(found);
        }
        for (unsigned i = node->mNumChildren; i-- > 0;) {
            stack.push_back(node->mChildren[i]);
        }
    }
}

const aiNodeAnim* NodeAnimation::Track(const aiNode* node) const
{
    auto found = m_tracks.find(node);
    return found == m_tracks.end() ? nullptr : found->second;
}

NodePose NodeAnimation::LocalPose(const aiNode* node, double ticks) const
{
    NodePose pose = Decompose(node->mTransformation);
    const aiNodeAnim* track = Track(node);
    if (track == nullptr) {
        return pose;
    }
    if (track->mNumPositionKeys > 0) {
        pose.position = Lerp(track->mPositionKeys, track->mNumPositionKeys, ticks);
    }
    if (track->mNumRotationKeys > 0) {
        pose.rotation = Slerp(track->mRotationKeys, track->mNumRotationKeys, ticks);
    }
    if (track->mNumScalingKeys > 0) {
        pose.scale = Lerp(track->mScalingKeys, track->mNumScalingKeys, ticks);
    }
    return pose;
}

void NodeAnimation::WorldMatrices(double ticks, std::unordered_map<const aiNode*, aiMatrix4x4>* out) const
{
    out->clear();
    std::vector<const aiNode*> stack{m_scene->mRootNode};
    while (!stack.empty()) {
        const aiNode* node = stack.back();
        stack.pop_back();
        const aiMatrix4x4 local = Track(node) != nullptr ? Compose(LocalPose(node, ticks)) : node->mTransformation;
        (*out)[node] = node->mParent != nullptr && out->count(node->mParent) ? (*out)[node->mParent] * local : local;
        for (unsigned i = 0; i < node->mNumChildren; ++i) {
            stack.push_back(node->mChildren[i]);
        }
    }
}

} // namespace import
