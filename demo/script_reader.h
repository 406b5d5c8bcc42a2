// Reading side of the show's script: a cursor over the script's bytes that
// decodes its little-endian fields, either over bytes in memory or streamed
// from an open file in blocks (so a script followed by any amount of other
// data is read without holding more than one block). A read that would go
// past the end fails, leaves its output untouched and marks the reader as
// failed for good, so a caller can run a whole record and check once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class ScriptReader {
public:
    // Over size bytes in memory, which must outlive the reader.
    ScriptReader(const uint8_t* data, size_t size);
    // Over an open file from its current position, read as needed; the file
    // stays the caller's.
    explicit ScriptReader(std::FILE* file);
    ScriptReader(const ScriptReader&) = delete;
    ScriptReader& operator=(const ScriptReader&) = delete;

    bool ReadByte(uint8_t* value);
    bool ReadInt32(int32_t* value);
    bool ReadFloat(float* value);
    // Reads count bytes. A failing read of more than one block may have
    // filled part of the destination.
    bool ReadBytes(void* destination, size_t count);
    // A string: its bytes up to a zero byte, which is consumed, or up to the
    // end of the data, which also ends a string. At most kMaxStringLength
    // bytes come before the end; a longer string fails, and so does a read
    // with nothing left at all.
    bool ReadString(std::string* value);

    // Fails unless count records of recordSize bytes each can still follow:
    // lets a reader refuse a negative or impossible count early. Readers
    // still grow their storage as records arrive rather than trusting it,
    // since a file may be followed by any number of bytes that are never
    // records.
    bool CanHold(int32_t count, size_t recordSize);

    // Bytes left before the end of the data (for a file that is not a
    // regular file, as if it never ended).
    size_t Remaining() const;
    size_t Position() const { return m_consumed; }
    bool Failed() const { return m_failed; }

    static constexpr size_t kMaxStringLength = 255;

private:
    bool Fail();
    size_t Available() const { return m_end - m_next; }
    // Makes at least `wanted` (at most kBlockBytes) bytes available when
    // the data holds them; true when it did.
    bool Fill(size_t wanted);

    static constexpr size_t kBlockBytes = 64 * 1024;

    std::FILE* m_file = nullptr;
    std::vector<uint8_t> m_block; // file mode: the bytes read and not consumed
    const uint8_t* m_data;        // the memory, or m_block's storage
    size_t m_next = 0;            // index of the next byte in m_data
    size_t m_end = 0;             // index past the last byte held
    size_t m_consumed = 0;
    size_t m_size = 0;            // bytes from the start to the end of the data
    bool m_failed = false;
};
