// Shared pieces of the per-format image decoders behind DecodeImage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3dx/image_decoder.h"

DecodeResult DecodeBmp(const uint8_t* data, size_t size, DecodedImage* image);
DecodeResult DecodeTga(const uint8_t* data, size_t size, DecodedImage* image);
DecodeResult DecodeJpeg(const uint8_t* data, size_t size, DecodedImage* image);
DecodeResult DecodePng(const uint8_t* data, size_t size, DecodedImage* image);

// Checks the dimensions (1 to kMaxImageSide each) and allocates the texel
// array, reporting an allocation failure instead of throwing.
DecodeResult AllocateTexels(DecodedImage* image, uint64_t width, uint64_t height);

inline uint32_t PackArgb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

inline uint16_t ReadU16LE(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t ReadU32LE(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Widens a 5-bit channel to 8 bits so that 31 becomes 255.
inline uint32_t Expand5To8(uint32_t v) { return (v << 3) | (v >> 2); }
