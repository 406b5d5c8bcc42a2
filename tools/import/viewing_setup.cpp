#include "tools/import/viewing_setup.h"

#include <algorithm>
#include <cmath>
#include <variant>

#include "tools/import/axis_conversion.h"
#include "tools/import/camera_lens.h"
#include "tools/import/track_writer.h"
#include "tools/import/unique_names.h"

namespace import {

namespace {

constexpr float kNear = 1.0f;
constexpr float kFar = 7500.0f;
// The widest vertical angle the camera takes to keep a large model before
// the far plane.
constexpr float kWidestVerticalAngle = 2.0944f; // 120 degrees
// Tangent of the narrowest half-angle it takes for a small model.
constexpr float kNarrowestTangent = 0.002f;

aiVector3D FromFile(const kvf::Vec3& v)
{
    return {v.x, v.z, -v.y};
}

// The camera's frame: looking along `forward`, `right` and `up` across.
struct View {
    aiVector3D forward, right, up;
};

View ViewAlong(const aiVector3D& forward)
{
    View view;
    view.forward = forward.Length() > 0.0f ? aiVector3D(forward).Normalize() : aiVector3D(0.0f, 0.0f, -1.0f);
    view.right = view.forward ^ aiVector3D(0.0f, 1.0f, 0.0f);
    if (!(view.right.Length() > 1e-6f)) {
        view.right = aiVector3D(1.0f, 0.0f, 0.0f);
    }
    view.right.Normalize();
    view.up = view.right ^ view.forward;
    return view;
}

// How far from the box's centre the eye must stand along the view for the
// box's corners to stay within the margin of a picture whose vertical
// half-angle has tangent `tanVertical`; also nearest and farthest depths
// of the corners relative to the centre.
float FitDistance(const Box& box, const View& view, float tanVertical, float* nearest, float* farthest)
{
    const float tanHorizontal = tanVertical * kEngineAspect;
    const aiVector3D centre = box.Centre();
    float distance = 0.0f;
    *nearest = 0.0f;
    *farthest = 0.0f;
    for (int i = 0; i < 8; ++i) {
        const aiVector3D corner((i & 1) ? box.max.x : box.min.x, (i & 2) ? box.max.y : box.min.y,
                                (i & 4) ? box.max.z : box.min.z);
        const aiVector3D q = corner - centre;
        const float x = q * view.right, y = q * view.up, z = q * view.forward;
        distance = std::max({distance, std::fabs(x) / (tanHorizontal * kViewingMargin) - z,
                             std::fabs(y) / (tanVertical * kViewingMargin) - z});
        *nearest = std::min(*nearest, z);
        *farthest = std::max(*farthest, z);
    }
    return distance;
}

struct Framing {
    float distance = 0.0f;
    float tanVertical = 0.0f;
    bool fits = true;
};

// The distance and angle that frame the box: the usual angle, narrowed for
// a box too small to frame beyond the near plane, widened for one too large
// to frame before the far plane.
Framing Frame(const Box& box, const View& view)
{
    Framing f;
    f.tanVertical = std::tan(0.5f * kViewingVerticalAngle);
    float nearest = 0.0f, farthest = 0.0f;
    f.distance = FitDistance(box, view, f.tanVertical, &nearest, &farthest);
    const float closest = 1.1f * kNear - nearest;
    if (f.distance < closest) {
        // Narrow the angle until the box fills the picture from there.
        float low = kNarrowestTangent, high = f.tanVertical;
        for (int i = 0; i < 60; ++i) {
            const float mid = 0.5f * (low + high);
            (FitDistance(box, view, mid, &nearest, &farthest) > closest ? low : high) = mid;
        }
        f.tanVertical = high;
        f.distance = closest;
    } else if (f.distance + farthest > 0.95f * kFar) {
        float low = f.tanVertical, high = std::tan(0.5f * kWidestVerticalAngle);
        if (FitDistance(box, view, high, &nearest, &farthest) + farthest > 0.95f * kFar) {
            low = high;
            f.fits = false;
        }
        for (int i = 0; i < 60 && f.fits; ++i) {
            const float mid = 0.5f * (low + high);
            (FitDistance(box, view, mid, &nearest, &farthest) + farthest > 0.95f * kFar ? low : high) = mid;
        }
        f.tanVertical = high;
        f.distance = std::max(FitDistance(box, view, high, &nearest, &farthest), 1.1f * kNear - nearest);
    }
    return f;
}

void AddCamera(const Box& box, UniqueNames* names, kvf::Scene* out, ConversionReport* report)
{
    const float s = std::sin(kViewingElevation), c = std::cos(kViewingElevation);
    const View view = ViewAlong(aiVector3D(0.0f, -s, -c));
    const Framing framing = Frame(box, view);
    if (!framing.fits) {
        report->Warn("the model is too large for the engine's far plane of 7500 units; the added camera sees "
                     "part of it (--scale makes it smaller)");
    }
    const aiVector3D target = box.Centre();
    const aiVector3D eye = target - view.forward * framing.distance;

    kvf::Camera camera;
    camera.name = names->Claim("Camera");
    camera.position = ToFile(eye);
    camera.target = ToFile(target);
    camera.fieldOfView = FieldOfViewForVertical(2.0f * std::atan(framing.tanVertical));
    out->objects.push_back(camera);

    kvf::Node eyeNode;
    eyeNode.kind = kvf::kNodeCamera;
    eyeNode.name = camera.name;
    eyeNode.position = PositionTrack({eye});
    eyeNode.rotationSelector = kvf::kRotationAngle;
    eyeNode.rotation = AngleTrack({0.0f});
    out->nodes.push_back(eyeNode);
    kvf::Node targetNode;
    targetNode.kind = kvf::kNodeCameraTarget;
    targetNode.name = names->Claim(camera.name + ".Target");
    targetNode.ownerName = camera.name;
    targetNode.position = PositionTrack({target});
    out->nodes.push_back(targetNode);
    report->cameras += 1;
    report->Note("added a camera");
}

void AddLight(const std::string& name, const aiVector3D& position, const aiVector3D& centre, float radius,
              float strength, kvf::Scene* out)
{
    // The engine's light falls off as multiplier * range / distance: at the
    // model's centre that is `strength`.
    const float distance = std::max((centre - position).Length(), 1e-3f);
    kvf::Light light;
    light.name = name;
    light.type = kvf::kLightPoint;
    light.position = ToFile(position);
    light.colour = {1.0f, 1.0f, 1.0f};
    light.rangeFlag = 1;
    light.range = std::min(4.0f * (distance + radius), 4.0f * kFar);
    light.rangeValue1 = light.range;
    light.multiplier = strength * distance / light.range;
    out->objects.push_back(light);

    kvf::Node node;
    node.kind = kvf::kNodeLight;
    node.name = name;
    node.position = PositionTrack({position});
    out->nodes.push_back(node);
}

void AddLights(const Box& box, UniqueNames* names, kvf::Scene* out, ConversionReport* report)
{
    const kvf::Camera* camera = nullptr;
    for (const kvf::Object& object : out->objects) {
        camera = camera == nullptr ? std::get_if<kvf::Camera>(&object) : camera;
    }
    if (camera == nullptr) {
        return;
    }
    const aiVector3D eye = FromFile(camera->position);
    const aiVector3D centre = box.empty ? FromFile(camera->target) : box.Centre();
    const float radius = box.empty ? 0.0f : 0.5f * (box.max - box.min).Length();
    const View view = ViewAlong(centre - eye);
    const float distance = std::max((centre - eye).Length(), 1.0f);
    const aiVector3D key = eye + (view.right * 0.6f + view.up * 0.6f) * distance;
    const aiVector3D fill = eye + (view.right * -0.8f + view.up * 0.1f) * distance;
    AddLight(names->Claim("KeyLight"), key, centre, radius, kKeyLight, out);
    AddLight(names->Claim("FillLight"), fill, centre, radius, kFillLight, out);
    report->lights += 2;
    report->Note("added 2 lights");
}

} // namespace

void AddViewingCameraAndLights(const Box& modelBox, kvf::Scene* out, ConversionReport* report)
{
    if (report->cameras > 0 && report->lights > 0) {
        return;
    }
    UniqueNames names;
    for (const kvf::Node& node : out->nodes) {
        names.Claim(node.name);
    }
    Box box = modelBox;
    if (box.empty) {
        box.Add(aiVector3D());
    }
    // A point or a line still needs a size to frame.
    const aiVector3D size = box.max - box.min;
    const float pad = std::max({size.x, size.y, size.z}) > 0.0f ? 0.0f : 0.5f;
    box.min -= aiVector3D(pad, pad, pad);
    box.max += aiVector3D(pad, pad, pad);
    if (report->cameras == 0) {
        AddCamera(box, &names, out, report);
    }
    if (report->lights == 0) {
        AddLights(box, &names, out, report);
    }
}

} // namespace import
