// A pack stream over bytes made in the test, so that record readers can be
// driven without an archive.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "pack/pack_file.h"

class MemoryStream : public CPackFile {
public:
    explicit MemoryStream(const std::vector<uint8_t>& bytes)
    {
        block = new PackBlock{static_cast<int32_t>(bytes.size()), 0, new unsigned char[bytes.size() + 1]};
        if (!bytes.empty()) {
            std::memcpy(block->data, bytes.data(), bytes.size());
        }
    }
};
