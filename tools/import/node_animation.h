// Evaluates the model's node tree at a time of its first animation, the way
// the library's own players interpolate its keys: positions and scales
// linearly, rotations by spherical interpolation, the first and last keys
// held outside the keyed span. Nodes without a track keep their transform.
#pragma once

#include <assimp/scene.h>

#include <unordered_map>
#include <vector>

namespace import {

// The longest animation converted: 20 minutes at 30 frames per second.
constexpr int kMaxFrames = 36000;

// Times of the animation in ticks and in the scene's frames.
struct AnimationClock {
    double ticksPerSecond = 30.0; // the library's 0 ("not given") is taken as 30
    double durationTicks = 0.0;
    int framesPerSecond = 30;

    double TicksAtFrame(double frame) const { return frame * ticksPerSecond / framesPerSecond; }
    double FrameAtTicks(double ticks) const { return ticks * framesPerSecond / ticksPerSecond; }
    // The last frame of the animation, rounded up to a whole frame, at most
    // kMaxFrames.
    int EndFrame() const;
};

struct NodePose {
    aiVector3D position;
    aiQuaternion rotation;
    aiVector3D scale{1.0f, 1.0f, 1.0f};
};

class NodeAnimation {
public:
    // `animation` may be null: every node keeps its transform.
    NodeAnimation(const aiScene* scene, const aiAnimation* animation, int framesPerSecond);

    const AnimationClock& Clock() const { return m_clock; }
    // The node's track in the animation, or null.
    const aiNodeAnim* Track(const aiNode* node) const;
    // The node's local pose at `ticks`.
    NodePose LocalPose(const aiNode* node, double ticks) const;
    // Every node's world transform at `ticks` (parents first, iteratively).
    void WorldMatrices(double ticks, std::unordered_map<const aiNode*, aiMatrix4x4>* out) const;

private:
    const aiScene* m_scene;
    AnimationClock m_clock;
    std::unordered_map<const aiNode*, const aiNodeAnim*> m_tracks;
};

NodePose Decompose(const aiMatrix4x4& m);
aiMatrix4x4 Compose(const NodePose& pose);

} // namespace import
