#include "tools/kvf_writer/byte_writer.h"

#include <cstring>

namespace kvf {

void ByteWriter::Int32(int32_t value)
{
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        m_bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    }
}

void ByteWriter::UInt16(uint16_t value)
{
    m_bytes.push_back(static_cast<uint8_t>(value));
    m_bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void ByteWriter::Byte(uint8_t value)
{
    m_bytes.push_back(value);
}

void ByteWriter::Float(float value)
{
    int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Int32(bits);
}

void ByteWriter::String(const std::string& text)
{
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    m_bytes.push_back(0);
}

void ByteWriter::Bytes(const std::vector<uint8_t>& bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

void ByteWriter::Zeros(size_t count)
{
    m_bytes.insert(m_bytes.end(), count, 0);
}

} // namespace kvf
