// Splines drawn as unlit white line strips.
#pragma once

#include <cstdint>

#include "scene/scene_object.h"

// 16 bytes, the layout of vertex format 0x42 (position, colour).
struct ShapePoint {
    float x, y, z;
    DWORD colour; // set by Prepare
};
static_assert(sizeof(ShapePoint) == 16, "ShapePoint is the 0x42 vertex");

struct ShapeSpline {
    uint8_t closed;
    int32_t pointCount;
    ShapePoint* points; // owned (new[])
};

class CShape : public CSceneObject {
public:
    CShape();
    ~CShape() override;

    // Colours the points and closes closed splines.
    int Prepare(IDirect3DDevice8* device) override;
    // Each spline as an unlit white line strip in the shape's world space;
    // lighting and the world transform are put back.
    void Draw(IDirect3DDevice8* device) override;

    int32_t splineCount;
    ShapeSpline* splines; // owned (new[])
};
