// Models the look tests write themselves, in every format the importer is
// checked with: four small cubes of four colours at known places (markers
// whose centres the tests find on a picture), seen by a camera whose place,
// direction, roll and angle each format states its own way.
#pragma once

#include <assimp/types.h>

#include <string>
#include <vector>

struct Marker {
    aiVector3D centre;
    aiColor3D colour;
};

// The markers, in the model's axes (+Y up).
const std::vector<Marker>& Markers();
// Half the side of a marker cube.
constexpr float kMarkerSize = 0.05f;

// A camera in the model's axes: at `eye`, turned by `yaw` about +Y and
// rolled by `roll` about its view; it looks along -Z and is up along +Y
// before turning. Formats that hold one angle state `angle`: the whole
// vertical angle for glTF, the whole horizontal angle for the rest.
struct MarkerCamera {
    aiVector3D eye{0.4f, 0.6f, 7.0f};
    float yaw = 0.08f;
    float roll = 0.0f;
    float angle = 0.0f;
    bool vertical = false;

    aiVector3D Forward() const;
    aiVector3D Up() const;
    aiVector3D Right() const;
    // Where a point shows on a 640 x 480 picture through this camera, the
    // angle filling the picture's height (vertical) or width.
    aiVector2D Project(const aiVector3D& p) const;
};

std::string MarkerGltf(const MarkerCamera& camera);
// The same as a binary glTF file.
std::vector<uint8_t> MarkerGlb(const MarkerCamera& camera);
std::string MarkerCollada(const MarkerCamera& camera);
// The camera's angle as a 3DS lens: 2400 / lens is the horizontal angle in
// degrees; the roll must be 0.
std::vector<uint8_t> MarkerMax3ds(const MarkerCamera& camera);
// An FBX 7.4 text file; the roll must be 0.
std::string MarkerFbx(const MarkerCamera& camera);
// OBJ has no camera: the file and its material library `markers.mtl`.
std::string MarkerObj();
std::string MarkerMtl();
