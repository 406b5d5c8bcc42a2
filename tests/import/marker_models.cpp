#include "tests/import/marker_models.h"

#include <cmath>
#include <cstring>
#include <sstream>

#include "tests/import/model_files.h"

namespace {

constexpr float kDegrees = 57.2957795f;

const int kCubeFaces[12][3] = {{1, 3, 7}, {1, 7, 5}, {0, 4, 6}, {0, 6, 2}, {2, 6, 7}, {2, 7, 3},
                               {0, 1, 5}, {0, 5, 4}, {4, 5, 7}, {4, 7, 6}, {0, 2, 3}, {0, 3, 1}};

aiVector3D Corner(const Marker& marker, int i)
{
    return marker.centre + aiVector3D((i & 1) ? kMarkerSize : -kMarkerSize, (i & 2) ? kMarkerSize : -kMarkerSize,
                                      (i & 4) ? kMarkerSize : -kMarkerSize);
}

aiVector3D Yawed(float yaw, const aiVector3D& v)
{
    return {std::cos(yaw) * v.x + std::sin(yaw) * v.z, v.y, -std::sin(yaw) * v.x + std::cos(yaw) * v.z};
}

// The model's point in a 3DS file's axes (+Z up).
aiVector3D ToZUp(const aiVector3D& v)
{
    return {v.x, -v.z, v.y};
}

void Put(std::vector<uint8_t>* out, const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

template <typename T>
void PutValue(std::vector<uint8_t>* out, T value)
{
    Put(out, &value, sizeof value);
}

// A 3DS chunk: id, length (header included), body.
std::vector<uint8_t> Chunk(uint16_t id, const std::vector<uint8_t>& body)
{
    std::vector<uint8_t> out;
    PutValue(&out, id);
    PutValue(&out, static_cast<uint32_t>(body.size() + 6));
    Put(&out, body.data(), body.size());
    return out;
}

std::vector<uint8_t> Name(const std::string& name)
{
    return std::vector<uint8_t>(name.c_str(), name.c_str() + name.size() + 1);
}

std::vector<uint8_t> Joined(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto& part : parts) {
        Put(&out, part.data(), part.size());
    }
    return out;
}

const char* const kNames[4] = {"red", "green", "blue", "yellow"};

std::string GltfJson(const MarkerCamera& camera, const std::string& bufferUri, size_t bufferLength)
{
    const float a = 0.5f * camera.yaw, r = 0.5f * camera.roll;
    // The yaw about +Y, then the roll about the view.
    const float qx = std::sin(a) * std::sin(r), qy = std::sin(a) * std::cos(r), qz = std::cos(a) * std::sin(r),
                w = std::cos(a) * std::cos(r);
    std::ostringstream j;
    j.precision(9);
    j << R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1,2,3,4]}],"nodes":[)";
    for (int m = 0; m < 4; ++m) {
        j << R"({"name":"marker_)" << kNames[m] << R"(","mesh":)" << m << "},";
    }
    j << R"({"name":"eye","camera":0,"translation":[)" << camera.eye.x << "," << camera.eye.y << ","
      << camera.eye.z << R"(],"rotation":[)" << qx << "," << qy << "," << qz << "," << w << "]}],";
    // The aspect ratio is not the picture's: the vertical angle is kept.
    j << R"("cameras":[{"type":"perspective","perspective":{"yfov":)" << camera.angle
      << R"(,"aspectRatio":1.5,"znear":0.1,"zfar":100}}],"meshes":[)";
    for (int m = 0; m < 4; ++m) {
        j << (m ? "," : "") << R"({"primitives":[{"attributes":{"POSITION":)" << 2 * m << R"(},"indices":)"
          << 2 * m + 1 << R"(,"material":)" << m << "}]}";
    }
    j << R"(],"materials":[)";
    for (int m = 0; m < 4; ++m) {
        const aiColor3D& c = Markers()[m].colour;
        j << (m ? "," : "") << R"({"name":")" << kNames[m] << R"(","pbrMetallicRoughness":{"baseColorFactor":[)"
          << c.r << "," << c.g << "," << c.b << R"(,1],"metallicFactor":0}})";
    }
    j << R"(],"accessors":[)";
    for (int m = 0; m < 4; ++m) {
        const aiVector3D lo = Corner(Markers()[m], 0), hi = Corner(Markers()[m], 7);
        j << (m ? "," : "") << R"({"bufferView":)" << 2 * m
          << R"(,"componentType":5126,"count":8,"type":"VEC3","min":[)" << lo.x << "," << lo.y << "," << lo.z
          << R"(],"max":[)" << hi.x << "," << hi.y << "," << hi.z << "]},";
        j << R"({"bufferView":)" << 2 * m + 1 << R"(,"componentType":5123,"count":36,"type":"SCALAR"})";
    }
    j << R"(],"bufferViews":[)";
    for (int m = 0; m < 4; ++m) {
        j << (m ? "," : "") << R"({"buffer":0,"byteOffset":)" << m * 96 << R"(,"byteLength":96},)";
        j << R"({"buffer":0,"byteOffset":)" << 384 + m * 72 << R"(,"byteLength":72})";
    }
    j << R"(],"buffers":[{"byteLength":)" << bufferLength;
    if (!bufferUri.empty()) {
        j << R"(,"uri":")" << bufferUri << '"';
    }
    j << "}]}";
    return j.str();
}

std::vector<uint8_t> GltfBuffer()
{
    std::vector<uint8_t> buffer;
    for (const Marker& marker : Markers()) {
        for (int i = 0; i < 8; ++i) {
            const aiVector3D p = Corner(marker, i);
            Put(&buffer, &p, 12);
        }
    }
    for (int m = 0; m < 4; ++m) {
        for (const auto& face : kCubeFaces) {
            for (int k = 0; k < 3; ++k) {
                PutValue(&buffer, static_cast<uint16_t>(face[k]));
            }
        }
    }
    return buffer;
}

} // namespace

const std::vector<Marker>& Markers()
{
    static const std::vector<Marker> markers = {
        {{-1.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}},
        {{1.5f, 0.5f, 0.0f}, {0.0f, 1.0f, 0.0f}},
        {{0.0f, -1.0f, 0.5f}, {0.0f, 0.0f, 1.0f}},
        {{0.5f, 1.5f, -0.5f}, {1.0f, 1.0f, 0.0f}},
    };
    return markers;
}

aiVector3D MarkerCamera::Forward() const
{
    return Yawed(yaw, {0.0f, 0.0f, -1.0f});
}

aiVector3D MarkerCamera::Up() const
{
    return Yawed(yaw, {-std::sin(roll), std::cos(roll), 0.0f});
}

aiVector3D MarkerCamera::Right() const
{
    return Yawed(yaw, {std::cos(roll), std::sin(roll), 0.0f});
}

aiVector2D MarkerCamera::Project(const aiVector3D& p) const
{
    const aiVector3D q = p - eye;
    const float depth = q * Forward();
    // Pixels per unit of (offset / depth).
    const float scale = (vertical ? 240.0f : 320.0f) / std::tan(0.5f * angle);
    return {320.0f + scale * (q * Right()) / depth, 240.0f - scale * (q * Up()) / depth};
}

std::string MarkerGltf(const MarkerCamera& camera)
{
    const std::vector<uint8_t> buffer = GltfBuffer();
    return GltfJson(camera, "data:application/octet-stream;base64," + Base64(buffer), buffer.size());
}

std::vector<uint8_t> MarkerGlb(const MarkerCamera& camera)
{
    const std::vector<uint8_t> buffer = GltfBuffer();
    std::string json = GltfJson(camera, "", buffer.size());
    json.resize((json.size() + 3) / 4 * 4, ' ');
    std::vector<uint8_t> bin = buffer;
    bin.resize((bin.size() + 3) / 4 * 4, 0);
    std::vector<uint8_t> out;
    Put(&out, "glTF", 4);
    PutValue(&out, uint32_t{2});
    PutValue(&out, static_cast<uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
    PutValue(&out, static_cast<uint32_t>(json.size()));
    Put(&out, "JSON", 4);
    Put(&out, json.data(), json.size());
    PutValue(&out, static_cast<uint32_t>(bin.size()));
    Put(&out, "BIN\0", 4);
    Put(&out, bin.data(), bin.size());
    return out;
}

std::string MarkerCollada(const MarkerCamera& camera)
{
    std::ostringstream d;
    d.precision(9);
    d << R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset><unit name="meter" meter="1"/><up_axis>Y_UP</up_axis></asset>
<library_cameras><camera id="eye-camera" name="eye"><optics><technique_common><perspective>)"
      << "<xfov>" << camera.angle * kDegrees << "</xfov><znear>0.1</znear><zfar>100</zfar>"
      << "</perspective></technique_common></optics></camera></library_cameras>\n<library_effects>";
    for (int m = 0; m < 4; ++m) {
        const aiColor3D& c = Markers()[m].colour;
        d << "<effect id=\"" << kNames[m] << "-fx\"><profile_COMMON><technique sid=\"common\"><lambert><diffuse><color>"
          << c.r << " " << c.g << " " << c.b << " 1</color></diffuse></lambert></technique></profile_COMMON></effect>";
    }
    d << "</library_effects>\n<library_materials>";
    for (int m = 0; m < 4; ++m) {
        d << "<material id=\"" << kNames[m] << "\" name=\"" << kNames[m] << "\"><instance_effect url=\"#"
          << kNames[m] << "-fx\"/></material>";
    }
    d << "</library_materials>\n<library_geometries>";
    for (int m = 0; m < 4; ++m) {
        d << "<geometry id=\"g" << m << "\"><mesh><source id=\"g" << m << "-p\"><float_array id=\"g" << m
          << "-a\" count=\"24\">";
        for (int i = 0; i < 8; ++i) {
            const aiVector3D p = Corner(Markers()[m], i);
            d << p.x << " " << p.y << " " << p.z << " ";
        }
        d << "</float_array><technique_common><accessor source=\"#g" << m
          << "-a\" count=\"8\" stride=\"3\"><param name=\"X\" type=\"float\"/><param name=\"Y\" type=\"float\"/>"
             "<param name=\"Z\" type=\"float\"/></accessor></technique_common></source><vertices id=\"g"
          << m << "-v\"><input semantic=\"POSITION\" source=\"#g" << m << "-p\"/></vertices><triangles material=\"m\" "
          << "count=\"12\"><input semantic=\"VERTEX\" source=\"#g" << m << "-v\" offset=\"0\"/><p>";
        for (const auto& face : kCubeFaces) {
            d << face[0] << " " << face[1] << " " << face[2] << " ";
        }
        d << "</p></triangles></mesh></geometry>";
    }
    d << "</library_geometries>\n<library_visual_scenes><visual_scene id=\"Scene\">";
    for (int m = 0; m < 4; ++m) {
        d << "<node id=\"marker_" << kNames[m] << "\" name=\"marker_" << kNames[m] << "\"><instance_geometry url=\"#g"
          << m << "\"><bind_material><technique_common><instance_material symbol=\"m\" target=\"#" << kNames[m]
          << "\"/></technique_common></bind_material></instance_geometry></node>";
    }
    d << "<node id=\"eye\" name=\"eye\"><translate>" << camera.eye.x << " " << camera.eye.y << " " << camera.eye.z
      << "</translate><rotate>0 1 0 " << camera.yaw * kDegrees << "</rotate><rotate>0 0 1 "
      << camera.roll * kDegrees << "</rotate><instance_camera url=\"#eye-camera\"/></node>";
    d << "</visual_scene></library_visual_scenes>\n<scene><instance_visual_scene url=\"#Scene\"/></scene>"
         "</COLLADA>\n";
    return d.str();
}

std::vector<uint8_t> MarkerMax3ds(const MarkerCamera& camera)
{
    std::vector<uint8_t> editor;
    for (int m = 0; m < 4; ++m) {
        const aiColor3D& c = Markers()[m].colour;
        const std::vector<uint8_t> rgb = {static_cast<uint8_t>(c.r * 255), static_cast<uint8_t>(c.g * 255),
                                          static_cast<uint8_t>(c.b * 255)};
        const auto material = Chunk(0xAFFF, Joined({Chunk(0xA000, Name(kNames[m])), Chunk(0xA020, Chunk(0x0011, rgb))}));
        Put(&editor, material.data(), material.size());
    }
    for (int m = 0; m < 4; ++m) {
        std::vector<uint8_t> vertices, faces, group;
        PutValue(&vertices, uint16_t{8});
        for (int i = 0; i < 8; ++i) {
            const aiVector3D p = ToZUp(Corner(Markers()[m], i));
            Put(&vertices, &p, 12);
        }
        PutValue(&faces, uint16_t{12});
        for (const auto& face : kCubeFaces) {
            for (int k = 0; k < 3; ++k) {
                PutValue(&faces, static_cast<uint16_t>(face[k]));
            }
            PutValue(&faces, uint16_t{0});
        }
        group = Name(kNames[m]);
        PutValue(&group, uint16_t{12});
        for (uint16_t f = 0; f < 12; ++f) {
            PutValue(&group, f);
        }
        const auto mesh = Chunk(0x4100, Joined({Chunk(0x4110, vertices), Chunk(0x4120, Joined({faces, Chunk(0x4130, group)}))}));
        const auto object = Chunk(0x4000, Joined({Name(std::string("marker_") + kNames[m]), mesh}));
        Put(&editor, object.data(), object.size());
    }
    std::vector<uint8_t> lens;
    const aiVector3D eye = ToZUp(camera.eye), target = ToZUp(camera.eye + camera.Forward() * 7.0f);
    Put(&lens, &eye, 12);
    Put(&lens, &target, 12);
    PutValue(&lens, 0.0f);
    PutValue(&lens, 2400.0f / (camera.angle * kDegrees));
    const auto eyeObject = Chunk(0x4000, Joined({Name("eye"), Chunk(0x4700, lens)}));
    Put(&editor, eyeObject.data(), eyeObject.size());
    std::vector<uint8_t> version;
    PutValue(&version, uint32_t{3});
    return Chunk(0x4D4D, Joined({Chunk(0x0002, version), Chunk(0x3D3D, editor)}));
}

std::string MarkerFbx(const MarkerCamera& camera)
{
    std::ostringstream f;
    f.precision(9);
    f << "; FBX 7.4.0 project file\nFBXHeaderExtension:  {\n\tFBXHeaderVersion: 1003\n\tFBXVersion: 7400\n}\n"
         "GlobalSettings:  {\n\tVersion: 1000\n\tProperties70:  {\n"
         "\t\tP: \"UpAxis\", \"int\", \"Integer\", \"\",1\n\t\tP: \"UpAxisSign\", \"int\", \"Integer\", \"\",1\n"
         "\t\tP: \"FrontAxis\", \"int\", \"Integer\", \"\",2\n\t\tP: \"FrontAxisSign\", \"int\", \"Integer\", \"\",1\n"
         "\t\tP: \"CoordAxis\", \"int\", \"Integer\", \"\",0\n\t\tP: \"CoordAxisSign\", \"int\", \"Integer\", \"\",1\n"
         "\t\tP: \"UnitScaleFactor\", \"double\", \"Number\", \"\",1\n\t}\n}\nObjects:  {\n";
    for (int m = 0; m < 4; ++m) {
        const aiColor3D& c = Markers()[m].colour;
        f << "\tGeometry: " << 100 + m << ", \"Geometry::g" << m << "\", \"Mesh\" {\n\t\tVertices: *24 {\n\t\t\ta: ";
        for (int i = 0; i < 8; ++i) {
            const aiVector3D p = Corner(Markers()[m], i);
            f << (i ? "," : "") << p.x << "," << p.y << "," << p.z;
        }
        f << "\n\t\t}\n\t\tPolygonVertexIndex: *36 {\n\t\t\ta: ";
        for (int t = 0; t < 12; ++t) {
            f << (t ? "," : "") << kCubeFaces[t][0] << "," << kCubeFaces[t][1] << "," << -1 - kCubeFaces[t][2];
        }
        f << "\n\t\t}\n\t\tGeometryVersion: 124\n\t\tLayerElementMaterial: 0 {\n\t\t\tVersion: 101\n"
             "\t\t\tMappingInformationType: \"AllSame\"\n\t\t\tReferenceInformationType: \"IndexToDirect\"\n"
             "\t\t\tMaterials: *1 {\n\t\t\t\ta: 0\n\t\t\t}\n\t\t}\n\t\tLayer: 0 {\n\t\t\tVersion: 100\n"
             "\t\t\tLayerElement:  {\n\t\t\t\tType: \"LayerElementMaterial\"\n\t\t\t\tTypedIndex: 0\n\t\t\t}\n"
             "\t\t}\n\t}\n";
        f << "\tModel: " << 200 + m << ", \"Model::marker_" << kNames[m]
          << "\", \"Mesh\" {\n\t\tVersion: 232\n\t\tProperties70:  {\n\t\t}\n\t}\n";
        f << "\tMaterial: " << 300 + m << ", \"Material::" << kNames[m]
          << "\", \"\" {\n\t\tVersion: 102\n\t\tShadingModel: \"lambert\"\n\t\tProperties70:  {\n"
          << "\t\t\tP: \"DiffuseColor\", \"Color\", \"\", \"A\"," << c.r << "," << c.g << "," << c.b << "\n\t\t}\n\t}\n";
    }
    // An FBX camera looks along its +X: a quarter turn about +Y turns it to -Z.
    f << "\tNodeAttribute: 400, \"NodeAttribute::eye\", \"Camera\" {\n\t\tProperties70:  {\n"
      << "\t\t\tP: \"FieldOfView\", \"FieldOfView\", \"\", \"A\"," << camera.angle * kDegrees << "\n"
      << "\t\t\tP: \"AspectWidth\", \"double\", \"Number\", \"\",640\n"
      << "\t\t\tP: \"AspectHeight\", \"double\", \"Number\", \"\",480\n\t\t}\n\t\tTypeFlags: \"Camera\"\n\t}\n"
      << "\tModel: 500, \"Model::eye\", \"Camera\" {\n\t\tVersion: 232\n\t\tProperties70:  {\n"
      << "\t\t\tP: \"Lcl Translation\", \"Lcl Translation\", \"\", \"A\"," << camera.eye.x << "," << camera.eye.y
      << "," << camera.eye.z << "\n\t\t\tP: \"Lcl Rotation\", \"Lcl Rotation\", \"\", \"A\",0,"
      << 90.0f + camera.yaw * kDegrees << ",0\n\t\t}\n\t}\n}\nConnections:  {\n";
    for (int m = 0; m < 4; ++m) {
        f << "\tC: \"OO\"," << 200 + m << ",0\n\tC: \"OO\"," << 100 + m << "," << 200 + m << "\n\tC: \"OO\","
          << 300 + m << "," << 200 + m << "\n";
    }
    f << "\tC: \"OO\",500,0\n\tC: \"OO\",400,500\n}\n";
    return f.str();
}

std::string MarkerObj()
{
    std::ostringstream o;
    o << "mtllib markers.mtl\n";
    for (int m = 0; m < 4; ++m) {
        o << "o marker_" << kNames[m] << "\nusemtl " << kNames[m] << "\n";
        for (int i = 0; i < 8; ++i) {
            const aiVector3D p = Corner(Markers()[m], i);
            o << "v " << p.x << " " << p.y << " " << p.z << "\n";
        }
        for (const auto& face : kCubeFaces) {
            o << "f " << m * 8 + face[0] + 1 << " " << m * 8 + face[1] + 1 << " " << m * 8 + face[2] + 1 << "\n";
        }
    }
    return o.str();
}

std::string MarkerMtl()
{
    std::ostringstream o;
    for (int m = 0; m < 4; ++m) {
        const aiColor3D& c = Markers()[m].colour;
        o << "newmtl " << kNames[m] << "\nKa 0 0 0\nKd " << c.r << " " << c.g << " " << c.b << "\n";
    }
    return o.str();
}
