// Engine value types as JSON fields: a key followed by an array of floats.
#pragma once

#include "platform/d3d8/d3d8_types.h"
#include "tools/inspect/json_writer.h"

// [x, y, z]
inline void Vector(JsonWriter& json, const char* key, const D3DVECTOR& v)
{
    json.Key(key);
    const float values[3] = {v.x, v.y, v.z};
    json.FloatArray(values, 3);
}

// The 16 entries row by row, _11 first.
inline void Matrix(JsonWriter& json, const char* key, const D3DMATRIX& m)
{
    json.Key(key);
    json.FloatArray(&m._11, 16);
}
