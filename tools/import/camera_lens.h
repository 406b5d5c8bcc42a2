// The field of view of a model's camera in the engine's terms. The engine
// shows a vertical angle of 0.8 times a camera's field of view, at an aspect
// of 1.334. Each format gives its angle its own way, and the library passes
// it on in aiCamera::mHorizontalFOV with its own habits:
// - glTF: the vertical angle yfov times the aspect ratio (yfov alone when
//   the file gives no aspect). The vertical angle is kept, as glTF viewers
//   keep it whatever the window's shape.
// - Collada: the whole horizontal angle (xfov, or computed from yfov and
//   the aspect ratio), with the aspect when the file gives one. The engine
//   shows at least the camera's horizontal and vertical angles. (The file's
//   own angles, read by collada_lens.h, are better where they can be read.)
// - 3DS, FBX and the rest: the whole horizontal angle, which is kept.
#pragma once

#include <assimp/scene.h>

#include <string>

namespace import {

constexpr float kEngineAspect = 1.334f;
// The engine's vertical angle is this share of a camera's field of view.
constexpr float kEngineVerticalShare = 0.8f;
// What a camera whose angle makes no sense is given: 45 degrees vertically.
constexpr float kDefaultVerticalAngle = 0.785398163f;

enum class LensConvention { Gltf, Collada, HorizontalAngle };

// The convention of the library's format name (SourceFormat).
LensConvention LensConventionOf(const std::string& sourceFormat);

// The engine's field of view that shows this whole vertical angle.
float FieldOfViewForVertical(float vertical);
// The engine's field of view that shows this whole horizontal angle.
float FieldOfViewForHorizontal(float horizontal);

// The engine's field of view for the camera; false, with a reason in
// *problem and the default angle in *fieldOfView, when the camera's values
// give no angle between 0 and 180 degrees.
bool CameraFieldOfView(const aiCamera& camera, LensConvention convention, float* fieldOfView, std::string* problem);

// The engine's field of view that shows at least a Collada camera's whole
// horizontal and vertical angles (degrees; 0 when not given, the missing one
// made from the aspect ratio); false when no angle between 0 and 180
// degrees results.
bool ColladaFieldOfView(float xfovDegrees, float yfovDegrees, float aspect, float* fieldOfView);

} // namespace import
