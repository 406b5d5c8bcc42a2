// A Collada camera's optics read from the file itself. The library keeps one
// horizontal angle and an aspect: it loses a camera given by yfov alone and
// takes the aspect of one given by xfov and yfov as the ratio of the whole
// angles' tangents. The file's own angles make the engine's angle exact.
#pragma once

#include <string>

namespace import {

// Whole angles in degrees and the aspect ratio; 0 where the file gives none.
struct ColladaLens {
    float xfov = 0.0f;
    float yfov = 0.0f;
    float aspect = 0.0f;
};

// The perspective optics of the camera that the node named (or with the id)
// `nodeName` instances, in the Collada document `text`; false when the node,
// its camera or an angle is not found.
bool FindColladaLens(const std::string& text, const std::string& nodeName, ColladaLens* lens);

} // namespace import
