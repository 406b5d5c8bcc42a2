// PNG through stb_image, reading only the given bytes.
#include <climits>
#include <cstring>

#include <stb/stb_image.h>

#include "platform/d3dx/image_format_decoders.h"

namespace {

uint32_t ReadU32BE(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// Deflate expands at most about 1032 to 1.
constexpr uint64_t kMaxInflateRatio = 1032;

// stb trusts the file's numbers before it reads the data: it grows its
// buffer for the image data by each chunk's stated length, and it allocates
// the inflated rows by the header's size before inflating. So every chunk up
// to IEND must fit in the file (length, type, data and check value), and the
// rows the header promises (each a filter byte and its samples) must be
// within what the image-data chunks can inflate to.
bool ChunksFit(const uint8_t* data, size_t size) {
    uint64_t rowBytes = 0;
    uint64_t imageDataBytes = 0;
    size_t pos = 8;
    while (size - pos >= 8) {
        const uint64_t length = ReadU32BE(data + pos);
        if (length + 12 > size - pos) {
            return false;
        }
        const uint8_t* type = data + pos + 4;
        const uint8_t* body = data + pos + 8;
        if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13) {
            static const uint64_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
            const uint64_t width = ReadU32BE(body);
            const uint64_t height = ReadU32BE(body + 4);
            if (width > kMaxImageSide || height > kMaxImageSide) {
                return false;
            }
            const uint64_t bits = body[8] * (body[9] < 7 ? kChannels[body[9]] : 0);
            rowBytes = height * (1 + (width * bits + 7) / 8);
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            imageDataBytes += length;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
        pos += static_cast<size_t>(length) + 12;
    }
    return rowBytes <= imageDataBytes * kMaxInflateRatio + 1024;
}

} // namespace

DecodeResult DecodePng(const uint8_t* data, size_t size, DecodedImage* image) {
    if (size > static_cast<size_t>(INT_MAX) || !ChunksFit(data, size)) {
        return DecodeResult::InvalidData;
    }
    const int length = static_cast<int>(size);
    int width = 0, height = 0, channels = 0;
    // The header alone tells the size, so absurd images fail before stb
    // allocates anything for them.
    if (!stbi_info_from_memory(data, length, &width, &height, &channels) || width <= 0 ||
        height <= 0 || static_cast<UINT>(width) > kMaxImageSide ||
        static_cast<UINT>(height) > kMaxImageSide) {
        return DecodeResult::InvalidData;
    }
    stbi_uc* rgba = stbi_load_from_memory(data, length, &width, &height, &channels, 4);
    if (rgba == nullptr) {
        const char* reason = stbi_failure_reason();
        return (reason != nullptr && std::strcmp(reason, "outofmem") == 0) ? DecodeResult::OutOfMemory
                                                                            : DecodeResult::InvalidData;
    }
    DecodeResult allocated = AllocateTexels(image, static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    if (allocated != DecodeResult::Ok) {
        stbi_image_free(rgba);
        return allocated;
    }
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < count; ++i) {
        const stbi_uc* p = rgba + 4 * i;
        image->texels[i] = PackArgb(p[3], p[0], p[1], p[2]);
    }
    stbi_image_free(rgba);
    switch (channels) {
    case 1:
        image->format = D3DFMT_L8;
        break;
    case 3:
        image->format = D3DFMT_X8R8G8B8;
        break;
    default:
        image->format = D3DFMT_A8R8G8B8;
        break;
    }
    return DecodeResult::Ok;
}
