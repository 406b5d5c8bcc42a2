#include "scene/camera.h"

#include <cmath>
#include <new>

#include "math/d3dx_math.h"
#include "pack/pack_file.h"
#include "platform/d3d8/d3d8.h"
#include "platform/report/report.h"
#include "scene/kvf_read.h"
#include "scene/scene.h"

namespace {

constexpr float kFieldOfViewScale = 0.8f;
constexpr float kAspect = 1.334f;
constexpr float kNearPlane = 1.0f;
constexpr float kFarPlane = 7500.0f;

bool IsFinite(const D3DMATRIX& m)
{
    for (const auto& row : m.m) {
        for (float value : row) {
            if (!std::isfinite(value)) {
                return false;
            }
        }
    }
    return true;
}

// The view from yaw, pitch and roll; well defined for any direction of
// non-zero length, straight up and down included.
void YawPitchRollView(const D3DVECTOR& e, const D3DVECTOR& d, float length, float roll, D3DMATRIX* m)
{
    const float a = -std::atan2(d.x, d.z);
    float sine = d.y / length;
    sine = sine > 1.0f ? 1.0f : (sine < -1.0f ? -1.0f : sine);
    const float b = std::asin(sine);
    const float sa = std::sin(a), ca = std::cos(a);
    const float sb = std::sin(b), cb = std::cos(b);
    const float sr = std::sin(roll), cr = std::cos(roll);
    m->_11 = cr * ca + sr * sb * sa;
    m->_12 = cr * sb * sa - sr * ca;
    m->_13 = -cb * sa;
    m->_14 = 0.0f;
    m->_21 = sr * cb;
    m->_22 = cr * cb;
    m->_23 = sb;
    m->_24 = 0.0f;
    m->_31 = cr * sa - sr * sb * ca;
    m->_32 = -cr * sb * ca - sr * sa;
    m->_33 = cb * ca;
    m->_34 = 0.0f;
    m->_41 = -(e.x * m->_11 + e.y * m->_21 + e.z * m->_31);
    m->_42 = -(e.x * m->_12 + e.y * m->_22 + e.z * m->_32);
    m->_43 = -(e.x * m->_13 + e.y * m->_23 + e.z * m->_33);
    m->_44 = 1.0f;
}

} // namespace

bool BuildCameraView(const D3DVECTOR& eye, const D3DVECTOR& target, float roll, D3DMATRIX* out)
{
    const D3DVECTOR d = VectorSubtract(target, eye);
    const float length = VectorLength(d);
    if (!(length > 0.0f) || !std::isfinite(length) || !std::isfinite(roll)) {
        return false;
    }
    D3DMATRIX view;
    // Looking straight up or down leaves the up vector no side to point to;
    // the yaw-pitch form (which equals the look-at one elsewhere) covers it.
    const D3DVECTOR side = VectorCross(D3DVECTOR{0.0f, 1.0f, 0.0f}, d);
    if (roll == 0.0f && VectorLength(side) > 0.0f) {
        const D3DXVECTOR3 from(eye);
        const D3DXVECTOR3 at(target);
        const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
        D3DXMatrixLookAtLH(&view, &from, &at, &up);
        if (!IsFinite(view)) {
            YawPitchRollView(eye, d, length, roll, &view);
        }
    } else {
        YawPitchRollView(eye, d, length, roll, &view);
    }
    if (!IsFinite(view)) {
        return false;
    }
    *out = view;
    return true;
}

CCamera::CCamera()
    : target(nullptr), parameter1(0.0f), parameter2(0.0f), fieldOfView(0.0f), m_hasView(false)
{
    SetIdentity(&m_lastView);
    SetIdentity(&m_lastProjection);
}

CCamera::~CCamera()
{
    delete target;
}

int CCamera::Prepare(IDirect3DDevice8* device)
{
    Draw(device);
    return 0;
}

void CCamera::Draw(IDirect3DDevice8* device)
{
    if (device == nullptr) {
        return;
    }
    D3DMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, fieldOfView * kFieldOfViewScale, kAspect, kNearPlane, kFarPlane);
    if (IsFinite(projection)) {
        m_lastProjection = projection;
    }
    device->SetTransform(D3DTS_PROJECTION, &m_lastProjection);

    const D3DVECTOR eye = position;
    const D3DVECTOR at = target != nullptr ? target->position : D3DVECTOR{eye.x, eye.y, eye.z + 1.0f};
    if (BuildCameraView(eye, at, rotation.w, &world)) {
        m_lastView = world;
        m_hasView = true;
    } else if (m_hasView) {
        world = m_lastView;
    } else {
        // Nothing to look at yet: look along +z from the eye.
        SetIdentity(&world);
        if (std::isfinite(eye.x) && std::isfinite(eye.y) && std::isfinite(eye.z)) {
            world._41 = -eye.x;
            world._42 = -eye.y;
            world._43 = -eye.z;
        }
    }
    device->SetTransform(D3DTS_VIEW, &world);
}

int CScene::ReadCamera(CPackFile* file, CCamera* camera)
{
    camera->name = ReadName(file);
    camera->position = ReadVector(file);
    const D3DVECTOR targetPosition = ReadVector(file);
    camera->target = new (std::nothrow) CTargetObject();
    if (camera->name == nullptr || camera->target == nullptr) {
        ShowError("LibKVF : Not enough memory to read a camera");
        return 1;
    }
    camera->target->position = targetPosition;
    camera->parameter1 = ReadFloat(file);
    camera->parameter2 = ReadFloat(file);
    camera->fieldOfView = ReadFloat(file);
    return 0;
}
