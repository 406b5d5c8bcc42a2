#include "tools/import/camera_lens.h"

#include <cmath>

namespace import {

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kLostColladaAngle = 0.25f * kPi * kPi / 180.0f;

bool AngleMakesSense(float angle)
{
    return std::isfinite(angle) && angle > 0.0f && angle < kPi;
}

} // namespace

LensConvention LensConventionOf(const std::string& sourceFormat)
{
    if (sourceFormat.rfind("glTF", 0) == 0) {
        return LensConvention::Gltf;
    }
    if (sourceFormat.rfind("Collada", 0) == 0) {
        return LensConvention::Collada;
    }
    return LensConvention::HorizontalAngle;
}

float FieldOfViewForVertical(float vertical)
{
    return vertical / kEngineVerticalShare;
}

float FieldOfViewForHorizontal(float horizontal)
{
    const float vertical = 2.0f * std::atan(std::tan(0.5f * horizontal) / kEngineAspect);
    return FieldOfViewForVertical(vertical);
}

bool CameraFieldOfView(const aiCamera& camera, LensConvention convention, float* fieldOfView, std::string* problem)
{
    const float angle = camera.mHorizontalFOV;
    const float aspect = camera.mAspect;
    *fieldOfView = FieldOfViewForVertical(kDefaultVerticalAngle);
    if (!std::isfinite(aspect) || aspect < 0.0f) {
        *problem = "its aspect ratio " + std::to_string(aspect) + " makes no sense";
        return false;
    }
    float engine = 0.0f;
    switch (convention) {
    case LensConvention::Gltf: {
        const float vertical = aspect > 0.0f ? angle / aspect : angle;
        if (!AngleMakesSense(vertical)) {
            *problem = "its vertical field of view " + std::to_string(vertical) + " makes no sense";
            return false;
        }
        engine = FieldOfViewForVertical(vertical);
        break;
    }
    case LensConvention::Collada: {
        // A Collada camera given by yfov alone reaches the library's
        // default of a quarter turn read as degrees: the angle is lost.
        if (aspect == 0.0f && std::fabs(angle - kLostColladaAngle) < 1e-6f) {
            *problem = "its field of view, given as yfov alone, is lost by the library";
            return false;
        }
        if (!AngleMakesSense(angle)) {
            *problem = "its horizontal field of view " + std::to_string(angle) + " makes no sense";
            return false;
        }
        engine = FieldOfViewForHorizontal(angle);
        if (aspect > 0.0f) {
            const float vertical = 2.0f * std::atan(std::tan(0.5f * angle) / aspect);
            engine = std::fmax(engine, FieldOfViewForVertical(vertical));
        }
        break;
    }
    case LensConvention::HorizontalAngle:
        if (!AngleMakesSense(angle)) {
            *problem = "its horizontal field of view " + std::to_string(angle) + " makes no sense";
            return false;
        }
        engine = FieldOfViewForHorizontal(angle);
        break;
    }
    // The engine's vertical angle must stay below 180 degrees too.
    if (!AngleMakesSense(engine * kEngineVerticalShare)) {
        *problem = "its field of view is too wide for the engine";
        return false;
    }
    *fieldOfView = engine;
    return true;
}

bool ColladaFieldOfView(float xfovDegrees, float yfovDegrees, float aspect, float* fieldOfView)
{
    const float toRadians = kPi / 180.0f;
    float x = xfovDegrees * toRadians, y = yfovDegrees * toRadians;
    if (x > 0.0f && y <= 0.0f && aspect > 0.0f) {
        y = 2.0f * std::atan(std::tan(0.5f * x) / aspect);
    } else if (y > 0.0f && x <= 0.0f && aspect > 0.0f) {
        x = 2.0f * std::atan(std::tan(0.5f * y) * aspect);
    }
    float engine = 0.0f;
    if (AngleMakesSense(x)) {
        engine = FieldOfViewForHorizontal(x);
    }
    if (AngleMakesSense(y)) {
        engine = std::fmax(engine, FieldOfViewForVertical(y));
    }
    if (!AngleMakesSense(engine * kEngineVerticalShare)) {
        return false;
    }
    *fieldOfView = engine;
    return true;
}

} // namespace import
