// A figure skinned on eleven bones: one mesh (pelvis, torso, head, arms and
// legs as tubes, hands and feet) whose vertices follow helper objects that
// node tracks swing in a walk. Joints bend smoothly: the vertices near a
// joint are shared between the two bones that meet there.
#pragma once

#include <string>
#include <vector>

#include "content/geometry.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace content {

struct Walker {
    kvf::Mesh mesh;                  // carries the skin modifier
    std::vector<kvf::Helper> bones;  // one helper per bone
    std::vector<kvf::Node> nodes;    // the mesh's node, then the bone tree
};

// The figure walks `laps` times round a circle of `radius` about the origin,
// counter-clockwise seen from above, in `frames` frames, one stride every 30
// frames. Its materials (ids of the scene's table) are `skin` for the head
// and arms, `cloth` for the pelvis and legs, `shirt` for the torso.
// Where the walker's hips are at a frame.
Vec3 WalkerHips(float radius, float frame);

Walker MakeWalker(const std::string& name, float radius, int frames, int32_t skin, int32_t cloth, int32_t shirt);

} // namespace content
