#include "demo/script_reader.h"

#include <sys/stat.h>

#include <cstring>
#include <limits>

ScriptReader::ScriptReader(const uint8_t* data, size_t size)
    : m_data(data), m_end(data ? size : 0), m_size(data ? size : 0)
{
}

ScriptReader::ScriptReader(std::FILE* file) : m_file(file), m_block(kBlockBytes), m_data(m_block.data())
{
    m_size = std::numeric_limits<size_t>::max();
    struct stat status;
    const long start = file ? std::ftell(file) : -1;
    if (file && start >= 0 && fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode))
        m_size = status.st_size > start ? static_cast<size_t>(status.st_size - start) : 0;
}

bool ScriptReader::Fail()
{
    m_failed = true;
    return false;
}

size_t ScriptReader::Remaining() const
{
    if (m_file && m_size == std::numeric_limits<size_t>::max())
        return m_size;
    return m_size > m_consumed ? m_size - m_consumed : 0;
}

bool ScriptReader::Fill(size_t wanted)
{
    if (Available() >= wanted || !m_file)
        return Available() >= wanted;
    const size_t held = Available();
    std::memmove(m_block.data(), m_block.data() + m_next, held);
    m_next = 0;
    m_end = held;
    while (m_end < wanted) {
        const size_t n = std::fread(m_block.data() + m_end, 1, m_block.size() - m_end, m_file);
        m_end += n;
        if (n == 0)
            break; // the end of the file, or a read error: either ends the data
    }
    return m_end >= wanted;
}

bool ScriptReader::ReadBytes(void* destination, size_t count)
{
    if (m_failed)
        return false;
    uint8_t* out = static_cast<uint8_t*>(destination);
    if (count <= kBlockBytes) {
        if (!Fill(count))
            return Fail();
        if (count > 0)
            std::memcpy(out, m_data + m_next, count);
        m_next += count;
        m_consumed += count;
        return true;
    }
    while (count > 0) {
        if (!Fill(1))
            return Fail();
        const size_t n = count < Available() ? count : Available();
        std::memcpy(out, m_data + m_next, n);
        out += n;
        count -= n;
        m_next += n;
        m_consumed += n;
    }
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
    // Room for the longest string and its terminator, or whatever is left.
    Fill(kMaxStringLength + 1);
    const size_t held = Available() < kMaxStringLength + 1 ? Available() : kMaxStringLength + 1;
    if (held == 0)
        return Fail();
    const uint8_t* start = m_data + m_next;
    const void* terminator = std::memchr(start, 0, held);
    size_t length = 0;
    size_t used = 0;
    if (terminator) {
        length = static_cast<size_t>(static_cast<const uint8_t*>(terminator) - start);
        used = length + 1;
    } else if (held <= kMaxStringLength) {
        length = held; // the end of the data ends the string
        used = held;
    } else {
        return Fail();
    }
    value->assign(reinterpret_cast<const char*>(start), length);
    m_next += used;
    m_consumed += used;
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
