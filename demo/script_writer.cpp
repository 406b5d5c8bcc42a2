#include "demo/script_writer.h"

#include <cstdio>
#include <cstring>

void ScriptWriter::WriteBytes(const void* data, size_t count)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), bytes, bytes + count);
}

void ScriptWriter::WriteByte(uint8_t value)
{
    m_bytes.push_back(value);
}

void ScriptWriter::WriteInt32(int32_t value)
{
    uint32_t bits = static_cast<uint32_t>(value);
    uint8_t b[4] = {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
    WriteBytes(b, 4);
}

void ScriptWriter::WriteFloat(float value)
{
    int32_t bits;
    std::memcpy(&bits, &value, 4);
    WriteInt32(bits);
}

void ScriptWriter::WriteString(const std::string& value)
{
    WriteBytes(value.data(), value.size());
    WriteByte(0);
}

int ScriptWriter::SaveToFile(const char* fileName) const
{
    std::FILE* file = std::fopen(fileName, "wb");
    if (!file)
        return 1;
    size_t written = m_bytes.empty() ? 0 : std::fwrite(m_bytes.data(), 1, m_bytes.size(), file);
    int closed = std::fclose(file);
    return (written == m_bytes.size() && closed == 0) ? 0 : 1;
}
