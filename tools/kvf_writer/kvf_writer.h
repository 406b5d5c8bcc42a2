// Writes KVF scene files from plain descriptions: every record kind, every
// controller family and type code and every modifier body, laid out exactly
// as the engine's readers read them. Values are written as given, in the
// file's own axes (ToFileAxes converts an engine-axes vector); counts are
// written from the vectors' sizes unless an explicit count is set, which
// lets tests write records whose counts lie.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "scene/kvf_format.h"
#include "tools/kvf_writer/byte_writer.h"

namespace kvf {

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// The file vector whose engine-axes reading is (x, y, z): the inverse of the
// reader's (x, y, z) -> (-x, z, -y).
Vec3 ToFileAxes(float x, float y, float z);

// Twelve floats as stored: three axis rows, then the translation row.
struct Matrix43 {
    float m[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
};

// ---- Controllers -----------------------------------------------------------

struct TcbParams {
    float tension = 0.0f;
    float continuity = 0.0f;
    float bias = 0.0f;
    float easeFrom = 0.0f;
    float easeTo = 0.0f;
};

// One key of any controller. Key-framed types (TCB and linear) write the time
// as an int32 (truncated toward zero), sampled types as a float. TCB keys
// write the parameters; linear keys write `skipped` where their layout has
// filler.
struct Key {
    float time = 0.0f;
    TcbParams params;
    // Vector: x, y, z. Axis-angle rotation: axis x, y, z, then the angle.
    // Angle-family rotation and float: value[0].
    float value[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float skipped[6] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
};

enum class ControllerFamily {
    Vector,            // position and scale records (the same layout)
    RotationAxisAngle, // rotation records, selector 1
    RotationAngle,     // rotation records, any other selector
    Float,             // float parameters of modifiers
};

struct Controller {
    int32_t type = kControllerTcb;
    std::vector<Key> keys;
    std::optional<int32_t> keyCount; // written instead of keys.size()
};

// Bytes one key of this family and type takes; 0 when the type is written
// alone (no count, no keys).
int KeySize(ControllerFamily family, int32_t type);

// A key at `time` holding (x, y, z) in its first three values.
Key VectorKey(float time, float x, float y, float z);

// A TCB controller with one key at time 0.
Controller ConstantVector(float x, float y, float z);
Controller ConstantRotation(float axisX, float axisY, float axisZ, float angle);
Controller ConstantFloat(float value);

// ---- Materials -------------------------------------------------------------

struct OffsetKey {
    float time = 0.0f;
    float u = 0.0f;
    float v = 0.0f;
};

struct TextMap {
    int32_t kind = kMapTexture;
    std::string name;
    int32_t reserved = 0;
    uint8_t hasFile = 0;          // 1: file name and offset block follow
    std::string fileName;
    uint8_t animated = 0;         // offset block: 0 static (u, v), else keys
    float u = 0.0f;
    float v = 0.0f;
    std::vector<OffsetKey> keys;
    std::optional<int32_t> keyCount;
    std::vector<TextMap> subMaps;
    std::optional<int32_t> subMapCount;
};

struct Material {
    int32_t id = 0;
    std::string name;
    Vec3 ambient;
    Vec3 diffuse;
    Vec3 specular;
    float reserved = 0.0f;
    float power = 0.0f;
    float transparency = 0.0f;
    float reserved2[2] = {0.0f, 0.0f};
    uint8_t twoSided = 0;
    uint8_t wireframe = 0;
    int32_t blendKind = 0;
    std::vector<TextMap> maps;
    std::optional<int32_t> mapCount;
};

// ---- Modifiers -------------------------------------------------------------

// Flag 1: a float controller record follows; any other flag: one float.
struct FloatParameter {
    uint8_t flag = 0;
    float constant = 0.0f;
    Controller controller;
};

FloatParameter ConstantParameter(float value);
FloatParameter AnimatedParameter(const Controller& controller);

// The head of the bend, stretch, twist and wave bodies. Each has-flag is
// written as given; its controller follows only when the flag is 1. The
// defaults are a gizmo at rest: no translation, identity rotation, and the
// scale whose engine reading is (1, 1, 1) (the scale track is read with the
// position's axis conversion).
struct Gizmo {
    Matrix43 matrix;
    Controller position = ConstantVector(0, 0, 0);
    uint8_t hasOffset = 1;
    Controller offset = ConstantVector(0, 0, 0);
    uint8_t hasScale = 1;
    Controller scale = ConstantVector(-1, -1, 1);
    uint8_t hasRotation = 1;
    Controller rotation = ConstantRotation(0, 0, 1, 0);
};

struct SkinInfluence {
    int32_t bone = 0;
    float weight = 0.0f;
};

struct SkinVertex {
    std::vector<SkinInfluence> influences;
    std::optional<int32_t> count; // written instead of influences.size()
};

struct SkinBone {
    std::string name;
    Matrix43 bind;
};

struct Skin {
    Matrix43 meshMatrix;
    std::vector<SkinBone> bones;
    std::optional<int32_t> boneCount;
    std::vector<SkinVertex> vertices; // entry j describes position j
    std::optional<int32_t> vertexCount;
};

// One entry of the modifier block. Bend, stretch and twist write the gizmo,
// the axis and two parameters; wave and ripple the gizmo and five
// parameters (amplitude 1, amplitude 2, wave length, phase, decay); the two
// skin types the skin; any other type only its code. Missing parameters are
// written as constants 0.
struct Modifier {
    int32_t type = kBend;
    Gizmo gizmo;
    int32_t axis = 2;
    std::vector<FloatParameter> parameters;
    Skin skin;
};

struct ModifierBlock {
    std::vector<Modifier> entries;
    std::optional<int32_t> count; // written instead of entries.size()
    uint8_t present = 1;          // written when the count is not 0
};

// ---- Objects ---------------------------------------------------------------

// Corner indices a, b, c as stored (file winding).
struct Face {
    uint16_t a = 0, b = 0, c = 0;
    int32_t smoothingGroup = 0;
    int32_t materialId = -1;
};

struct IndexTriple {
    uint16_t a = 0, b = 0, c = 0;
};

struct FaceNormals {
    Vec3 a, b, c;
};

struct Uv {
    float u = 0.0f;
    float v = 0.0f;
};

struct Mesh {
    std::string name;
    Matrix43 transform;
    Vec3 pivot;
    uint8_t flag1 = 0;
    uint8_t lighting = 1;
    uint8_t flag3 = 0;
    std::vector<Vec3> positions;
    std::optional<int32_t> positionCount;
    std::vector<Face> faces;
    std::optional<int32_t> faceCount;
    uint8_t normalsFlag = 0;          // 1: `normals` are written, one triple per face
    std::vector<FaceNormals> normals;
    uint8_t faceMapFlag = 0;          // not 0: 24 bytes per face (faceMap, zero-padded)
    std::vector<uint8_t> faceMap;
    std::vector<Uv> uvs;              // without a face map
    std::optional<int32_t> uvCount;
    std::vector<IndexTriple> uvFaces; // written when the uv count is not 0
    std::vector<Vec3> colours;        // r, g, b; not written after face-map flag 1
    std::optional<int32_t> colourCount;
    std::vector<IndexTriple> colourFaces;
    ModifierBlock modifiers;          // not written after face-map flag 1
};

struct Camera {
    std::string name;
    Vec3 position;
    Vec3 target;
    float parameter1 = 0.0f;
    float parameter2 = 0.0f;
    float fieldOfView = 0.785398f;
};

struct Light {
    std::string name;
    int32_t type = kLightPoint; // point, spot with target, others spot
    Vec3 position;
    Vec3 target;            // kLightTargetedSpot only
    Vec3 colour = {1.0f, 1.0f, 1.0f};
    float multiplier = 1.0f;
    float hotspot = 0.0f;   // types other than point
    float falloff = 0.0f;   // types other than point
    uint8_t rangeFlag = 0;
    float rangeValue1 = 0.0f; // with the range flag, types other than kLightNoRange
    float range = 0.0f;
    uint8_t markerFlag = 0;
};

struct Spline {
    uint8_t closed = 0;
    std::vector<Vec3> points;
    std::optional<int32_t> pointCount;
};

struct Shape {
    std::string name;
    Matrix43 transform;
    Vec3 pivot;
    std::vector<Spline> splines;
    std::optional<int32_t> splineCount;
};

struct Helper {
    std::string name;
    int32_t subtype = 0;
    Matrix43 transform;
    Vec3 pivot;
    Vec3 vector1;
    Vec3 vector2;
};

// A bare int32 in the object stream (an unknown kind code).
struct RawCode {
    int32_t code = 7;
};

using Object = std::variant<Mesh, Camera, Light, Shape, Helper, RawCode>;

// ---- Nodes -----------------------------------------------------------------

struct Node {
    int32_t depth = 0;
    int32_t kind = kNodeMesh;
    std::string name;
    std::string ownerName; // target kinds
    Vec3 pivot;            // mesh, shape and helper kinds
    Controller position = ConstantVector(0, 0, 0);
    uint8_t rotationSelector = kRotationAxisAngle;
    Controller rotation = ConstantRotation(0, 0, 1, 0);
    Controller scale = ConstantVector(1, 1, 1);
};

// ---- Scene -----------------------------------------------------------------

struct Scene {
    std::string magic = "KVF";
    int32_t version = 1;
    Vec3 ambient;
    std::vector<Material> materials;
    std::optional<int32_t> materialCount;
    std::vector<Object> objects;
    bool endObjects = true; // write the code 666 after the objects
    int32_t startFrame = 0;
    int32_t endFrame = 100;
    int32_t frameRate = 30;
    std::vector<Node> nodes;
};

// ---- Writers ---------------------------------------------------------------

void WriteController(ByteWriter& out, ControllerFamily family, const Controller& controller);
void WriteTextMap(ByteWriter& out, const TextMap& map);
void WriteMaterial(ByteWriter& out, const Material& material);
void WriteGizmo(ByteWriter& out, const Gizmo& gizmo);
void WriteFloatParameter(ByteWriter& out, const FloatParameter& parameter);
// The skin body; `matrixFirst` for kSkinMatrixFirst, bone count first for kSkinCountFirst.
void WriteSkin(ByteWriter& out, const Skin& skin, bool matrixFirst);
// The type code and the body of its kind.
void WriteModifier(ByteWriter& out, const Modifier& modifier);
void WriteModifierBlock(ByteWriter& out, const ModifierBlock& block);
// The records below follow their kind code (not written by them).
void WriteMesh(ByteWriter& out, const Mesh& mesh);
void WriteCamera(ByteWriter& out, const Camera& camera);
void WriteLight(ByteWriter& out, const Light& light);
void WriteShape(ByteWriter& out, const Shape& shape);
void WriteHelper(ByteWriter& out, const Helper& helper);
// The kind code, then the record.
void WriteObject(ByteWriter& out, const Object& object);
// The depth first, then the record.
void WriteNode(ByteWriter& out, const Node& node);
std::vector<uint8_t> WriteScene(const Scene& scene);

// One record alone, for tests that read a single record.
std::vector<uint8_t> MeshBytes(const Mesh& mesh);
std::vector<uint8_t> ModifierBlockBytes(const ModifierBlock& block);

} // namespace kvf
