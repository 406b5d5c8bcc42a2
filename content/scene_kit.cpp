#include "content/scene_kit.h"

namespace content {

namespace {

kvf::Material BaseMaterial(int32_t id, const std::string& name, Vec3 colour, float shine)
{
    kvf::Material material;
    material.id = id;
    material.name = name;
    material.ambient = colour;
    material.diffuse = colour;
    material.specular = shine > 0.0f ? Vec3{0.8f, 0.8f, 0.8f} : Vec3{};
    material.power = shine;
    return material;
}

kvf::TextMap FileMap(int32_t kind, const std::string& name, const std::string& file)
{
    kvf::TextMap map;
    map.kind = kind;
    map.name = name;
    map.hasFile = 1;
    map.fileName = file;
    return map;
}

} // namespace

kvf::Material ColourMaterial(int32_t id, const std::string& name, Vec3 colour, float shine)
{
    return BaseMaterial(id, name, colour, shine);
}

kvf::Material TextureMaterial(int32_t id, const std::string& name, const std::string& file, float shine)
{
    kvf::Material material = BaseMaterial(id, name, {1, 1, 1}, shine);
    material.maps.push_back(FileMap(1, name + " map", file));
    return material;
}

kvf::Material ReflectionMaterial(int32_t id, const std::string& name, const std::string& file)
{
    // The reflection goes on the second stage, over the same picture on the
    // first: a reflection stage leaves its adding colour operation set after
    // the faces are drawn, which on the first stage would wash out every
    // texture drawn after it.
    kvf::Material material = BaseMaterial(id, name, {1, 1, 1}, 0.0f);
    material.maps.push_back(FileMap(1, name + " base", file));
    material.maps.push_back(FileMap(9, name + " reflection", file));
    return material;
}

kvf::Material DecalMaterial(int32_t id, const std::string& name, const std::string& file)
{
    kvf::Material material = BaseMaterial(id, name, {1, 1, 1}, 0.0f);
    material.maps.push_back(FileMap(1, name + " map", file));
    material.maps.push_back(FileMap(6, name + " opacity", file));
    return material;
}

kvf::Material GlassMaterial(int32_t id, const std::string& name, Vec3 colour)
{
    kvf::Material material = BaseMaterial(id, name, colour, 0.0f);
    material.transparency = 0.5f;
    material.blendKind = 1; // source colour over the inverse source colour
    material.twoSided = 1;
    return material;
}

kvf::Controller At(Vec3 position)
{
    return kvf::ConstantVector(position.x, position.y, position.z);
}

kvf::Node MakeNode(int32_t depth, kvf::NodeKind kind, const std::string& name, const kvf::Controller& position,
                   const kvf::Controller& rotation)
{
    kvf::Node node;
    node.depth = depth;
    node.kind = kind;
    node.name = name;
    node.position = position;
    node.rotation = rotation;
    return node;
}

CameraRig MakeCamera(const std::string& name, const kvf::Controller& eyePath, const kvf::Controller& targetPath,
                     const kvf::Controller& roll, float fieldOfView)
{
    CameraRig rig;
    rig.camera.name = name;
    rig.camera.fieldOfView = fieldOfView;
    const auto first = [](const kvf::Controller& c) {
        return c.keys.empty() ? Vec3{} : Vec3{c.keys[0].value[0], c.keys[0].value[1], c.keys[0].value[2]};
    };
    rig.camera.position = first(eyePath);
    rig.camera.target = first(targetPath);
    // The camera takes its roll from the w of its node's rotation: the angle
    // family of rotation tracks wraps a float track as (0, 1, 0, roll).
    rig.eye = MakeNode(0, kvf::kNodeCamera, name, eyePath, roll);
    rig.eye.rotationSelector = 0;
    rig.target = MakeNode(0, kvf::kNodeCameraTarget, name + " target", targetPath);
    rig.target.ownerName = name;
    return rig;
}

kvf::Light PointLight(const std::string& name, Vec3 position, Vec3 colour, float reach)
{
    kvf::Light light;
    light.name = name;
    light.type = 1;
    light.position = position;
    light.colour = colour;
    // Attenuation is multiplier x range / distance: 1 at `reach`.
    light.rangeFlag = 1;
    light.range = 4.0f * reach;
    light.rangeValue1 = light.range;
    light.multiplier = 0.25f;
    return light;
}

namespace {

kvf::Light Spot(const std::string& name, int32_t type, Vec3 position, Vec3 colour, float reach, float hotspot,
                float falloff)
{
    kvf::Light light = PointLight(name, position, colour, reach);
    light.type = type;
    light.hotspot = hotspot;
    light.falloff = falloff;
    return light;
}

} // namespace

kvf::Light TargetSpot(const std::string& name, Vec3 position, Vec3 target, Vec3 colour, float reach, float hotspot,
                      float falloff)
{
    kvf::Light light = Spot(name, 2, position, colour, reach, hotspot, falloff);
    light.target = target;
    light.markerFlag = 1;
    return light;
}

kvf::Light NodeSpot(const std::string& name, Vec3 position, Vec3 colour, float reach, float hotspot, float falloff)
{
    return Spot(name, 3, position, colour, reach, hotspot, falloff);
}

namespace {

kvf::Modifier AxisModifier(int32_t type, const kvf::Controller& first, float second)
{
    kvf::Modifier modifier;
    modifier.type = type;
    modifier.axis = 2;
    modifier.parameters = {kvf::AnimatedParameter(first), kvf::ConstantParameter(second)};
    return modifier;
}

kvf::Modifier WaveModifier(int32_t type, float amplitude, float waveLength, const kvf::Controller& phase, float decay)
{
    kvf::Modifier modifier;
    modifier.type = type;
    modifier.parameters = {kvf::ConstantParameter(amplitude), kvf::ConstantParameter(amplitude),
                           kvf::ConstantParameter(waveLength), kvf::AnimatedParameter(phase),
                           kvf::ConstantParameter(decay)};
    return modifier;
}

} // namespace

kvf::Modifier Bend(const kvf::Controller& angle, float direction)
{
    return AxisModifier(kvf::kBend, angle, direction);
}

kvf::Modifier Twist(const kvf::Controller& angle, float bias)
{
    return AxisModifier(kvf::kTwist, angle, bias);
}

kvf::Modifier Stretch(const kvf::Controller& amount, float amplify)
{
    return AxisModifier(kvf::kStretch, amount, amplify);
}

kvf::Modifier Wave(float amplitude, float waveLength, const kvf::Controller& phase, float decay)
{
    return WaveModifier(kvf::kWave, amplitude, waveLength, phase, decay);
}

kvf::Modifier Ripple(float amplitude, float waveLength, const kvf::Controller& phase, float decay)
{
    return WaveModifier(kvf::kRipple, amplitude, waveLength, phase, decay);
}

} // namespace content
