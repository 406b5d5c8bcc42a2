// Reading side of the show's script: a cursor over the script's bytes that
// decodes its little-endian fields. A read that would go past the end fails,
// leaves its output untouched and marks the reader as failed for good, so a
// caller can run a whole record and check once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ScriptReader {
public:
    ScriptReader(const uint8_t* data, size_t size);

    bool ReadByte(uint8_t* value);
    bool ReadInt32(int32_t* value);
    bool ReadFloat(float* value);
    bool ReadBytes(void* destination, size_t count);
    // A zero-terminated string of at most kMaxStringLength bytes before its
    // terminator. A longer string, or one cut off by the end of the data,
    // fails.
    bool ReadString(std::string* value);

    // Fails unless count records of recordSize bytes each can still follow:
    // lets a reader refuse an impossible count before allocating for it.
    bool CanHold(int32_t count, size_t recordSize);

    size_t Remaining() const { return m_size - m_position; }
    size_t Position() const { return m_position; }
    bool Failed() const { return m_failed; }

    static constexpr size_t kMaxStringLength = 255;

private:
    bool Fail();

    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
    bool m_failed = false;
};

// Reads a whole file into memory. Returns false when it cannot be opened or
// read; the size is bounded by kMaxScriptFileSize.
bool ReadScriptFile(const char* fileName, std::vector<uint8_t>* bytes);

// No script of the show comes anywhere near this; a larger file is refused
// rather than read into memory.
constexpr size_t kMaxScriptFileSize = 64u * 1024u * 1024u;
