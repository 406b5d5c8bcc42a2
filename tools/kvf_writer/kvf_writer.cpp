#include "tools/kvf_writer/kvf_writer.h"

namespace kvf {

namespace {

void WriteVec3(ByteWriter& out, const Vec3& v)
{
    out.Float(v.x);
    out.Float(v.y);
    out.Float(v.z);
}

void WriteMatrix(ByteWriter& out, const Matrix43& m)
{
    for (float value : m.m) {
        out.Float(value);
    }
}

void WriteParams(ByteWriter& out, const TcbParams& p)
{
    out.Float(p.tension);
    out.Float(p.continuity);
    out.Float(p.bias);
    out.Float(p.easeFrom);
    out.Float(p.easeTo);
}

void WriteCount(ByteWriter& out, const std::optional<int32_t>& explicitCount, size_t size)
{
    out.Int32(explicitCount ? *explicitCount : static_cast<int32_t>(size));
}

void WriteKey(ByteWriter& out, ControllerFamily family, int32_t type, const Key& key)
{
    const bool keyFramed = type == kControllerTcb || type == kControllerLinear;
    if (keyFramed) {
        out.Int32(static_cast<int32_t>(key.time));
    } else {
        out.Float(key.time);
    }
    switch (family) {
    case ControllerFamily::Vector:
        if (type == kControllerTcb) {
            WriteParams(out, key.params);
        } else if (type == kControllerLinear) {
            for (float f : key.skipped) {
                out.Float(f);
            }
        }
        out.Float(key.value[0]);
        out.Float(key.value[1]);
        out.Float(key.value[2]);
        break;
    case ControllerFamily::RotationAxisAngle:
        if (type == kControllerTcb) {
            WriteParams(out, key.params);
        }
        for (float f : key.value) {
            out.Float(f);
        }
        break;
    case ControllerFamily::RotationAngle:
    case ControllerFamily::Float:
        if (type == kControllerTcb) {
            WriteParams(out, key.params);
        } else {
            out.Float(key.skipped[0]);
            out.Float(key.skipped[1]);
        }
        out.Float(key.value[0]);
        break;
    }
}

void WriteIndexTriples(ByteWriter& out, const std::vector<IndexTriple>& triples)
{
    for (const IndexTriple& t : triples) {
        out.UInt16(t.a);
        out.UInt16(t.b);
        out.UInt16(t.c);
    }
}

struct ObjectWriter {
    ByteWriter& out;
    void operator()(const Mesh& mesh) const
    {
        out.Int32(kObjectMesh);
        WriteMesh(out, mesh);
    }
    void operator()(const Camera& camera) const
    {
        out.Int32(kObjectCamera);
        WriteCamera(out, camera);
    }
    void operator()(const Light& light) const
    {
        out.Int32(kObjectLight);
        WriteLight(out, light);
    }
    void operator()(const Shape& shape) const
    {
        out.Int32(kObjectShape);
        WriteShape(out, shape);
    }
    void operator()(const Helper& helper) const
    {
        out.Int32(kObjectHelper);
        WriteHelper(out, helper);
    }
    void operator()(const RawCode& raw) const { out.Int32(raw.code); }
};

} // namespace

Vec3 ToFileAxes(float x, float y, float z)
{
    // Engine (X, Y, Z) = (-x, z, -y) for file (x, y, z).
    return Vec3{-x, -z, y};
}

int KeySize(ControllerFamily family, int32_t type)
{
    switch (family) {
    case ControllerFamily::Vector:
        return type == kControllerTcb ? 36 : type == kControllerLinear ? 40 : 16;
    case ControllerFamily::RotationAxisAngle:
        return type == kControllerTcb ? 40 : 20;
    case ControllerFamily::RotationAngle:
    case ControllerFamily::Float:
        return type == kControllerTcb ? 28 : type == kControllerLinear ? 16 : 0;
    }
    return 0;
}

Key VectorKey(float time, float x, float y, float z)
{
    Key key;
    key.time = time;
    key.value[0] = x;
    key.value[1] = y;
    key.value[2] = z;
    return key;
}

Controller ConstantVector(float x, float y, float z)
{
    Controller c;
    c.keys.push_back(VectorKey(0.0f, x, y, z));
    return c;
}

Controller ConstantRotation(float axisX, float axisY, float axisZ, float angle)
{
    Controller c;
    Key key;
    key.value[0] = axisX;
    key.value[1] = axisY;
    key.value[2] = axisZ;
    key.value[3] = angle;
    c.keys.push_back(key);
    return c;
}

Controller ConstantFloat(float value)
{
    Controller c;
    Key key;
    key.value[0] = value;
    c.keys.push_back(key);
    return c;
}

FloatParameter ConstantParameter(float value)
{
    FloatParameter p;
    p.flag = 0;
    p.constant = value;
    return p;
}

FloatParameter AnimatedParameter(const Controller& controller)
{
    FloatParameter p;
    p.flag = 1;
    p.controller = controller;
    return p;
}

void WriteController(ByteWriter& out, ControllerFamily family, const Controller& controller)
{
    out.Int32(controller.type);
    if (KeySize(family, controller.type) == 0) {
        return; // a type that makes no controller is its code alone
    }
    WriteCount(out, controller.keyCount, controller.keys.size());
    for (const Key& key : controller.keys) {
        WriteKey(out, family, controller.type, key);
    }
}

void WriteTextMap(ByteWriter& out, const TextMap& map)
{
    out.Int32(map.kind);
    out.String(map.name);
    out.Int32(map.reserved);
    out.Byte(map.hasFile);
    if (map.hasFile == 1) {
        out.String(map.fileName);
        out.Byte(map.animated);
        if (map.animated == 0) {
            out.Float(map.u);
            out.Float(map.v);
        } else {
            WriteCount(out, map.keyCount, map.keys.size());
            for (const OffsetKey& key : map.keys) {
                out.Float(key.time);
                out.Float(key.u);
                out.Float(key.v);
            }
        }
    }
    WriteCount(out, map.subMapCount, map.subMaps.size());
    for (const TextMap& sub : map.subMaps) {
        WriteTextMap(out, sub);
    }
}

void WriteMaterial(ByteWriter& out, const Material& material)
{
    out.Int32(material.id);
    out.String(material.name);
    WriteVec3(out, material.ambient);
    WriteVec3(out, material.diffuse);
    WriteVec3(out, material.specular);
    out.Float(material.reserved);
    out.Float(material.power);
    out.Float(material.transparency);
    out.Float(material.reserved2[0]);
    out.Float(material.reserved2[1]);
    out.Byte(material.twoSided);
    out.Byte(material.wireframe);
    out.Int32(material.blendKind);
    WriteCount(out, material.mapCount, material.maps.size());
    for (const TextMap& map : material.maps) {
        WriteTextMap(out, map);
    }
}

void WriteGizmo(ByteWriter& out, const Gizmo& gizmo)
{
    WriteMatrix(out, gizmo.matrix);
    WriteController(out, ControllerFamily::Vector, gizmo.position);
    out.Byte(gizmo.hasOffset);
    if (gizmo.hasOffset == 1) {
        WriteController(out, ControllerFamily::Vector, gizmo.offset);
    }
    out.Byte(gizmo.hasScale);
    if (gizmo.hasScale == 1) {
        WriteController(out, ControllerFamily::Vector, gizmo.scale);
    }
    out.Byte(gizmo.hasRotation);
    if (gizmo.hasRotation == 1) {
        WriteController(out, ControllerFamily::RotationAxisAngle, gizmo.rotation);
    }
}

void WriteFloatParameter(ByteWriter& out, const FloatParameter& parameter)
{
    out.Byte(parameter.flag);
    if (parameter.flag == 1) {
        WriteController(out, ControllerFamily::Float, parameter.controller);
    } else {
        out.Float(parameter.constant);
    }
}

void WriteSkin(ByteWriter& out, const Skin& skin, bool matrixFirst)
{
    if (matrixFirst) {
        WriteMatrix(out, skin.meshMatrix);
        WriteCount(out, skin.boneCount, skin.bones.size());
    } else {
        WriteCount(out, skin.boneCount, skin.bones.size());
        WriteMatrix(out, skin.meshMatrix);
    }
    for (const SkinBone& bone : skin.bones) {
        out.String(bone.name);
        WriteMatrix(out, bone.bind);
    }
    WriteCount(out, skin.vertexCount, skin.vertices.size());
    for (const SkinVertex& vertex : skin.vertices) {
        const int32_t count = vertex.count ? *vertex.count : static_cast<int32_t>(vertex.influences.size());
        out.Int32(count);
        if (count > 0) {
            for (const SkinInfluence& influence : vertex.influences) {
                out.Int32(influence.bone);
                out.Float(influence.weight);
            }
        }
    }
}

void WriteModifier(ByteWriter& out, const Modifier& modifier)
{
    out.Int32(modifier.type);
    auto parameter = [&](size_t i) {
        WriteFloatParameter(out, i < modifier.parameters.size() ? modifier.parameters[i] : ConstantParameter(0.0f));
    };
    switch (modifier.type) {
    case kBend:
    case kStretch:
    case kTwist:
        WriteGizmo(out, modifier.gizmo);
        out.Int32(modifier.axis);
        parameter(0);
        parameter(1);
        break;
    case kWave:
    case kRipple:
        WriteGizmo(out, modifier.gizmo);
        for (size_t i = 0; i < 5; ++i) {
            parameter(i);
        }
        break;
    case kSkinCountFirst:
        WriteSkin(out, modifier.skin, false);
        break;
    case kSkinMatrixFirst:
        WriteSkin(out, modifier.skin, true);
        break;
    default:
        break; // the code alone
    }
}

void WriteModifierBlock(ByteWriter& out, const ModifierBlock& block)
{
    const int32_t count = block.count ? *block.count : static_cast<int32_t>(block.entries.size());
    out.Int32(count);
    if (count == 0) {
        return;
    }
    out.Byte(block.present);
    if (block.present == 0) {
        return;
    }
    for (const Modifier& modifier : block.entries) {
        WriteModifier(out, modifier);
    }
}

void WriteMesh(ByteWriter& out, const Mesh& mesh)
{
    out.String(mesh.name);
    WriteMatrix(out, mesh.transform);
    WriteVec3(out, mesh.pivot);
    out.Byte(mesh.flag1);
    out.Byte(mesh.lighting);
    out.Byte(mesh.flag3);
    WriteCount(out, mesh.positionCount, mesh.positions.size());
    WriteCount(out, mesh.faceCount, mesh.faces.size());
    for (const Vec3& p : mesh.positions) {
        WriteVec3(out, p);
    }
    for (const Face& face : mesh.faces) {
        out.UInt16(face.a);
        out.UInt16(face.b);
        out.UInt16(face.c);
        out.Int32(face.smoothingGroup);
        out.Int32(face.materialId);
    }
    out.Byte(mesh.normalsFlag);
    if (mesh.normalsFlag == 1) {
        for (const FaceNormals& n : mesh.normals) {
            WriteVec3(out, n.a);
            WriteVec3(out, n.b);
            WriteVec3(out, n.c);
        }
    }
    out.Byte(mesh.faceMapFlag);
    if (mesh.faceMapFlag != 0) {
        std::vector<uint8_t> faceMap = mesh.faceMap;
        faceMap.resize(mesh.faces.size() * 24, 0);
        out.Bytes(faceMap);
        if (mesh.faceMapFlag == 1) {
            return; // the record ends after the face map
        }
    } else {
        const int32_t uvCount = mesh.uvCount ? *mesh.uvCount : static_cast<int32_t>(mesh.uvs.size());
        out.Int32(uvCount);
        if (uvCount != 0) {
            for (const Uv& uv : mesh.uvs) {
                out.Float(uv.u);
                out.Float(uv.v);
            }
            WriteIndexTriples(out, mesh.uvFaces);
        }
    }
    const int32_t colourCount =
        mesh.colourCount ? *mesh.colourCount : static_cast<int32_t>(mesh.colours.size());
    out.Int32(colourCount);
    if (colourCount != 0) {
        for (const Vec3& c : mesh.colours) {
            WriteVec3(out, c);
        }
        WriteIndexTriples(out, mesh.colourFaces);
    }
    WriteModifierBlock(out, mesh.modifiers);
}

void WriteCamera(ByteWriter& out, const Camera& camera)
{
    out.String(camera.name);
    WriteVec3(out, camera.position);
    WriteVec3(out, camera.target);
    out.Float(camera.parameter1);
    out.Float(camera.parameter2);
    out.Float(camera.fieldOfView);
}

void WriteLight(ByteWriter& out, const Light& light)
{
    out.String(light.name);
    out.Int32(light.type);
    WriteVec3(out, light.position);
    if (light.type == kLightTargetedSpot) {
        WriteVec3(out, light.target);
    }
    WriteVec3(out, light.colour);
    out.Float(light.multiplier);
    if (light.type != kLightPoint) {
        out.Float(light.hotspot);
        out.Float(light.falloff);
    }
    out.Byte(light.rangeFlag);
    if (light.rangeFlag != 0 && light.type != kLightNoRange) {
        out.Float(light.rangeValue1);
        out.Float(light.range);
    }
    out.Byte(light.markerFlag);
}

void WriteShape(ByteWriter& out, const Shape& shape)
{
    out.String(shape.name);
    WriteMatrix(out, shape.transform);
    WriteVec3(out, shape.pivot);
    WriteCount(out, shape.splineCount, shape.splines.size());
    for (const Spline& spline : shape.splines) {
        out.Byte(spline.closed);
        WriteCount(out, spline.pointCount, spline.points.size());
        for (const Vec3& p : spline.points) {
            WriteVec3(out, p);
        }
    }
}

void WriteHelper(ByteWriter& out, const Helper& helper)
{
    out.String(helper.name);
    out.Int32(helper.subtype);
    WriteMatrix(out, helper.transform);
    WriteVec3(out, helper.pivot);
    WriteVec3(out, helper.vector1);
    WriteVec3(out, helper.vector2);
}

void WriteObject(ByteWriter& out, const Object& object)
{
    std::visit(ObjectWriter{out}, object);
}

void WriteNode(ByteWriter& out, const Node& node)
{
    out.Int32(node.depth);
    out.Int32(node.kind);
    out.String(node.name);
    if (node.kind == kNodeCameraTarget || node.kind == kNodeLightTarget) {
        out.String(node.ownerName);
    }
    if (node.kind == kNodeMesh || node.kind == kNodeShape || node.kind == kNodeHelper) {
        WriteVec3(out, node.pivot);
    }
    WriteController(out, ControllerFamily::Vector, node.position);
    out.Byte(node.rotationSelector);
    WriteController(out,
                    node.rotationSelector == kRotationAxisAngle ? ControllerFamily::RotationAxisAngle
                                               : ControllerFamily::RotationAngle,
                    node.rotation);
    WriteController(out, ControllerFamily::Vector, node.scale);
}

std::vector<uint8_t> WriteScene(const Scene& scene)
{
    ByteWriter out;
    for (char c : scene.magic) {
        out.Byte(static_cast<uint8_t>(c));
    }
    out.Int32(scene.version);
    WriteVec3(out, scene.ambient);
    WriteCount(out, scene.materialCount, scene.materials.size());
    for (const Material& material : scene.materials) {
        WriteMaterial(out, material);
    }
    for (const Object& object : scene.objects) {
        WriteObject(out, object);
    }
    if (scene.endObjects) {
        out.Int32(kEndOfObjects);
    }
    out.Int32(scene.startFrame);
    out.Int32(scene.endFrame);
    out.Int32(scene.frameRate);
    for (const Node& node : scene.nodes) {
        WriteNode(out, node);
    }
    return out.Take();
}

std::vector<uint8_t> MeshBytes(const Mesh& mesh)
{
    ByteWriter out;
    WriteMesh(out, mesh);
    return out.Take();
}

std::vector<uint8_t> ModifierBlockBytes(const ModifierBlock& block)
{
    ByteWriter out;
    WriteModifierBlock(out, block);
    return out.Take();
}

} // namespace kvf
