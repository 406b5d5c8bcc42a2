#include "scene/kvf_read.h"

#include <cstring>
#include <new>

#include "pack/pack_file.h"

namespace {

// Reads `size` bytes little-endian into a zeroed buffer; returns bytes read.
int ReadBytes(CPackFile* file, void* buffer, int size)
{
    std::memset(buffer, 0, static_cast<size_t>(size));
    return file->Read(buffer, 1, size, file);
}

uint32_t LittleEndian32(const unsigned char* b)
{
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
}

} // namespace

int TryReadInt32(CPackFile* file, int32_t* value)
{
    unsigned char bytes[4];
    const int n = ReadBytes(file, bytes, 4);
    *value = static_cast<int32_t>(LittleEndian32(bytes));
    return n;
}

int32_t ReadInt32(CPackFile* file)
{
    int32_t value;
    TryReadInt32(file, &value);
    return value;
}

uint16_t ReadUInt16(CPackFile* file)
{
    unsigned char bytes[2];
    ReadBytes(file, bytes, 2);
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint8_t ReadByte(CPackFile* file)
{
    unsigned char byte;
    ReadBytes(file, &byte, 1);
    return byte;
}

float ReadFloat(CPackFile* file)
{
    unsigned char bytes[4];
    ReadBytes(file, bytes, 4);
    const uint32_t bits = LittleEndian32(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

D3DVECTOR ToEngineAxes(float x, float y, float z)
{
    return D3DVECTOR{-x, z, -y};
}

D3DVECTOR ReadRawVector(CPackFile* file)
{
    D3DVECTOR v;
    v.x = ReadFloat(file);
    v.y = ReadFloat(file);
    v.z = ReadFloat(file);
    return v;
}

D3DVECTOR ReadVector(CPackFile* file)
{
    const D3DVECTOR v = ReadRawVector(file);
    return ToEngineAxes(v.x, v.y, v.z);
}

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
