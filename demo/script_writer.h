// Writing side of the show's script: appends little-endian fields and
// zero-terminated strings to a byte buffer, the inverse of ScriptReader. The
// show itself never writes scripts; tools and tests do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ScriptWriter {
public:
    void WriteByte(uint8_t value);
    void WriteInt32(int32_t value);
    void WriteFloat(float value);
    void WriteBytes(const void* data, size_t count);
    // The text's bytes followed by one zero byte.
    void WriteString(const std::string& value);

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    // Returns 0 when the whole buffer was written to the file, 1 otherwise.
    int SaveToFile(const char* fileName) const;

private:
    std::vector<uint8_t> m_bytes;
};
