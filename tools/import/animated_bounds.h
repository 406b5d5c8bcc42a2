// The box the model's drawn vertices fill over its whole animation: every
// mesh where its node puts it, skinned meshes deformed by their bones, at
// every frame the scene plays.
#pragma once

#include <assimp/scene.h>

#include "tools/import/node_animation.h"

namespace import {

struct Box {
    aiVector3D min, max;
    bool empty = true;

    void Add(const aiVector3D& p);
    aiVector3D Centre() const { return (min + max) * 0.5f; }
};

// Work the box may take, in node poses and vertex transforms: beyond it the
// frames are sampled evenly (the first and last always).
constexpr double kBoundsWork = 4e7;

// The box in the model's axes, times `scale`. Vertices that are not finite
// are left out; a model without any gives an empty box.
Box AnimatedBounds(const aiScene* scene, const NodeAnimation& animation, float scale);

} // namespace import
