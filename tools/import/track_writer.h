// Turns poses over time into the node's three controller records: one
// constant key when nothing moves, key-framed TCB tracks where the model
// keys whole frames and the source keeps such keys (3DS), and otherwise one
// sampled key per frame of the scene.
#pragma once

#include <vector>

#include "tools/import/node_animation.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace import {

struct NodeTracks {
    kvf::Controller position;
    kvf::Controller rotation; // selector 1 (axis-angle family)
    kvf::Controller scale;
};

struct TrackOptions {
    float scale = 1.0f;  // applied to positions
    bool keepTcb = false; // the source keys are TCB keys (3DS)
};

NodeTracks MakeNodeTracks(const aiNode* node, const NodeAnimation& animation, const TrackOptions& options);

// Tracks from a pose per frame (frames 0 to poses.size() - 1), for objects
// placed in world space (cameras, lights and their targets).
kvf::Controller PositionTrack(const std::vector<aiVector3D>& positions);
// A float track of the angle family: one TCB key per frame (a sampled
// float kind does not exist for node rotations).
kvf::Controller AngleTrack(const std::vector<float>& angles);

} // namespace import
