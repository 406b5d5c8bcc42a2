// Pieces every scene of the show is made of: materials, a camera with its
// target, lights, and the nodes that place and animate objects. Positions
// are in the scene file's axes (Z up).
#pragma once

#include <string>
#include <vector>

#include "content/animation.h"
#include "content/geometry.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace content {

// A lit material of one colour; `shine` above 0 adds white highlights.
kvf::Material ColourMaterial(int32_t id, const std::string& name, Vec3 colour, float shine = 0.0f);
// A material showing the texture `file` (white, so the texture is not tinted).
kvf::Material TextureMaterial(int32_t id, const std::string& name, const std::string& file, float shine = 0.0f);
// A reflective material: the picture `file` mapped from the view of the
// surface's normals (a sphere map), added over the same picture mapped by
// the faces' own coordinates. Meant for unlit meshes with dark vertex
// colours, so that the reflection gives the colour.
kvf::Material ReflectionMaterial(int32_t id, const std::string& name, const std::string& file);
// A material showing `file`, a picture with alpha, blended by its alpha (an
// opacity map beside the texture): its faces are drawn with the glass, after
// the opaque ones, and leave the device blending by source alpha, which is
// what the captions drawn after the scene need.
kvf::Material DecalMaterial(int32_t id, const std::string& name, const std::string& file);
// Faces drawn after the opaque ones, sorted back to front and blended by
// their own lit colour (brighter is more opaque, so glass colours are kept
// dark); seen from both sides.
kvf::Material GlassMaterial(int32_t id, const std::string& name, Vec3 colour);

// A node with constant scale 1; `rotation` defaults to none.
kvf::Node MakeNode(int32_t depth, kvf::NodeKind kind, const std::string& name, const kvf::Controller& position,
                   const kvf::Controller& rotation = kvf::ConstantRotation(0, 0, 1, 0));
kvf::Controller At(Vec3 position);

// A camera and the two nodes that fly it: the eye's path, the target's path
// and the roll about the viewing direction (radians; all zero for none).
struct CameraRig {
    kvf::Camera camera;
    kvf::Node eye;
    kvf::Node target;
};
CameraRig MakeCamera(const std::string& name, const kvf::Controller& eyePath, const kvf::Controller& targetPath,
                     const kvf::Controller& roll = kvf::ConstantFloat(0.0f), float fieldOfView = 0.9f);

// Every scene that draws through its own pass has this many lights: the
// player never switches a light off, so a scene with fewer would go on
// lighting with the last ones of the scene shown before it.
constexpr int kLightsPerScene = 3;

// A point light bright about `reach` units away and dark beyond 4 x reach.
kvf::Light PointLight(const std::string& name, Vec3 position, Vec3 colour, float reach);
// A spot light whose target is in its record (type 2: markers are drawn at
// the light and the target, and a target node may move the target).
kvf::Light TargetSpot(const std::string& name, Vec3 position, Vec3 target, Vec3 colour, float reach, float hotspot,
                      float falloff);
// A spot light whose target comes from a target node (type 3); it keeps the
// direction from where it stands to the origin.
kvf::Light NodeSpot(const std::string& name, Vec3 position, Vec3 colour, float reach, float hotspot, float falloff);

// Deformers in the mesh's own space, about its origin, on the file's Z axis
// (axis code 2) unless said otherwise. Angles in degrees.
kvf::Modifier Bend(const kvf::Controller& angle, float direction = 0.0f);
kvf::Modifier Twist(const kvf::Controller& angle, float bias = 0.0f);
kvf::Modifier Stretch(const kvf::Controller& amount, float amplify = 0.0f);
// A travelling wave (along the player's z, the file's -Y, lifting along the
// file's Z) or a ripple in circles about Z; the phase track moves it.
kvf::Modifier Wave(float amplitude, float waveLength, const kvf::Controller& phase, float decay = 0.0f);
kvf::Modifier Ripple(float amplitude, float waveLength, const kvf::Controller& phase, float decay = 0.0f);

} // namespace content
