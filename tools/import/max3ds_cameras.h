// Reads the cameras of a 3DS file from the file itself: the library keeps
// neither a 3DS camera's target nor its roll track as such, and both are
// what the engine's target cameras are made of. 3DS stores them in the KVF
// file's own axes with tension/continuity/bias keys, so they carry over as
// they are.
#pragma once

#include <string>
#include <vector>

#include "tools/kvf_writer/kvf_writer.h"

namespace import {

struct Max3dsKey {
    int32_t frame = 0;
    kvf::TcbParams params;
    float value[3] = {0.0f, 0.0f, 0.0f};
};

struct Max3dsCamera {
    std::string name;
    // From the camera object: eye, target, roll (degrees), lens (mm).
    kvf::Vec3 eye;
    kvf::Vec3 target;
    float roll = 0.0f;
    float lens = 0.0f;
    // From the keyframer, when the file has one for this camera and neither
    // node has a parent: eye and target positions, roll and field of view
    // (degrees) in frames of the file.
    bool keyed = false;
    std::vector<Max3dsKey> eyeKeys;
    std::vector<Max3dsKey> targetKeys;
    std::vector<Max3dsKey> rollKeys;
    std::vector<Max3dsKey> fovKeys;
};

// The cameras of the 3DS file at `path`; empty when it has none or is not
// readable. Damaged chunks end the reading of their parent quietly: the
// library has already read the file.
std::vector<Max3dsCamera> ReadMax3dsCameras(const std::string& path);

} // namespace import
