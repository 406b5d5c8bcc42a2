#include "scene/shape.h"

#include <new>

#include "math/d3dx_math.h"
#include "pack/pack_file.h"
#include "platform/d3d8/d3d8.h"
#include "platform/report/report.h"
#include "scene/kvf_read.h"
#include "scene/scene.h"

namespace {
// A spline is at least its closed flag and its point count; a point is three
// floats.
constexpr int kMinSplineBytes = 5;
constexpr int kPointBytes = 12;
constexpr DWORD kOpaqueWhite = 0xFFFFFFFFu;
// D3DFVF_XYZ | D3DFVF_DIFFUSE.
constexpr DWORD kShapePointFvf = 0x42;
} // namespace

CShape::CShape() : splineCount(0), splines(nullptr)
{
}

CShape::~CShape()
{
    for (int32_t i = 0; i < splineCount; ++i) {
        delete[] splines[i].points;
    }
    delete[] splines;
}

int CShape::Prepare(IDirect3DDevice8* /*device*/)
{
    for (int32_t i = 0; i < splineCount; ++i) {
        ShapeSpline& spline = splines[i];
        if (spline.pointCount <= 0) {
            ShowWarning("LibKVF : A Shape has less than one point!");
            continue;
        }
        for (int32_t p = 0; p < spline.pointCount; ++p) {
            spline.points[p].colour = kOpaqueWhite;
        }
        if (spline.closed != 0) {
            // A closed spline repeats its first point at the end.
            ShapePoint* closedPoints = new (std::nothrow) ShapePoint[spline.pointCount + 1];
            if (closedPoints == nullptr) {
                ShowError("LibKVF : Not enough memory to prepare the shape %s", name != nullptr ? name : "");
                return 1;
            }
            for (int32_t p = 0; p < spline.pointCount; ++p) {
                closedPoints[p] = spline.points[p];
            }
            closedPoints[spline.pointCount] = spline.points[0];
            delete[] spline.points;
            spline.points = closedPoints;
            ++spline.pointCount;
        }
    }
    return 0;
}

void CShape::Draw(IDirect3DDevice8* device)
{
    if (device == nullptr) {
        return;
    }
    DWORD savedLighting = TRUE;
    device->GetRenderState(D3DRS_LIGHTING, &savedLighting);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    D3DMATERIAL8 white = {};
    white.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
    white.Ambient = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
    device->SetMaterial(&white);
    device->SetTexture(0, nullptr);
    D3DMATRIX savedWorld;
    device->GetTransform(D3DTS_WORLD, &savedWorld);
    D3DMATRIX w;
    D3DXMatrixMultiply(&w, &world, &savedWorld);
    device->SetTransform(D3DTS_WORLD, &w);
    device->SetVertexShader(kShapePointFvf);
    for (int32_t i = 0; i < splineCount; ++i) {
        const ShapeSpline& spline = splines[i];
        if (spline.pointCount > 0 && spline.points != nullptr) {
            device->DrawPrimitiveUP(D3DPT_LINESTRIP, static_cast<UINT>(spline.pointCount - 1), spline.points,
                                    sizeof(ShapePoint));
        }
    }
    device->SetRenderState(D3DRS_LIGHTING, savedLighting);
    device->SetTransform(D3DTS_WORLD, &savedWorld);
}

int CScene::ReadShape(CPackFile* file, CShape* shape)
{
    shape->name = ReadName(file);
    if (shape->name == nullptr) {
        ShowError("LibKVF : Not enough memory to read a shape");
        return 1;
    }
    ReadMatrix(file, &shape->transform);
    shape->pivot = ReadVector(file);
    const int32_t count = ReadInt32(file);
    if (!CountFits(file, count, kMinSplineBytes)) {
        ShowError("LibKVF : Corrupted shape record : %s", shape->name);
        return 1;
    }
    if (count == 0) {
        return 0;
    }
    shape->splines = new (std::nothrow) ShapeSpline[count]();
    if (shape->splines == nullptr) {
        ShowError("LibKVF : Not enough memory to read the shape %s", shape->name);
        return 1;
    }
    shape->splineCount = count;
    for (int32_t i = 0; i < count; ++i) {
        ShapeSpline& spline = shape->splines[i];
        spline.closed = ReadByte(file);
        const int32_t points = ReadInt32(file);
        if (!CountFits(file, points, kPointBytes)) {
            ShowError("LibKVF : Corrupted shape record : %s", shape->name);
            return 1;
        }
        if (points > 0) {
            spline.points = new (std::nothrow) ShapePoint[points]();
            if (spline.points == nullptr) {
                ShowError("LibKVF : Not enough memory to read the shape %s", shape->name);
                return 1;
            }
        }
        spline.pointCount = points;
        for (int32_t p = 0; p < points; ++p) {
            const D3DVECTOR v = ReadVector(file);
            spline.points[p].x = v.x;
            spline.points[p].y = v.y;
            spline.points[p].z = v.z;
        }
    }
    return 0;
}
