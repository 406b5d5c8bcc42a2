// The codes of the KVF scene file: what each record, node, controller,
// light, texture map and modifier entry is called in the file. The reader,
// the writer and the importer all take them from here; the header needs
// nothing but the standard integer types, so programs that only write files
// include it without the engine.
#pragma once

#include <cstdint>

namespace kvf {

// The int32 before each record of the object stream, and the code that
// ends the stream.
enum ObjectCode : int32_t {
    kObjectMesh = 0,
    kObjectCamera = 1,
    kObjectLight = 2,
    kObjectShape = 3,
    kObjectHelper = 4,
    kEndOfObjects = 666,
};

// A node's kind: the object it moves. Target nodes carry their owner's
// name; mesh, shape and helper nodes carry a pivot.
enum NodeKind : int32_t {
    kNodeMesh = 0,
    kNodeCamera = 1,
    kNodeLight = 2,
    kNodeShape = 3,
    kNodeHelper = 4,
    kNodeCameraTarget = 5,
    kNodeLightTarget = 6,
};

// A controller record's type. Key-framed types store the key time as an
// int32, sampled ones as a float. For the angle rotation family and float
// tracks every other type is a record of its code alone.
enum ControllerType : int32_t {
    kControllerTcb = 0,
    kControllerLinear = 1,
    kControllerSampled = 2,
};

// The byte before a node's rotation record: axis-angle keys, or any other
// value for the angle family.
enum RotationSelector : uint8_t {
    kRotationAngle = 0,
    kRotationAxisAngle = 1,
};

// Light record types: a point light, a spot aimed at its target node, and
// the spot whose record carries no range values. Other codes are spots.
enum LightType : int32_t {
    kLightPoint = 1,
    kLightTargetedSpot = 2,
    kLightNoRange = 4,
};

// Texture map kinds the engine uses; other kinds are carried along.
enum MapKind : int32_t {
    kMapTexture = 1,
    kMapOpacity = 6,
    kMapReflection = 9,
};

// Entry codes of a mesh's modifier block. The two skin codes differ only in
// the order of the skin record's fields; an empty entry is its code alone.
enum ModifierType : int32_t {
    kBend = 0,
    kStretch = 1,
    kSkinCountFirst = 2,
    kSkinMatrixFirst = 3,
    kEmptyEntry = 4,
    kWave = 8,
    kRipple = 16,
    kTwist = 32,
};

} // namespace kvf
