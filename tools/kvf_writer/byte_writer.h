// Little-endian field writer: the byte-level half of the KVF writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvf {

class ByteWriter {
public:
    void Int32(int32_t value);
    void UInt16(uint16_t value);
    void Byte(uint8_t value);
    void Float(float value);
    // The characters and one zero byte.
    void String(const std::string& text);
    void Bytes(const std::vector<uint8_t>& bytes);
    void Zeros(size_t count);

    const std::vector<uint8_t>& Data() const { return m_bytes; }
    std::vector<uint8_t> Take() { return std::move(m_bytes); }
    size_t Size() const { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
};

} // namespace kvf
