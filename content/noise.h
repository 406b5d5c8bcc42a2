// Smooth value noise for the generated pictures. Every lattice coordinate is
// taken modulo a period, so a picture sampled over one period tiles without
// a seam; the sky uses a period larger than anything it samples.
#pragma once

namespace content {

float ValueNoise(float x, float y, float z, int period);
// Sum of octaves of value noise, each of twice the frequency and half the
// weight of the one before; about 0 to 1.
float FractalNoise(float x, float y, float z, int period, int octaves);

} // namespace content
