// A camera and lights for a model that brings none, so that it shows the way
// a model viewer first shows it: the camera frames the model's box over its
// whole animation from the model's front (+Z, the side glTF models face),
// a little above, with the engine's projection; a key light above and to the
// right of the camera and a fainter fill light to its left light the side
// the camera sees, bright enough that the materials' colours show.
#pragma once

#include "tools/import/animated_bounds.h"
#include "tools/import/conversion_report.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace import {

// How far above the level the added camera looks down at the model.
constexpr float kViewingElevation = 0.2618f; // 15 degrees
// The vertical angle the added camera shows, unless the model is too small
// for the engine's near plane or too large for its far plane.
constexpr float kViewingVerticalAngle = 0.7854f; // 45 degrees
// Share of the picture's half height or half width the box may reach.
constexpr float kViewingMargin = 0.9f;
// Light each added light brings to the model's centre, a share of full
// light: with the scene's ambient 0.2, a surface facing the camera shows
// about its own colour.
constexpr float kKeyLight = 0.7f;
constexpr float kFillLight = 0.3f;

// Adds the camera when the scene has none (report->cameras is 0), and the
// two lights, placed from the scene's first camera, when it has no light
// (report->lights is 0). `box` is the model's, in the model's axes.
void AddViewingCameraAndLights(const Box& box, kvf::Scene* out, ConversionReport* report);

} // namespace import
