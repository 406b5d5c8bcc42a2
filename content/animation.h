// Animation tracks for the show's nodes, in the scene file's axes. Times are
// frames. Angles are right-handed (counter-clockwise seen from the tip of the
// axis, in radians); the file's own rotation angles turn the other way once
// the player has mirrored the axes, so the tracks store them negated.
// Key-framed tracks use zero tension, continuity and bias, so two keys
// interpolate linearly and more keys pass smoothly through every key.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "content/geometry.h"

namespace content {

using VectorKeys = std::vector<std::pair<float, Vec3>>;
using FloatKeys = std::vector<std::pair<float, float>>;

// Position (or scale) track through the given keys.
kvf::Controller PositionTrack(const VectorKeys& keys);
// A smooth path given as a function: key-framed at every `step` frames from 0
// to `frames` (and at `frames`), passing smoothly through the keys.
kvf::Controller PositionTrackOf(int frames, const std::function<Vec3(float frame)>& at, int step = 5);

// A constant rotation by `angle` about `axis`.
kvf::Controller Turned(Vec3 axis, float angle);
// A constant rotation: first by `firstAngle` about `firstAxis`, then by
// `thenAngle` about `thenAxis`.
kvf::Controller TurnedTwice(Vec3 firstAxis, float firstAngle, Vec3 thenAxis, float thenAngle);
// A turn of `turns` whole turns about `axis` from frame 0 to `frames`, at a
// steady rate, as key-framed relative rotations of a quarter turn or less.
kvf::Controller SpinTrack(Vec3 axis, float turns, int frames);
// One absolute rotation per frame from 0 to `frames`: axis and angle given by
// the function (angle in radians). For bones and other swinging parts.
kvf::Controller SampledRotationTrack(int frames, const std::function<std::pair<Vec3, float>(float frame)>& at);

// A float track through the keys (modifier parameters, camera roll).
kvf::Controller FloatTrack(const FloatKeys& keys);
// A float track given as a function, key-framed every `step` frames.
kvf::Controller FloatTrackOf(int frames, int step, const std::function<float(float frame)>& at);

} // namespace content
