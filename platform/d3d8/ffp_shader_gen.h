// GLSL 3.30 programs generated for one fixed-function state (an FfpKey).
// Everything the key decides is resolved while generating, so the programs
// carry no branches on state; values that change often (matrices, material,
// lights, texture factor) are uniforms.
//
// Uniform interface (matrices are Direct3D's row-major floats loaded as they
// are, so the shaders compute `M * v` for Direct3D's `v * M`):
//   mat4 uWorldViewProj, uWorldView, uNormalMatrix
//   vec4 uPosFix        x: c / viewport width, y: -c / viewport height
//   vec4 uScreen        pre-transformed pixels to NDC: xy scale, zw offset
//   vec4 uMaterial[5]   diffuse, ambient, specular, emissive, (power, 0, 0, 0)
//   vec4 uAmbient       the AMBIENT render state
//   vec4 uLights[48]    six per light, see kLightVec4s
//   mat4 uTexMatrix[8]
//   vec4 uTFactor; float uAlphaRef (0 to 255); sampler2D uTex0..uTex7
#pragma once

#include <string>

#include "platform/d3d8/ffp_shader_key.h"

namespace zolt_d3d {

// Per light: diffuse (w: unused), specular (w: cos(Phi / 2)), ambient,
// camera-space position (w: range), camera-space direction (directional:
// the unit vector towards the light; spot: the unit spot direction; w:
// falloff), attenuation (a0, a1, a2, cos(Theta / 2)).
constexpr int kLightVec4s = 6;

// Vertex attribute locations.
constexpr int kAttribPosition = 0;
constexpr int kAttribNormal = 1;
constexpr int kAttribDiffuse = 2;
constexpr int kAttribSpecular = 3;
constexpr int kAttribTexCoord0 = 4; // sets 0 to 7 at 4 to 11

// zeroToOneDepth: the context clips depth to [0, w] itself (clip control);
// otherwise the shader maps Direct3D's depth onto OpenGL's [-w, w].
std::string GenerateFfpVertexShader(const FfpKey& key, bool zeroToOneDepth);
std::string GenerateFfpFragmentShader(const FfpKey& key);

} // namespace zolt_d3d
