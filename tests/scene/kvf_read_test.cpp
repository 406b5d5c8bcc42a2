// The field readers take whole fields straight from the member's block and
// fall back to the stream at its end. Against the plain stream readers they
// replace (a zeroed field filled by Read), on a random run of every kind of
// field cut at every length: the same values, bit for bit, and the same
// read positions, also for fields that the end of the member cuts short.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "pack/pack_file.h"
#include "scene/kvf_read.h"
#include "tests/scene/memory_stream.h"

namespace {

// ---- The plain stream readers ----------------------------------------------

uint32_t StreamWord(CPackFile* file, int size, int* got = nullptr)
{
    unsigned char bytes[4] = {0, 0, 0, 0};
    const int n = file->Read(bytes, 1, size, file);
    if (got != nullptr) {
        *got = n;
    }
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

float StreamFloat(CPackFile* file)
{
    const uint32_t bits = StreamWord(file, 4);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

D3DVECTOR StreamRawVector(CPackFile* file)
{
    D3DVECTOR v;
    v.x = StreamFloat(file);
    v.y = StreamFloat(file);
    v.z = StreamFloat(file);
    return v;
}

// One field read both ways; values are compared as bits.
enum Field { kInt32, kTryInt32, kUInt16, kByte, kFloat, kVector, kRawVector, kScaleVector, kMatrix, kName, kFieldKinds };

std::vector<uint32_t> ReadFast(CPackFile* file, Field field)
{
    auto bits = [](float f) {
        uint32_t b;
        std::memcpy(&b, &f, sizeof b);
        return b;
    };
    auto vector = [&](const D3DVECTOR& v) { return std::vector<uint32_t>{bits(v.x), bits(v.y), bits(v.z)}; };
    switch (field) {
    case kInt32:
        return {static_cast<uint32_t>(ReadInt32(file))};
    case kTryInt32: {
        int32_t value = 0;
        const int n = TryReadInt32(file, &value);
        return {static_cast<uint32_t>(value), static_cast<uint32_t>(n)};
    }
    case kUInt16:
        return {ReadUInt16(file)};
    case kByte:
        return {ReadByte(file)};
    case kFloat:
        return {bits(ReadFloat(file))};
    case kVector:
        return vector(ReadVector(file));
    case kRawVector:
        return vector(ReadRawVector(file));
    case kScaleVector:
        return vector(ReadScaleVector(file));
    case kMatrix: {
        D3DMATRIX m;
        ReadMatrix(file, &m);
        std::vector<uint32_t> out;
        for (int i = 0; i < 16; ++i) {
            out.push_back(bits((&m._11)[i]));
        }
        return out;
    }
    default: {
        char* name = ReadName(file);
        std::vector<uint32_t> out(name, name + std::strlen(name));
        delete[] name;
        return out;
    }
    }
}

std::vector<uint32_t> ReadPlain(CPackFile* file, Field field)
{
    auto bits = [](float f) {
        uint32_t b;
        std::memcpy(&b, &f, sizeof b);
        return b;
    };
    switch (field) {
    case kInt32:
        return {StreamWord(file, 4)};
    case kTryInt32: {
        int n = 0;
        const uint32_t value = StreamWord(file, 4, &n);
        return {value, static_cast<uint32_t>(n)};
    }
    case kUInt16:
        return {StreamWord(file, 2)};
    case kByte:
        return {StreamWord(file, 1)};
    case kFloat:
        return {bits(StreamFloat(file))};
    case kVector: {
        const D3DVECTOR v = StreamRawVector(file);
        return {bits(-v.x), bits(v.z), bits(-v.y)};
    }
    case kRawVector: {
        const D3DVECTOR v = StreamRawVector(file);
        return {bits(v.x), bits(v.y), bits(v.z)};
    }
    case kScaleVector: {
        const D3DVECTOR v = StreamRawVector(file);
        return {bits(v.x), bits(v.z), bits(v.y)};
    }
    case kMatrix: {
        D3DVECTOR rows[4];
        for (D3DVECTOR& row : rows) {
            const D3DVECTOR v = StreamRawVector(file);
            row = D3DVECTOR{-v.x, v.z, -v.y};
        }
        const D3DVECTOR sides[4] = {{-rows[0].x, -rows[0].y, -rows[0].z}, rows[2], {-rows[1].x, -rows[1].y, -rows[1].z}, rows[3]};
        std::vector<uint32_t> out;
        for (int r = 0; r < 4; ++r) {
            out.push_back(bits(sides[r].x));
            out.push_back(bits(sides[r].y));
            out.push_back(bits(sides[r].z));
            out.push_back(bits(r == 3 ? 1.0f : 0.0f));
        }
        return out;
    }
    default: {
        std::vector<uint32_t> out;
        char c = 0;
        while (file->Read(&c, 1, 1, file) > 0 && c != '\0') {
            if (out.size() < 255) {
                out.push_back(static_cast<uint32_t>(static_cast<unsigned char>(c)));
            }
        }
        return out;
    }
    }
}

} // namespace

TEST(KvfFieldReaders, MatchThePlainStreamReadersAtEveryCut)
{
    std::mt19937 rng(17);
    std::vector<Field> fields;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 60; ++i) {
        const Field field = static_cast<Field>(rng() % kFieldKinds);
        fields.push_back(field);
        if (field == kName) {
            const size_t length = rng() % 3 == 0 ? 300 : rng() % 8; // some longer than 255
            for (size_t c = 0; c < length; ++c) {
                bytes.push_back(static_cast<uint8_t>('a' + rng() % 26));
            }
            bytes.push_back(0);
        } else {
            const int sizes[] = {4, 4, 2, 1, 4, 12, 12, 12, 48};
            for (int b = 0; b < sizes[field]; ++b) {
                bytes.push_back(static_cast<uint8_t>(rng()));
            }
        }
    }
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        const std::vector<uint8_t> data(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        MemoryStream fast(data);
        MemoryStream plain(data);
        for (size_t i = 0; i < fields.size(); ++i) {
            ASSERT_EQ(ReadPlain(&plain, fields[i]), ReadFast(&fast, fields[i])) << "cut " << cut << " field " << i;
            ASSERT_EQ(plain.Tell(&plain), fast.Tell(&fast)) << "cut " << cut << " field " << i;
        }
    }
}
