// The field readers take whole fields straight from the member's block and
// read what is left through the stream, zero-padded, at its end. A member cut
// short must read exactly as if the missing bytes were zeros: on a random run
// of every kind of field, cut at every length, each value matches, bit for
// bit, the value read from the same run with a zero tail, and the position
// stops at the cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "pack/pack_file.h"
#include "scene/kvf_read.h"
#include "tests/scene/memory_stream.h"

namespace {

enum Field { kInt32, kTryInt32, kUInt16, kByte, kFloat, kVector, kScaleVector, kMatrix, kName, kFieldKinds };
constexpr int kFieldBytes[] = {4, 4, 2, 1, 4, 12, 12, 48};

// One field read, its value as words of bits.
std::vector<uint32_t> ReadField(CPackFile* file, Field field, int* tryCount)
{
    std::vector<uint32_t> out;
    auto put = [&out](const float* values, int count) {
        for (int i = 0; i < count; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &values[i], sizeof bits);
            out.push_back(bits);
        }
    };
    switch (field) {
    case kInt32:
        out.push_back(static_cast<uint32_t>(ReadInt32(file)));
        break;
    case kTryInt32: {
        int32_t value = 0;
        *tryCount = TryReadInt32(file, &value);
        out.push_back(static_cast<uint32_t>(value));
        break;
    }
    case kUInt16:
        out.push_back(ReadUInt16(file));
        break;
    case kByte:
        out.push_back(ReadByte(file));
        break;
    case kFloat: {
        const float f = ReadFloat(file);
        put(&f, 1);
        break;
    }
    case kVector:
    case kScaleVector: {
        const D3DVECTOR v = field == kVector ? ReadVector(file) : ReadScaleVector(file);
        put(&v.x, 3);
        break;
    }
    case kMatrix: {
        D3DMATRIX m;
        ReadMatrix(file, &m);
        put(&m._11, 16);
        break;
    }
    default: {
        char* name = ReadName(file);
        out.assign(name, name + std::strlen(name));
        delete[] name;
    }
    }
    return out;
}

} // namespace

TEST(KvfFieldReaders, AMemberCutShortReadsAsIfItEndedInZeros)
{
    std::mt19937 rng(17);
    std::vector<Field> fields;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 60; ++i) {
        const Field field = static_cast<Field>(rng() % kFieldKinds);
        fields.push_back(field);
        // Names of up to 300 characters (255 are kept), other fields random.
        const size_t size = field == kName ? (rng() % 3 == 0 ? 300 : rng() % 8) : kFieldBytes[field];
        for (size_t b = 0; b < size; ++b) {
            bytes.push_back(static_cast<uint8_t>(field == kName ? 'a' + rng() % 26 : rng()));
        }
        if (field == kName) {
            bytes.push_back(0);
        }
    }
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        std::vector<uint8_t> zeroTail = bytes;
        std::fill(zeroTail.begin() + static_cast<std::ptrdiff_t>(cut), zeroTail.end(), 0);
        MemoryStream whole(zeroTail);
        MemoryStream cutShort(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
        for (size_t i = 0; i < fields.size(); ++i) {
            const int before = cutShort.Tell(&cutShort);
            int wholeCount = 0, cutCount = 0;
            ASSERT_EQ(ReadField(&whole, fields[i], &wholeCount), ReadField(&cutShort, fields[i], &cutCount))
                << "cut " << cut << " field " << i;
            const int expected = std::min(whole.Tell(&whole), static_cast<int>(cut));
            ASSERT_EQ(expected, cutShort.Tell(&cutShort)) << "cut " << cut << " field " << i;
            ASSERT_EQ(std::min(wholeCount, expected - before), cutCount) << "cut " << cut << " field " << i;
        }
    }
}
