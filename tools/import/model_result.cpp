#include "tools/import/model_result.h"

#include <cstring>

namespace import {

namespace {

class Encoder {
public:
    void Size(uint64_t n) { Raw(&n, sizeof n); }
    void Text(const std::string& text)
    {
        Size(text.size());
        Raw(text.data(), text.size());
    }
    void Bytes(const std::vector<uint8_t>& bytes)
    {
        Size(bytes.size());
        Raw(bytes.data(), bytes.size());
    }
    std::vector<uint8_t> Take() { return std::move(m_out); }

private:
    void Raw(const void* data, size_t count)
    {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        m_out.insert(m_out.end(), bytes, bytes + count);
    }
    std::vector<uint8_t> m_out;
};

class Decoder {
public:
    explicit Decoder(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}

    bool Size(uint64_t* n) { return Raw(n, sizeof *n); }
    bool Text(std::string* text)
    {
        uint64_t n = 0;
        if (!Size(&n) || n > Left()) {
            return false;
        }
        text->assign(reinterpret_cast<const char*>(m_bytes.data() + m_at), n);
        m_at += n;
        return true;
    }
    bool Bytes(std::vector<uint8_t>* bytes)
    {
        uint64_t n = 0;
        if (!Size(&n) || n > Left()) {
            return false;
        }
        const auto start = m_bytes.begin() + static_cast<ptrdiff_t>(m_at);
        bytes->assign(start, start + static_cast<ptrdiff_t>(n));
        m_at += n;
        return true;
    }
    // A count of items each at least `least` bytes long.
    bool Count(uint64_t* n, size_t least) { return Size(n) && *n <= Left() / least; }
    bool AtEnd() const { return m_at == m_bytes.size(); }

private:
    size_t Left() const { return m_bytes.size() - m_at; }
    bool Raw(void* data, size_t count)
    {
        if (count > Left()) {
            return false;
        }
        std::memcpy(data, m_bytes.data() + m_at, count);
        m_at += count;
        return true;
    }
    const std::vector<uint8_t>& m_bytes;
    size_t m_at = 0;
};

} // namespace

std::vector<uint8_t> EncodeModelResult(const ModelResult& result)
{
    Encoder out;
    out.Size(result.converted ? 1 : 0);
    out.Text(result.error);
    out.Bytes(result.scene);
    out.Size(result.textures.size());
    for (const PackEntry& texture : result.textures) {
        out.Text(texture.name);
        out.Bytes(texture.bytes);
    }
    out.Text(result.summary);
    out.Size(result.warnings.size());
    for (const std::string& warning : result.warnings) {
        out.Text(warning);
    }
    out.Size(result.sourceFiles.size());
    for (const std::string& file : result.sourceFiles) {
        out.Text(file);
    }
    out.Size(result.texturesMissing ? 1 : 0);
    return out.Take();
}

bool DecodeModelResult(const std::vector<uint8_t>& bytes, ModelResult* result)
{
    Decoder in(bytes);
    uint64_t converted = 0, textures = 0, warnings = 0, files = 0, missing = 0;
    if (!in.Size(&converted) || !in.Text(&result->error) || !in.Bytes(&result->scene) ||
        !in.Count(&textures, 2 * sizeof(uint64_t))) {
        return false;
    }
    result->converted = converted == 1;
    result->textures.resize(textures);
    for (PackEntry& texture : result->textures) {
        if (!in.Text(&texture.name) || !in.Bytes(&texture.bytes)) {
            return false;
        }
    }
    if (!in.Text(&result->summary) || !in.Count(&warnings, sizeof(uint64_t))) {
        return false;
    }
    result->warnings.resize(warnings);
    for (std::string& warning : result->warnings) {
        if (!in.Text(&warning)) {
            return false;
        }
    }
    if (!in.Count(&files, sizeof(uint64_t))) {
        return false;
    }
    result->sourceFiles.resize(files);
    for (std::string& file : result->sourceFiles) {
        if (!in.Text(&file)) {
            return false;
        }
    }
    if (!in.Size(&missing)) {
        return false;
    }
    result->texturesMissing = missing == 1;
    return in.AtEnd();
}

} // namespace import
