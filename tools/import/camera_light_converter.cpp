#include "tools/import/camera_light_converter.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <unordered_map>

#include "tools/import/axis_conversion.h"
#include "tools/import/camera_lens.h"
#include "tools/import/collada_lens.h"
#include "tools/import/max3ds_cameras.h"
#include "tools/import/scene_converter.h"
#include "tools/import/track_writer.h"
#include "tools/import/unique_names.h"

namespace import {

namespace {

constexpr float kRadiansToDegrees = 57.29577951f;
// Where a directional light's stand-in stands, and how far it reaches.
constexpr float kDirectionalDistance = 5000.0f;
// The engine's far plane, and the range of a light that gives none.
constexpr float kEngineFar = 7500.0f;
// A light's range below this is taken as none.
constexpr float kMinimumRange = 1e-6f;

kvf::Node RootNode(int32_t kind, const std::string& name, const std::string& owner,
                   const std::vector<aiVector3D>& positions)
{
    kvf::Node node;
    node.depth = 0;
    node.kind = kind;
    node.name = name;
    node.ownerName = owner;
    node.position = PositionTrack(positions);
    return node;
}

aiVector3D Rotate(const aiMatrix4x4& m, const aiVector3D& v)
{
    return aiMatrix3x3(m) * v;
}

aiVector3D Scaled(const aiVector3D& v, float scale)
{
    return v * scale;
}

bool Finite(const aiVector3D& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A unit direction, or `fallback` when the direction has no length or is
// not finite.
aiVector3D UnitOr(aiVector3D v, const aiVector3D& fallback, bool* replaced)
{
    const float length = v.Length();
    if (!Finite(v) || !(length > 1e-20f) || !std::isfinite(length)) {
        *replaced = true;
        return fallback;
    }
    return v / length;
}

// Every value of a 3DS track finite, and the eye and target keys of the
// same index apart.
bool Max3dsCameraMakesSense(const Max3dsCamera& camera)
{
    for (const auto* keys : {&camera.eyeKeys, &camera.targetKeys, &camera.rollKeys, &camera.fovKeys}) {
        for (const Max3dsKey& key : *keys) {
            for (float v : key.value) {
                if (!std::isfinite(v)) {
                    return false;
                }
            }
        }
    }
    for (size_t i = 0; i < camera.eyeKeys.size() && i < camera.targetKeys.size(); ++i) {
        const float* e = camera.eyeKeys[i].value;
        const float* t = camera.targetKeys[i].value;
        if (e[0] == t[0] && e[1] == t[1] && e[2] == t[2]) {
            return false;
        }
    }
    return std::isfinite(camera.roll) && std::isfinite(camera.lens);
}

// World matrices of the cameras' and lights' nodes, frame by frame (only
// theirs: a long animation of a large tree would not fit otherwise).
std::vector<std::unordered_map<const aiNode*, aiMatrix4x4>> WorldsByFrame(const aiScene* scene,
                                                                         const NodeAnimation& animation)
{
    std::vector<const aiNode*> wanted;
    for (unsigned i = 0; i < scene->mNumCameras; ++i) {
        wanted.push_back(scene->mRootNode->FindNode(scene->mCameras[i]->mName));
    }
    for (unsigned i = 0; i < scene->mNumLights; ++i) {
        wanted.push_back(scene->mRootNode->FindNode(scene->mLights[i]->mName));
    }
    const AnimationClock& clock = animation.Clock();
    std::vector<std::unordered_map<const aiNode*, aiMatrix4x4>> worlds(clock.EndFrame() + 1);
    std::unordered_map<const aiNode*, aiMatrix4x4> all;
    for (size_t f = 0; f < worlds.size(); ++f) {
        animation.WorldMatrices(clock.TicksAtFrame(static_cast<double>(f)), &all);
        for (const aiNode* node : wanted) {
            if (node != nullptr) {
                worlds[f][node] = all.at(node);
            }
        }
    }
    return worlds;
}

constexpr float kDegreesToRadians = 0.017453292f;
// 3DS keys count frames at 30 per second.
constexpr int kMax3dsFramesPerSecond = 30;

// A 3DS track as key-framed keys at the scene's rate, each value through
// `convert`; false when a key falls between two frames of the scene.
template <typename Convert>
bool Max3dsTrack(const std::vector<Max3dsKey>& keys, int framesPerSecond, Convert convert, kvf::Controller* out)
{
    out->type = kvf::kControllerTcb;
    out->keys.clear();
    for (const Max3dsKey& key : keys) {
        const int64_t scaled = static_cast<int64_t>(key.frame) * framesPerSecond;
        if (scaled % kMax3dsFramesPerSecond != 0) {
            return false;
        }
        kvf::Key k;
        k.time = static_cast<float>(scaled / kMax3dsFramesPerSecond);
        k.params = key.params;
        convert(key.value, k.value);
        out->keys.push_back(k);
    }
    return !out->keys.empty();
}

// A 3DS target camera as the file has it: its eye, target and roll tracks
// carried over key for key. False when they cannot be (keys between the
// scene's frames), and the camera is then converted from the library's
// reading with the file's fixed target.
bool ConvertMax3dsCamera(const Max3dsCamera& camera, const std::string& name, int framesPerSecond, float scale,
                         kvf::Scene* out, UniqueNames* names)
{
    auto position = [scale](const float* in, float* value) {
        for (int i = 0; i < 3; ++i) {
            value[i] = in[i] * scale;
        }
    };
    auto angle = [](const float* in, float* value) { value[0] = in[0] * kDegreesToRadians; };
    kvf::Node eye, target;
    eye.kind = kvf::kNodeCamera;
    eye.name = name;
    eye.rotationSelector = kvf::kRotationAngle;
    target.kind = kvf::kNodeCameraTarget;
    target.ownerName = name;
    if (!camera.keyed || !Max3dsCameraMakesSense(camera) ||
        !Max3dsTrack(camera.eyeKeys, framesPerSecond, position, &eye.position) ||
        !Max3dsTrack(camera.targetKeys, framesPerSecond, position, &target.position)) {
        return false;
    }
    if (camera.rollKeys.empty()) {
        eye.rotation = AngleTrack({camera.roll * kDegreesToRadians});
    } else if (!Max3dsTrack(camera.rollKeys, framesPerSecond, angle, &eye.rotation)) {
        return false;
    }
    kvf::Camera record;
    record.name = name;
    record.position = {eye.position.keys[0].value[0], eye.position.keys[0].value[1], eye.position.keys[0].value[2]};
    record.target = {target.position.keys[0].value[0], target.position.keys[0].value[1],
                     target.position.keys[0].value[2]};
    // 3DS gives the horizontal angle, in the keys or as 2400 / lens.
    float degrees = !camera.fovKeys.empty() ? camera.fovKeys[0].value[0]
                    : camera.lens > 0.0f     ? 2400.0f / camera.lens
                                             : 45.0f;
    if (!(degrees > 0.0f && degrees < 180.0f)) {
        degrees = 45.0f;
    }
    record.fieldOfView = FieldOfViewForHorizontal(degrees * kDegreesToRadians);
    out->objects.push_back(record);
    target.name = names->Claim(name + ".Target");
    out->nodes.push_back(eye);
    out->nodes.push_back(target);
    return true;
}

const Max3dsCamera* FindMax3dsCamera(const std::vector<Max3dsCamera>& cameras, const char* name)
{
    for (const Max3dsCamera& camera : cameras) {
        if (camera.name == name) {
            return &camera;
        }
    }
    return nullptr;
}

// Where a camera or light sits in its node. The library's 3DS and glTF
// readers repeat the node's own offset as the object's position; the object
// then sits at the node's origin.
aiVector3D PlaceInNode(const aiNode* node, const aiVector3D& position, bool repeatsOffset)
{
    const aiMatrix4x4& m = node->mTransformation;
    const aiVector3D offset(m.a4, m.b4, m.c4);
    return repeatsOffset && (position - offset).SquareLength() <= 1e-6f * std::max(1.0f, offset.SquareLength())
               ? aiVector3D()
               : position;
}

// The engine's light at distance d is colour * multiplier * range / d
// (within its range). The light the file gives at the model's centre, d0
// away: 1 / (constant + quadratic d0^2) for lights without linear falloff
// (1 for directional ones); a light with a linear attenuation is already
// the engine's kind and stays as it is.
// `brightness` is what the colour was divided by to stay within 1.
void MatchLightAtModel(const aiLight& light, const aiVector3D& position, const Box& box, float brightness,
                       kvf::Light* record)
{
    if (light.mType != aiLightSource_DIRECTIONAL && light.mAttenuationLinear > 0.0f) {
        return;
    }
    const aiVector3D centre = box.Centre();
    const float radius = 0.5f * (box.max - box.min).Length();
    const float d0 = std::max((centre - position).Length(), 1e-3f);
    float atModel = 1.0f;
    if (light.mType != aiLightSource_DIRECTIONAL) {
        const float c = std::isfinite(light.mAttenuationConstant) ? std::max(light.mAttenuationConstant, 0.0f) : 0.0f;
        const float q = std::isfinite(light.mAttenuationQuadratic) ? std::max(light.mAttenuationQuadratic, 0.0f) : 0.0f;
        const float falloff = c + q * d0 * d0;
        atModel = falloff > 0.0f && std::isfinite(falloff) ? 1.0f / falloff : 1.0f;
    }
    const float range = std::max(kEngineFar, 2.0f * (d0 + radius));
    if (!std::isfinite(range) || !std::isfinite(atModel)) {
        return;
    }
    const double multiplier = static_cast<double>(brightness) * atModel * d0 / range;
    record->multiplier = static_cast<float>(std::min(std::max(multiplier, 1e-30), 1e30));
    record->range = range;
    record->rangeValue1 = range;
}

} // namespace

float RollAngle(const aiVector3D& forward, const aiVector3D& up)
{
    // Engine axes are the model's with X negated.
    const aiVector3D d(-forward.x, forward.y, forward.z), u(-up.x, up.y, up.z);
    const float length = d.Length();
    if (length == 0.0f) {
        return 0.0f;
    }
    const float yaw = -std::atan2(d.x, d.z);
    const float pitch = std::asin(std::max(-1.0f, std::min(1.0f, d.y / length)));
    const float sa = std::sin(yaw), ca = std::cos(yaw), sb = std::sin(pitch), cb = std::cos(pitch);
    const aiVector3D levelUp(sb * sa, cb, -sb * ca), levelRight(ca, 0.0f, sa);
    return std::atan2(-(u * levelRight), u * levelUp);
}

float EngineFieldOfView(float halfHorizontal)
{
    return FieldOfViewForHorizontal(2.0f * halfHorizontal);
}

void ConvertCamerasAndLights(const aiScene* scene, const std::string& path, const NodeAnimation& animation,
                             float scale, const Box* modelBox, kvf::Scene* out, ConversionReport* report)
{
    if (scene->mNumCameras == 0 && scene->mNumLights == 0) {
        return;
    }
    const auto worlds = WorldsByFrame(scene, animation);
    // The library loses a 3DS camera's target and roll.
    const std::string format = SourceFormat(scene);
    const bool max3ds = format.find("3DS") != std::string::npos;
    const LensConvention lens = LensConventionOf(format);
    const bool repeatsOffset = max3ds || lens == LensConvention::Gltf;
    const std::vector<Max3dsCamera> maxCameras = max3ds ? ReadMax3dsCameras(path) : std::vector<Max3dsCamera>();
    // The library loses or bends some Collada angles; the file has them.
    std::string colladaText;
    if (lens == LensConvention::Collada && scene->mNumCameras > 0) {
        std::ifstream file(path, std::ios::binary);
        colladaText.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    UniqueNames names;

    for (unsigned i = 0; i < scene->mNumCameras; ++i) {
        const aiCamera* camera = scene->mCameras[i];
        const aiNode* node = scene->mRootNode->FindNode(camera->mName);
        if (node == nullptr) {
            report->Warn(std::string("camera ") + camera->mName.C_Str() + " has no node and is not converted");
            continue;
        }
        if (camera->mOrthographicWidth > 0.0f) {
            report->Warn(std::string("camera ") + camera->mName.C_Str() +
                         " is orthographic; it becomes a perspective camera of 45 degrees vertically");
        }
        const std::string name = names.Claim(camera->mName.C_Str(), "camera");
        const Max3dsCamera* maxCamera = FindMax3dsCamera(maxCameras, camera->mName.C_Str());
        if (maxCamera != nullptr &&
            ConvertMax3dsCamera(*maxCamera, name, animation.Clock().framesPerSecond, scale, out, &names)) {
            report->cameras += 1;
            continue;
        }
        std::vector<aiVector3D> eyes, targets;
        std::vector<float> rolls;
        bool badEye = false, badView = false;
        for (const auto& world : worlds) {
            const aiMatrix4x4& m = world.at(node);
            aiVector3D eye = Scaled(m * PlaceInNode(node, camera->mPosition, repeatsOffset), scale);
            if (!Finite(eye)) {
                badEye = true;
                eye = aiVector3D();
            }
            aiVector3D forward = Rotate(m, camera->mLookAt);
            if (maxCamera != nullptr) {
                // The file's fixed target, in file axes, back in the model's.
                const kvf::Vec3& t = maxCamera->target;
                forward = aiVector3D(t.x, t.z, -t.y) * scale - eye;
            }
            forward = UnitOr(forward, aiVector3D(0.0f, 0.0f, -1.0f), &badView);
            // The library's up of a 3DS camera stays in the file's axes; the
            // file's own roll (about a level view) is the engine's.
            const float roll = maxCamera != nullptr ? maxCamera->roll * kDegreesToRadians
                                                    : RollAngle(forward, Rotate(m, camera->mUp));
            eyes.push_back(eye);
            targets.push_back(eye + forward * kTargetDistance);
            rolls.push_back(std::isfinite(roll) ? roll : 0.0f);
        }
        const std::string what = std::string("camera ") + camera->mName.C_Str();
        if (badEye) {
            report->Warn(what + " has a position that is not a number; it is placed at the origin");
        }
        if (badView) {
            report->Warn(what + " looks in no direction (its target is on its eye); it looks along -Z");
        }
        kvf::Camera record;
        record.name = name;
        record.position = ToFile(eyes.front());
        record.target = ToFile(targets.front());
        std::string problem;
        ColladaLens colladaLens;
        const bool fromFile =
            !colladaText.empty() && FindColladaLens(colladaText, camera->mName.C_Str(), &colladaLens) &&
            ColladaFieldOfView(colladaLens.xfov, colladaLens.yfov, colladaLens.aspect, &record.fieldOfView);
        // An orthographic camera, already named, has no angle to convert.
        if (!fromFile && !CameraFieldOfView(*camera, lens, &record.fieldOfView, &problem) &&
            camera->mOrthographicWidth <= 0.0f) {
            report->Warn(what + ": " + problem + "; it is given a vertical field of view of 45 degrees");
        }
        out->objects.push_back(record);

        kvf::Node eyeNode = RootNode(kvf::kNodeCamera, record.name, "", eyes);
        eyeNode.rotationSelector = kvf::kRotationAngle;
        eyeNode.rotation = AngleTrack(rolls);
        out->nodes.push_back(eyeNode);
        out->nodes.push_back(
            RootNode(kvf::kNodeCameraTarget, names.Claim(record.name + ".Target"), record.name, targets));
        report->cameras += 1;
    }

    for (unsigned i = 0; i < scene->mNumLights; ++i) {
        const aiLight* light = scene->mLights[i];
        const std::string lightName = light->mName.C_Str();
        if (light->mType == aiLightSource_AMBIENT) {
            out->ambient = {std::min(1.0f, light->mColorAmbient.r + light->mColorDiffuse.r),
                            std::min(1.0f, light->mColorAmbient.g + light->mColorDiffuse.g),
                            std::min(1.0f, light->mColorAmbient.b + light->mColorDiffuse.b)};
            report->Note("ambient light " + lightName + " became the scene's ambient colour");
            continue;
        }
        if (light->mType != aiLightSource_POINT && light->mType != aiLightSource_SPOT &&
            light->mType != aiLightSource_DIRECTIONAL) {
            report->Warn("light " + lightName + " is of a kind the engine does not have and is not converted");
            continue;
        }
        const aiNode* node = scene->mRootNode->FindNode(light->mName);
        if (node == nullptr) {
            report->Warn("light " + lightName + " has no node and is not converted");
            continue;
        }
        kvf::Light record;
        record.name = names.Claim(lightName, "light");
        const std::string what = "light " + lightName;
        aiColor3D colour = light->mColorDiffuse;
        if (!std::isfinite(colour.r) || !std::isfinite(colour.g) || !std::isfinite(colour.b) || colour.r < 0.0f ||
            colour.g < 0.0f || colour.b < 0.0f) {
            report->Warn(what + " has a colour that is not a number or below 0; it shines white");
            colour = aiColor3D(1.0f, 1.0f, 1.0f);
        }
        // The engine's colours stop at 1; a brighter light reaches further.
        const float brightest = std::max({colour.r, colour.g, colour.b});
        const float multiplier = brightest > 1.0f ? brightest : 1.0f;
        record.colour = {colour.r / multiplier, colour.g / multiplier, colour.b / multiplier};
        record.multiplier = multiplier;
        record.rangeFlag = 1;
        record.range = light->mAttenuationLinear > 0.0f ? 1.0f / light->mAttenuationLinear
                       : light->mAttenuationQuadratic > 0.0f ? 1.0f / std::sqrt(light->mAttenuationQuadratic)
                                                             : kEngineFar;
        record.range *= scale;
        if (!std::isfinite(record.range) || !(record.range >= kMinimumRange)) {
            report->Warn(what + " reaches " + std::to_string(record.range) + " units; it is given a range of " +
                         std::to_string(static_cast<int>(kEngineFar)));
            record.range = kEngineFar;
        }
        record.rangeValue1 = record.range;

        std::vector<aiVector3D> positions, targets;
        bool badPosition = false, badDirection = false;
        for (const auto& world : worlds) {
            const aiMatrix4x4& m = world.at(node);
            const aiVector3D direction =
                UnitOr(Rotate(m, light->mDirection), aiVector3D(0.0f, 0.0f, -1.0f), &badDirection);
            aiVector3D position = Scaled(m * PlaceInNode(node, light->mPosition, repeatsOffset), scale);
            if (!Finite(position)) {
                badPosition = true;
                position = aiVector3D();
            }
            if (light->mType == aiLightSource_DIRECTIONAL) {
                position = direction * -kDirectionalDistance;
            }
            positions.push_back(position);
            targets.push_back(position + direction * kTargetDistance);
        }
        if (badPosition) {
            report->Warn(what + " has a position that is not a number; it is placed at the origin");
        }
        if (badDirection && light->mType != aiLightSource_POINT) {
            report->Warn(what + " shines in no direction; it shines along -Z");
        }
        record.position = ToFile(positions.front());
        if (light->mType == aiLightSource_SPOT) {
            record.type = kvf::kLightTargetedSpot;
            record.target = ToFile(targets.front());
            record.hotspot = light->mAngleInnerCone * kRadiansToDegrees;
            record.falloff = light->mAngleOuterCone * kRadiansToDegrees;
            if (!(record.falloff > 0.0f && record.falloff <= 180.0f) ||
                !(record.hotspot >= 0.0f && record.hotspot <= record.falloff)) {
                report->Warn(what + " has cone angles that make no sense; its cone is 45 degrees");
                record.hotspot = 0.0f;
                record.falloff = 45.0f;
            }
        } else if (light->mType == aiLightSource_DIRECTIONAL) {
            // Far away and hardly attenuated, a point light shines almost in
            // parallel.
            record.range = 2.0f * kDirectionalDistance;
            record.rangeValue1 = record.range;
            record.multiplier = 1000.0f;
            report->Note("directional light " + lightName + " became a distant point light");
        }
        if (modelBox != nullptr && !modelBox->empty) {
            MatchLightAtModel(*light, positions.front(), *modelBox, multiplier, &record);
        }
        out->objects.push_back(record);
        out->nodes.push_back(RootNode(kvf::kNodeLight, record.name, "", positions));
        if (record.type == kvf::kLightTargetedSpot) {
            out->nodes.push_back(
                RootNode(kvf::kNodeLightTarget, names.Claim(record.name + ".Target"), record.name, targets));
        }
        report->lights += 1;
    }
}

} // namespace import
