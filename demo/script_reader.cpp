#include "demo/script_reader.h"

#include <cstdio>
#include <cstring>

ScriptReader::ScriptReader(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {}

bool ScriptReader::Fail()
{
    m_failed = true;
    return false;
}

bool ScriptReader::ReadBytes(void* destination, size_t count)
{
    if (m_failed || count > Remaining())
        return Fail();
    if (count > 0)
        std::memcpy(destination, m_data + m_position, count);
    m_position += count;
    return true;
}

bool ScriptReader::ReadByte(uint8_t* value)
{
    return ReadBytes(value, 1);
}

bool ScriptReader::ReadInt32(int32_t* value)
{
    uint8_t b[4];
    if (!ReadBytes(b, 4))
        return false;
    uint32_t bits = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    std::memcpy(value, &bits, 4);
    return true;
}

bool ScriptReader::ReadFloat(float* value)
{
    int32_t bits;
    if (!ReadInt32(&bits))
        return false;
    std::memcpy(value, &bits, 4);
    return true;
}

bool ScriptReader::ReadString(std::string* value)
{
    if (m_failed)
        return false;
    const uint8_t* start = m_data + m_position;
    size_t limit = Remaining() < kMaxStringLength + 1 ? Remaining() : kMaxStringLength + 1;
    const void* terminator = limit ? std::memchr(start, 0, limit) : nullptr;
    if (!terminator)
        return Fail();
    size_t length = static_cast<const uint8_t*>(terminator) - start;
    value->assign(reinterpret_cast<const char*>(start), length);
    m_position += length + 1;
    return true;
}

bool ScriptReader::CanHold(int32_t count, size_t recordSize)
{
    if (m_failed || count < 0)
        return Fail();
    if (recordSize != 0 && static_cast<size_t>(count) > Remaining() / recordSize)
        return Fail();
    return true;
}

bool ReadScriptFile(const char* fileName, std::vector<uint8_t>* bytes)
{
    bytes->clear();
    if (!fileName)
        return false;
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file)
        return false;
    uint8_t chunk[65536];
    bool ok = true;
    for (;;) {
        size_t n = std::fread(chunk, 1, sizeof chunk, file);
        if (n > 0) {
            if (bytes->size() + n > kMaxScriptFileSize) {
                ok = false;
                break;
            }
            bytes->insert(bytes->end(), chunk, chunk + n);
        }
        if (n < sizeof chunk) {
            ok = !std::ferror(file);
            break;
        }
    }
    std::fclose(file);
    if (!ok)
        bytes->clear();
    return ok;
}
