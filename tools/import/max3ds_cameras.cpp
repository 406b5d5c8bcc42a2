#include "tools/import/max3ds_cameras.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

namespace import {

namespace {

constexpr uint16_t kMain = 0x4D4D;
constexpr uint16_t kEditor = 0x3D3D;
constexpr uint16_t kNamedObject = 0x4000;
constexpr uint16_t kCameraObject = 0x4700;
constexpr uint16_t kKeyframer = 0xB000;
constexpr uint16_t kCameraNode = 0xB003;
constexpr uint16_t kTargetNode = 0xB004;
constexpr uint16_t kNodeHeader = 0xB010;
constexpr uint16_t kPositionTrack = 0xB020;
constexpr uint16_t kFovTrack = 0xB023;
constexpr uint16_t kRollTrack = 0xB024;
// Files far larger than any model are not read.
constexpr size_t kMaxFileSize = 512u << 20;

class Reader {
public:
    Reader(const uint8_t* data, size_t begin, size_t end) : m_data(data), m_at(begin), m_end(end) {}

    bool Has(size_t n) const { return m_end - m_at >= n; }
    size_t At() const { return m_at; }
    size_t End() const { return m_end; }

    bool U16(uint16_t* v) { return Bytes(v, 2); }
    bool U32(uint32_t* v) { return Bytes(v, 4); }
    bool F32(float* v) { return Bytes(v, 4); }
    bool Skip(size_t n)
    {
        if (!Has(n)) {
            return false;
        }
        m_at += n;
        return true;
    }
    bool String(std::string* s)
    {
        const void* zero = std::memchr(m_data + m_at, 0, m_end - m_at);
        if (zero == nullptr) {
            return false;
        }
        const size_t n = static_cast<const uint8_t*>(zero) - (m_data + m_at);
        s->assign(reinterpret_cast<const char*>(m_data + m_at), n);
        m_at += n + 1;
        return true;
    }
    // The next chunk: its id and a reader over its body.
    bool Chunk(uint16_t* id, Reader* body)
    {
        uint32_t length = 0;
        const size_t start = m_at;
        if (!U16(id) || !U32(&length) || length < 6 || length > m_end - start) {
            m_at = m_end;
            return false;
        }
        *body = Reader(m_data, start + 6, start + length);
        m_at = start + length;
        return true;
    }

private:
    bool Bytes(void* out, size_t n)
    {
        if (!Has(n)) {
            return false;
        }
        std::memcpy(out, m_data + m_at, n); // little-endian, as the machine
        m_at += n;
        return true;
    }

    const uint8_t* m_data;
    size_t m_at;
    size_t m_end;
};

bool ReadTrack(Reader track, int values, std::vector<Max3dsKey>* keys)
{
    uint32_t count = 0;
    if (!track.Skip(2 + 8) || !track.U32(&count)) {
        return false;
    }
    for (uint32_t k = 0; k < count; ++k) {
        Max3dsKey key;
        uint32_t frame = 0;
        uint16_t flags = 0;
        if (!track.U32(&frame) || !track.U16(&flags) || frame > 1000000u) {
            return false;
        }
        key.frame = static_cast<int32_t>(frame);
        float* params[5] = {&key.params.tension, &key.params.continuity, &key.params.bias, &key.params.easeTo,
                            &key.params.easeFrom};
        for (int bit = 0; bit < 5; ++bit) {
            if ((flags & (1u << bit)) != 0 && !track.F32(params[bit])) {
                return false;
            }
        }
        for (int i = 0; i < values; ++i) {
            if (!track.F32(&key.value[i])) {
                return false;
            }
        }
        keys->push_back(key);
    }
    return true;
}

struct KeyframerNode {
    std::string name;
    int16_t parent = -1;
    std::vector<Max3dsKey> position, fov, roll;
};

bool ReadNode(Reader node, KeyframerNode* out)
{
    uint16_t id = 0;
    Reader body(nullptr, 0, 0);
    bool ok = true;
    while (node.Has(6) && node.Chunk(&id, &body)) {
        if (id == kNodeHeader) {
            uint16_t flags[2];
            uint16_t parent = 0;
            ok = ok && body.String(&out->name) && body.U16(&flags[0]) && body.U16(&flags[1]) && body.U16(&parent);
            out->parent = static_cast<int16_t>(parent);
        } else if (id == kPositionTrack) {
            ok = ok && ReadTrack(body, 3, &out->position);
        } else if (id == kFovTrack) {
            ok = ok && ReadTrack(body, 1, &out->fov);
        } else if (id == kRollTrack) {
            ok = ok && ReadTrack(body, 1, &out->roll);
        }
    }
    return ok && !out->name.empty();
}

} // namespace

std::vector<Max3dsCamera> ReadMax3dsCameras(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file;
    if (!in) {
        return {};
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<size_t>(size) > kMaxFileSize) {
        return {};
    }
    in.seekg(0);
    file.resize(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(file.data()), size)) {
        return {};
    }

    std::vector<Max3dsCamera> cameras;
    std::map<std::string, KeyframerNode> eyes, targets;
    // Containers are walked with an explicit stack of readers.
    std::vector<Reader> stack{Reader(file.data(), 0, file.size())};
    while (!stack.empty()) {
        Reader& reader = stack.back();
        uint16_t id = 0;
        Reader body(nullptr, 0, 0);
        if (!reader.Has(6) || !reader.Chunk(&id, &body)) {
            stack.pop_back();
            continue;
        }
        if (id == kMain || id == kEditor || id == kKeyframer) {
            stack.push_back(body);
        } else if (id == kNamedObject) {
            std::string name;
            uint16_t objectId = 0;
            Reader object(nullptr, 0, 0);
            if (!body.String(&name)) {
                continue;
            }
            while (body.Has(6) && body.Chunk(&objectId, &object)) {
                Max3dsCamera camera;
                camera.name = name;
                if (objectId == kCameraObject && object.F32(&camera.eye.x) && object.F32(&camera.eye.y) &&
                    object.F32(&camera.eye.z) && object.F32(&camera.target.x) && object.F32(&camera.target.y) &&
                    object.F32(&camera.target.z) && object.F32(&camera.roll) && object.F32(&camera.lens)) {
                    cameras.push_back(camera);
                }
            }
        } else if (id == kCameraNode || id == kTargetNode) {
            KeyframerNode node;
            if (ReadNode(body, &node)) {
                (id == kCameraNode ? eyes : targets)[node.name] = node;
            }
        }
    }

    for (Max3dsCamera& camera : cameras) {
        auto eye = eyes.find(camera.name);
        auto target = targets.find(camera.name);
        if (eye == eyes.end() || target == targets.end() || eye->second.parent != -1 ||
            target->second.parent != -1 || eye->second.position.empty() || target->second.position.empty()) {
            continue;
        }
        camera.keyed = true;
        camera.eyeKeys = eye->second.position;
        camera.targetKeys = target->second.position;
        camera.rollKeys = eye->second.roll;
        camera.fovKeys = eye->second.fov;
    }
    return cameras;
}

} // namespace import
