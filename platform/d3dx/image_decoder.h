// Decodes a whole image file held in memory (JPEG, TGA, BMP or PNG) into
// 32-bit 0xAARRGGBB texels, top row first, and names the Direct3D format a
// texture of it takes:
//   JPEG: colour -> X8R8G8B8, greyscale -> L8;
//   TGA: 24-bit -> X8R8G8B8, 32-bit -> A8R8G8B8, 8-bit grey -> L8,
//        15/16-bit and colour-mapped after their entry size;
//   BMP: 24-bit and 32-bit -> X8R8G8B8 (A8R8G8B8 with an alpha bit mask),
//        1/4/8-bit -> X8R8G8B8 after the palette, A8R8G8B8 when the palette
//        carries alpha (see bmp_decoder.cpp);
//   PNG: after its channels (grey -> L8, with alpha -> A8R8G8B8).
// Texels of formats without alpha read alpha 0xFF; L8 images hold the same
// grey in red, green and blue.
//
// No decoder reads outside the given bytes; corrupt or truncated files, and
// images wider or taller than kMaxImageSide, fail before large allocations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/d3d8/d3d8_types.h"

enum class ImageFileFormat { Bmp, Jpeg, Tga, Png };

enum class DecodeResult { Ok, InvalidData, OutOfMemory };

constexpr UINT kMaxImageSide = 16384;

struct DecodedImage {
    UINT width = 0;
    UINT height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    ImageFileFormat fileFormat = ImageFileFormat::Bmp;
    std::unique_ptr<uint32_t[]> texels; // width * height, row by row from the top

    uint32_t At(UINT x, UINT y) const { return texels[static_cast<size_t>(y) * width + x]; }
};

// On failure the image is left empty.
DecodeResult DecodeImage(const void* data, size_t size, DecodedImage* image);
