// The open-addressing table behind the mesh builder's welding, normal sums
// and position matching. It stores entry indices only; the entries live in
// the caller's array and the caller supplies hash and equality, so that
// keys can follow float comparison (-0.0 equals 0.0, NaN equals nothing).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

class MeshSlotTable {
public:
    // Room for `entries` entries at a load of at most one half.
    explicit MeshSlotTable(size_t entries)
    {
        size_t capacity = 16;
        while (capacity < entries * 2) {
            capacity <<= 1;
        }
        m_slots.assign(capacity, -1);
        m_mask = capacity - 1;
    }

    // Whether `entries` entries would load the table beyond one half.
    bool Full(size_t entries) const { return entries * 2 > m_mask + 1; }

    // The slot holding an entry for which same(entry) is true, or else the
    // empty slot (-1) where such an entry belongs. A table with no empty
    // slot left gives a spare slot outside it (-1): the search ends, and
    // what is stored there is simply never found again.
    template <typename Same>
    int32_t& Find(uint64_t hash, Same same)
    {
        size_t i = static_cast<size_t>(hash) & m_mask;
        for (size_t probes = 0; probes <= m_mask; ++probes) {
            int32_t& slot = m_slots[i];
            if (slot < 0 || same(slot)) {
                return slot;
            }
            i = (i + 1) & m_mask;
        }
        m_spare = -1;
        return m_spare;
    }

private:
    std::vector<int32_t> m_slots;
    size_t m_mask = 0;
    int32_t m_spare = -1;
};

inline uint64_t MeshHashCombine(uint64_t hash, uint64_t value)
{
    return hash ^ (value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2));
}

inline uint64_t MeshHashFinish(uint64_t h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

// Bits of a float with -0.0 folded onto 0.0, so that values that compare
// equal hash equally. NaN must be kept out of the tables by the caller.
inline uint32_t MeshFloatKeyBits(float value)
{
    if (value == 0.0f) {
        return 0;
    }
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
