#include "scene/kvf_read.h"

#include <cstring>
#include <new>

#include "pack/pack_file.h"

namespace {

// Reads `size` bytes into a zeroed buffer; returns the bytes read.
int ReadBytes(CPackFile* file, void* buffer, int size)
{
    std::memset(buffer, 0, static_cast<size_t>(size));
    return file->Read(buffer, 1, size, file);
}

} // namespace

int TryReadInt32(CPackFile* file, int32_t* value)
{
    const unsigned char* whole = kvf_detail::Take(file, 4);
    if (whole != nullptr) {
        *value = static_cast<int32_t>(LittleEndian32(whole));
        return 4;
    }
    unsigned char bytes[4];
    const int n = ReadBytes(file, bytes, 4);
    *value = static_cast<int32_t>(LittleEndian32(bytes));
    return n;
}

namespace kvf_detail {

uint32_t ReadWord32Padded(CPackFile* file)
{
    unsigned char bytes[4];
    ReadBytes(file, bytes, 4);
    return LittleEndian32(bytes);
}

uint16_t ReadUInt16Padded(CPackFile* file)
{
    unsigned char bytes[2];
    ReadBytes(file, bytes, 2);
    return LittleEndian16(bytes);
}

uint8_t ReadBytePadded(CPackFile* file)
{
    unsigned char byte;
    ReadBytes(file, &byte, 1);
    return byte;
}

} // namespace kvf_detail

D3DVECTOR ReadScaleVector(CPackFile* file)
{
    const D3DVECTOR v = ReadRawVector(file);
    return D3DVECTOR{v.x, v.z, v.y};
}

void ReadMatrix(CPackFile* file, D3DMATRIX* out)
{
    D3DVECTOR rows[4];
    for (D3DVECTOR& row : rows) {
        row = ReadVector(file); // within every row (x, y, z) -> (-x, z, -y)
    }
    const D3DVECTOR sides[4] = {
        D3DVECTOR{-rows[0].x, -rows[0].y, -rows[0].z},
        rows[2],
        D3DVECTOR{-rows[1].x, -rows[1].y, -rows[1].z},
        rows[3],
    };
    for (int r = 0; r < 4; ++r) {
        out->m[r][0] = sides[r].x;
        out->m[r][1] = sides[r].y;
        out->m[r][2] = sides[r].z;
        out->m[r][3] = r == 3 ? 1.0f : 0.0f;
    }
}

char* CopyName(const char* text)
{
    const size_t size = std::strlen(text) + 1;
    char* copy = new (std::nothrow) char[size];
    if (copy != nullptr) {
        std::memcpy(copy, text, size);
    }
    return copy;
}

char* ReadName(CPackFile* file)
{
    char buffer[kMaxStringLength + 1];
    ReadString(buffer, file);
    return CopyName(buffer);
}

int32_t RemainingBytes(CPackFile* file)
{
    return file->Remaining();
}

bool CountFits(CPackFile* file, int32_t count, int64_t bytesEach)
{
    if (count < 0) {
        return false;
    }
    return static_cast<int64_t>(count) * bytesEach <= static_cast<int64_t>(RemainingBytes(file));
}

bool SkipBytes(CPackFile* file, int64_t count)
{
    if (count < 0) {
        return false;
    }
    const int32_t left = RemainingBytes(file);
    const bool enough = count <= left;
    const int64_t step = enough ? count : left;
    if (step > 0) {
        file->Seek(file, static_cast<int>(step), 1);
    }
    return enough;
}

uint32_t PackColour(float red, float green, float blue)
{
    // Truncation toward zero keeping the low 8 bits; values outside the int
    // range (and NaN) have no defined conversion, so they are taken as 0.
    auto channel = [](float value) -> uint32_t {
        const float scaled = value * 255.0f;
        if (!(scaled > -2147483648.0f && scaled < 2147483648.0f)) {
            return 0;
        }
        return static_cast<uint32_t>(static_cast<int32_t>(scaled)) & 0xFFu;
    };
    return channel(red) << 16 | channel(green) << 8 | channel(blue);
}
