#include "tests/import/model_files.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

std::string Base64(const std::vector<uint8_t>& bytes)
{
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t n = (bytes[i] << 16) | ((i + 1 < bytes.size() ? bytes[i + 1] : 0) << 8) |
                           (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += digits[(n >> 18) & 63];
        out += digits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string AxesGltf()
{
    const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const uint16_t indices[4] = {0, 1, 2, 0};
    std::vector<uint8_t> buffer(44);
    std::memcpy(buffer.data(), positions, 36);
    std::memcpy(buffer.data() + 36, indices, 8);
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],
"nodes":[{"name":"root","children":[1,2,3,4]},{"name":"px","translation":[1,0,0]},
{"name":"py","translation":[0,2,0]},{"name":"pz","translation":[0,0,3]},{"name":"tri","mesh":0}],
"meshes":[{"name":"tri","primitives":[{"attributes":{"POSITION":0},"indices":1}]}],
"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]},
{"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"}],
"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":6}],
"buffers":[{"byteLength":44,"uri":"data:application/octet-stream;base64,)" +
           Base64(buffer) + R"("}]})";
}

std::string LightsGltf()
{
    std::string gltf = AxesGltf();
    const std::string nodes = R"("nodes":[{"name":"root","children":[1,2,3,4]},{"name":"px","translation":[1,0,0]},
{"name":"py","translation":[0,2,0]},{"name":"pz","translation":[0,0,3]},{"name":"tri","mesh":0}],)";
    const std::string lit = R"("extensionsUsed":["KHR_lights_punctual"],
"extensions":{"KHR_lights_punctual":{"lights":[
{"name":"lamp","type":"point","color":[1,0.5,0.25],"intensity":2},
{"name":"torch","type":"spot","spot":{"innerConeAngle":0.2,"outerConeAngle":0.4}},
{"name":"sun","type":"directional"}]}},
"nodes":[{"name":"root","children":[1,2,3,4,5]},{"name":"lamp","translation":[1,2,3],
"extensions":{"KHR_lights_punctual":{"light":0}}},
{"name":"torch","translation":[0,5,0],"rotation":[-0.70710678,0,0,0.70710678],
"extensions":{"KHR_lights_punctual":{"light":1}}},
{"name":"sun","extensions":{"KHR_lights_punctual":{"light":2}}},{"name":"tri","mesh":0},{"name":"empty"}],)";
    gltf.replace(gltf.find(nodes), nodes.size(), lit);
    return gltf;
}

std::string GridObj(int n)
{
    std::ostringstream obj;
    obj << "vn 0 0 1\n";
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            obj << "v " << x << " " << y << " 0\n";
        }
    }
    for (int y = 0; y + 1 < n; ++y) {
        for (int x = 0; x + 1 < n; ++x) {
            const int a = y * n + x + 1, b = a + 1, c = a + n, d = c + 1;
            obj << "f " << a << "//1 " << b << "//1 " << d << "//1\n";
            obj << "f " << a << "//1 " << d << "//1 " << c << "//1\n";
        }
    }
    return obj.str();
}
