// Field readers for KVF scene files: little-endian values read from a pack
// stream, converted from the file's axes (x, y, z) to the engine's
// (-x, z, -y). Every reader yields zeros for bytes past the end of the
// member, never uninitialised values.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/d3d8/d3d8_types.h"

#include "pack/pack_file.h"

// Reads 4 bytes; returns how many bytes were there (0 at the end), the value
// zero-padded.
int TryReadInt32(CPackFile* file, int32_t* value);

// The field readers take the bytes straight from the member's block when the
// whole field is there (every field of a well-formed file), and otherwise go
// through the stream, which pads what is missing with zeros.
namespace kvf_detail {

uint16_t ReadUInt16Padded(CPackFile* file);
uint8_t ReadBytePadded(CPackFile* file);
uint32_t ReadWord32Padded(CPackFile* file);

// The next `size` bytes of the block, consumed, or null (nothing consumed)
// when fewer are left.
inline const unsigned char* Take(CPackFile* file, int32_t size)
{
    PackBlock* block = file->block;
    if (block == nullptr || block->size - block->position < size) {
        return nullptr;
    }
    const unsigned char* bytes = block->data + block->position;
    block->position += size;
    return bytes;
}

} // namespace kvf_detail

inline uint32_t LittleEndian32(const unsigned char* b)
{
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
}

inline uint16_t LittleEndian16(const unsigned char* b)
{
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

inline float LittleEndianFloat(const unsigned char* b)
{
    const uint32_t bits = LittleEndian32(b);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline uint32_t ReadWord32(CPackFile* file)
{
    const unsigned char* bytes = kvf_detail::Take(file, 4);
    return bytes != nullptr ? LittleEndian32(bytes) : kvf_detail::ReadWord32Padded(file);
}

inline int32_t ReadInt32(CPackFile* file)
{
    return static_cast<int32_t>(ReadWord32(file));
}

inline uint16_t ReadUInt16(CPackFile* file)
{
    const unsigned char* bytes = kvf_detail::Take(file, 2);
    return bytes != nullptr ? LittleEndian16(bytes) : kvf_detail::ReadUInt16Padded(file);
}

inline uint8_t ReadByte(CPackFile* file)
{
    const unsigned char* bytes = kvf_detail::Take(file, 1);
    return bytes != nullptr ? bytes[0] : kvf_detail::ReadBytePadded(file);
}

inline float ReadFloat(CPackFile* file)
{
    const uint32_t bits = ReadWord32(file);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// File axes to engine axes: (x, y, z) -> (-x, z, -y).
inline D3DVECTOR ToEngineAxes(float x, float y, float z)
{
    return D3DVECTOR{-x, z, -y};
}
// Three floats as stored.
inline D3DVECTOR ReadRawVector(CPackFile* file)
{
    const unsigned char* bytes = kvf_detail::Take(file, 12);
    if (bytes == nullptr) {
        D3DVECTOR v;
        v.x = ReadFloat(file);
        v.y = ReadFloat(file);
        v.z = ReadFloat(file);
        return v;
    }
    return D3DVECTOR{LittleEndianFloat(bytes), LittleEndianFloat(bytes + 4), LittleEndianFloat(bytes + 8)};
}
// Three floats converted to engine axes.
inline D3DVECTOR ReadVector(CPackFile* file)
{
    const D3DVECTOR v = ReadRawVector(file);
    return ToEngineAxes(v.x, v.y, v.z);
}
// A scale triple (x, y, z) becomes (x, z, y): the axes swap without signs.
D3DVECTOR ReadScaleVector(CPackFile* file);
// Twelve floats (three axis rows and the translation row) made a 4x4 matrix
// with the column (0, 0, 0, 1), then converted on both sides: every row's
// (x, y, z) becomes (-x, z, -y); row 0 becomes -row 0, row 1 becomes row 2
// and row 2 becomes -row 1.
void ReadMatrix(CPackFile* file, D3DMATRIX* out);

// A zero-terminated name (at most 255 characters kept) as an owned copy,
// freed with delete[]. Null only when the copy cannot be allocated.
char* ReadName(CPackFile* file);
// An owned copy of `text` (delete[]), or null when it cannot be allocated.
char* CopyName(const char* text);

// Bytes left in the member after the read position.
int32_t RemainingBytes(CPackFile* file);
// True when `count` is not negative and `count` items of at least
// `bytesEach` bytes fit in what is left of the member.
bool CountFits(CPackFile* file, int32_t count, int64_t bytesEach);
// Moves the read position forward; false when fewer bytes are left (the
// position then stops at the end).
bool SkipBytes(CPackFile* file, int64_t count);

// Floats 0..1 packed to 0x00RRGGBB: each channel times 255, truncated toward
// zero, low 8 bits kept.
uint32_t PackColour(float red, float green, float blue);
