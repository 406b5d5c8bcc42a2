// Cameras and lights of the model. The engine places both by their nodes'
// own positions (not world matrices), so each gets a root node whose tracks
// hold its world position frame by frame; a camera's roll rides on its
// rotation track and its target on a target node. A camera without a target
// looks at a point placed along its view direction, moving with it.
#pragma once

#include <assimp/scene.h>

#include <string>

#include "tools/import/animated_bounds.h"
#include "tools/import/conversion_report.h"
#include "tools/import/node_animation.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace import {

// Distance from the eye at which a camera without a target looks.
constexpr float kTargetDistance = 100.0f;

// `path` is the model's file: 3DS cameras are read from it again. With
// `modelBox` (the model's box over its animation) each light is made to
// bring the model the light its file gives at the box's centre: the
// engine's lights fall off with distance, not with its square, and most
// formats' lights do not fall off at all. Without it a light's range comes
// from its linear (or else quadratic) attenuation as it is.
void ConvertCamerasAndLights(const aiScene* scene, const std::string& path, const NodeAnimation& animation,
                             float scale, const Box* modelBox, kvf::Scene* out, ConversionReport* report);

// The engine's roll angle for a camera at `eye` looking along `forward`
// with `up`, all in the model's frame: the angle that turns the engine's
// level view of that direction to that up vector.
float RollAngle(const aiVector3D& forward, const aiVector3D& up);

// The engine's field of view (its vertical angle is 0.8 of it, its aspect
// 1.334) that shows the horizontal half-angle `halfHorizontal`.
float EngineFieldOfView(float halfHorizontal);

} // namespace import
