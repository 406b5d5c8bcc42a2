#include "tools/show/model_cache.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "tools/common/whole_file.h"

namespace show {

namespace {

// Changes whenever the importer's output for the same input may change.
constexpr const char kMagic[] = "zolt-show model cache 2\n";

void PutU64(std::vector<uint8_t>* out, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutBytes(std::vector<uint8_t>* out, const void* data, size_t size)
{
    PutU64(out, size);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

void PutString(std::vector<uint8_t>* out, const std::string& text)
{
    PutBytes(out, text.data(), text.size());
}

// Reads what PutU64 and PutBytes wrote; every length is checked against
// what is left, so a damaged entry fails instead of allocating.
class EntryReader {
public:
    explicit EntryReader(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    bool U64(uint64_t* value)
    {
        if (m_bytes.size() - m_at < 8)
            return false;
        *value = 0;
        for (int i = 0; i < 8; ++i)
            *value |= uint64_t(m_bytes[m_at + i]) << (8 * i);
        m_at += 8;
        return true;
    }
    bool Bytes(std::vector<uint8_t>* out)
    {
        uint64_t size = 0;
        if (!U64(&size) || size > m_bytes.size() - m_at)
            return false;
        out->assign(m_bytes.begin() + m_at, m_bytes.begin() + m_at + size);
        m_at += size;
        return true;
    }
    bool String(std::string* out)
    {
        std::vector<uint8_t> bytes;
        if (!Bytes(&bytes))
            return false;
        out->assign(bytes.begin(), bytes.end());
        return true;
    }
    bool Count(uint64_t* count)
    {
        // Every counted item takes at least eight bytes.
        return U64(count) && *count <= (m_bytes.size() - m_at) / 8;
    }
    bool AtEnd() const { return m_at == m_bytes.size(); }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_at = 0;
};

} // namespace

uint64_t HashBytes(const void* data, size_t size, uint64_t hash)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

bool HashFile(const std::string& path, uint64_t* hash)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    uint64_t h = HashBytes(nullptr, 0);
    std::vector<uint8_t> chunk(1 << 16);
    size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0)
        h = HashBytes(chunk.data(), n, h);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    *hash = h;
    return ok;
}

ModelCache::ModelCache(const std::string& showFolder) : m_folder(showFolder + "/.zolt-cache") {}

std::string ModelCache::Key(const std::string& path, const std::string& member, int fps, float scale, bool bare)
{
    std::string text = path + '\0' + member + '\0' + std::to_string(fps) + '\0';
    text.append(reinterpret_cast<const char*>(&scale), sizeof scale);
    text.push_back(bare ? 'b' : '-');
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(HashBytes(text.data(), text.size())));
    return hex;
}

std::string ModelCache::EntryPath(const std::string& key) const
{
    return m_folder + "/" + key + ".model";
}

bool ModelCache::Find(const std::string& key, CachedModel* model) const
{
    std::vector<uint8_t> bytes;
    const size_t magic = sizeof kMagic - 1;
    if (!tools::ReadWhole(EntryPath(key), &bytes) || bytes.size() < magic ||
        std::memcmp(bytes.data(), kMagic, magic) != 0)
        return false;
    bytes.erase(bytes.begin(), bytes.begin() + magic);
    EntryReader in(bytes);
    CachedModel found;
    uint64_t files = 0;
    if (!in.Count(&files))
        return false;
    for (uint64_t i = 0; i < files; ++i) {
        std::string path;
        uint64_t stored = 0;
        uint64_t now = 0;
        if (!in.String(&path) || !in.U64(&stored) || !HashFile(path, &now) || now != stored)
            return false;
        found.sourceFiles.push_back(path);
    }
    uint64_t warnings = 0;
    if (!in.String(&found.summary) || !in.Count(&warnings))
        return false;
    found.warnings.resize(warnings);
    for (std::string& warning : found.warnings) {
        if (!in.String(&warning))
            return false;
    }
    uint64_t textures = 0;
    if (!in.Bytes(&found.scene) || !in.Count(&textures))
        return false;
    found.textures.resize(textures);
    for (import::PackEntry& texture : found.textures) {
        if (!in.String(&texture.name) || !in.Bytes(&texture.bytes))
            return false;
    }
    if (!in.AtEnd())
        return false;
    *model = std::move(found);
    return true;
}

bool ModelCache::Add(const std::string& key, const CachedModel& model)
{
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic - 1);
    PutU64(&out, model.sourceFiles.size());
    for (const std::string& path : model.sourceFiles) {
        uint64_t hash = 0;
        if (!HashFile(path, &hash))
            return false;
        PutString(&out, path);
        PutU64(&out, hash);
    }
    PutString(&out, model.summary);
    PutU64(&out, model.warnings.size());
    for (const std::string& warning : model.warnings)
        PutString(&out, warning);
    PutBytes(&out, model.scene.data(), model.scene.size());
    PutU64(&out, model.textures.size());
    for (const import::PackEntry& texture : model.textures) {
        PutString(&out, texture.name);
        PutBytes(&out, texture.bytes.data(), texture.bytes.size());
    }
    m_pending.emplace_back(EntryPath(key), std::move(out));
    return true;
}

bool ModelCache::Save() const
{
    if (m_pending.empty())
        return true;
    mkdir(m_folder.c_str(), 0777);
    bool ok = true;
    for (const auto& [path, bytes] : m_pending) {
        const std::string temporary = path + ".tmp";
        std::FILE* file = std::fopen(temporary.c_str(), "wb");
        bool written = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        written = file != nullptr && std::fclose(file) == 0 && written;
        if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
            std::remove(temporary.c_str());
            ok = false;
        }
    }
    return ok;
}

} // namespace show
