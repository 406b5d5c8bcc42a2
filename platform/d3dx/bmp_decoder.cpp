// Windows BMP: OS/2 core and Windows info headers (40 to 124 bytes), 1, 4
// and 8-bit palettes (uncompressed or run-length encoded), 16 and 32-bit
// with default or explicit bit masks, and 24-bit; bottom-up or top-down.
//
// Palette entries have a fourth byte that the format reserves and writers
// leave at zero. When every such byte is zero the palette is opaque; when
// they differ the writer meant them as alpha and the image keeps it.
#include <vector>

#include "platform/d3dx/image_format_decoders.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;

struct BmpInfo {
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0; // positive: rows stored bottom-up
    uint32_t bits = 0;
    uint32_t compression = kRgb;
    uint32_t colorsUsed = 0;
    uint32_t masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha
    size_t paletteOffset = 0;
    size_t paletteEntrySize = 4;
};

// One channel described by a bit mask, scaled to 0..255.
class MaskChannel {
public:
    explicit MaskChannel(uint32_t mask) : mask_(mask) {
        if (mask == 0) {
            return;
        }
        while (((mask >> shift_) & 1u) == 0) {
            ++shift_;
        }
        uint32_t field = mask >> shift_;
        while (bits_ < 32 && (field >> bits_) != 0) {
            ++bits_;
        }
        max_ = (bits_ >= 32) ? 0xFFFFFFFFu : ((1u << bits_) - 1u);
    }

    bool Present() const { return mask_ != 0; }

    uint32_t Extract(uint32_t value) const {
        if (mask_ == 0) {
            return 0;
        }
        uint32_t v = (value & mask_) >> shift_;
        if (bits_ >= 8) {
            return v >> (bits_ - 8);
        }
        return (v * 255u + max_ / 2u) / max_;
    }

private:
    uint32_t mask_;
    uint32_t shift_ = 0;
    uint32_t bits_ = 0;
    uint32_t max_ = 0;
};

bool ParseInfo(const uint8_t* data, size_t size, BmpInfo* info) {
    if (size < kFileHeaderSize + 12 || data[0] != 'B' || data[1] != 'M') {
        return false;
    }
    const uint8_t* h = data + kFileHeaderSize;
    info->headerSize = ReadU32LE(h);
    if (info->headerSize > size - kFileHeaderSize) {
        return false;
    }
    if (info->headerSize == 12) {
        info->width = ReadU16LE(h + 4);
        info->height = ReadU16LE(h + 6);
        info->bits = ReadU16LE(h + 10);
        info->paletteEntrySize = 3;
        info->paletteOffset = kFileHeaderSize + 12;
        return true;
    }
    if (info->headerSize < 40) {
        return false;
    }
    info->width = static_cast<int32_t>(ReadU32LE(h + 4));
    info->height = static_cast<int32_t>(ReadU32LE(h + 8));
    info->bits = ReadU16LE(h + 14);
    info->compression = ReadU32LE(h + 16);
    info->colorsUsed = ReadU32LE(h + 32);
    // The 64-byte OS/2 header numbers its compressions differently from 3 on.
    if (info->headerSize == 64 && info->compression >= kBitFields) {
        return false;
    }
    info->paletteOffset = kFileHeaderSize + info->headerSize;
    if (info->compression == kBitFields || info->compression == kAlphaBitFields) {
        size_t maskCount = (info->compression == kAlphaBitFields) ? 4 : 3;
        if (info->headerSize >= 52) {
            // Version 4 and 5 headers hold the masks (and alpha from 56 bytes on).
            maskCount = info->headerSize >= 56 ? 4 : 3;
            for (size_t i = 0; i < maskCount; ++i) {
                info->masks[i] = ReadU32LE(h + 40 + 4 * i);
            }
        } else {
            if (size - info->paletteOffset < 4 * maskCount) {
                return false;
            }
            for (size_t i = 0; i < maskCount; ++i) {
                info->masks[i] = ReadU32LE(data + info->paletteOffset + 4 * i);
            }
            info->paletteOffset += 4 * maskCount;
        }
    }
    return true;
}

bool SupportedLayout(const BmpInfo& info) {
    switch (info.compression) {
    case kRgb:
        return info.bits == 1 || info.bits == 4 || info.bits == 8 || info.bits == 16 ||
               info.bits == 24 || info.bits == 32;
    case kRle8:
        return info.bits == 8 && info.height > 0;
    case kRle4:
        return info.bits == 4 && info.height > 0;
    case kBitFields:
    case kAlphaBitFields:
        return info.bits == 16 || info.bits == 32;
    default:
        return false;
    }
}

// Reads the palette; returns false when it does not fit in the file. Sets
// hasAlpha when the reserved bytes carry alpha.
bool ReadPalette(const uint8_t* data, size_t size, size_t pixelOffset, const BmpInfo& info,
                 std::vector<uint32_t>* palette, bool* hasAlpha) {
    size_t count = size_t{1} << info.bits;
    if (info.colorsUsed != 0 && info.colorsUsed < count) {
        count = info.colorsUsed;
    }
    // Some writers state more colours than they leave room for before the
    // pixels: keep the entries that are there.
    if (pixelOffset > info.paletteOffset) {
        size_t room = (pixelOffset - info.paletteOffset) / info.paletteEntrySize;
        if (room < count) {
            count = room;
        }
    }
    if (info.paletteOffset > size || (size - info.paletteOffset) / info.paletteEntrySize < count) {
        return false;
    }
    palette->assign(size_t{1} << info.bits, 0xFF000000u);
    bool anyReservedSet = false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = data + info.paletteOffset + i * info.paletteEntrySize;
        if (info.paletteEntrySize == 4 && e[3] != 0) {
            anyReservedSet = true;
        }
    }
    *hasAlpha = false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = data + info.paletteOffset + i * info.paletteEntrySize;
        uint32_t alpha = anyReservedSet ? e[3] : 0xFF;
        if (alpha != 0xFF) {
            *hasAlpha = true;
        }
        (*palette)[i] = PackArgb(alpha, e[2], e[1], e[0]);
    }
    return true;
}

uint64_t RowStride(uint64_t width, uint32_t bits) {
    return (width * bits + 31) / 32 * 4;
}

// Whether `available` bytes hold every row; the padding of the last row may
// be missing, its pixels may not.
bool RowsFit(uint64_t width, uint64_t height, uint32_t bits, size_t available) {
    const uint64_t rowBytes = (width * bits + 7) / 8;
    return RowStride(width, bits) * (height - 1) + rowBytes <= available;
}

DecodeResult DecodeUncompressed(const uint8_t* pixels, size_t available, const BmpInfo& info,
                                const std::vector<uint32_t>& palette, DecodedImage* image) {
    const size_t width = image->width;
    const size_t height = image->height;
    const uint64_t stride = RowStride(width, info.bits);

    uint32_t masks[4];
    for (int i = 0; i < 4; ++i) {
        masks[i] = info.masks[i];
    }
    if (info.compression == kRgb && info.bits == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
        masks[3] = 0;
    } else if (info.compression == kRgb && info.bits == 32) {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
        masks[3] = 0;
    }
    const MaskChannel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);

    for (size_t fileRow = 0; fileRow < height; ++fileRow) {
        const uint8_t* src = pixels + fileRow * stride;
        size_t y = (info.height > 0) ? height - 1 - fileRow : fileRow;
        uint32_t* dst = image->texels.get() + y * width;
        switch (info.bits) {
        case 1:
        case 4:
        case 8: {
            const uint32_t perByte = 8 / info.bits;
            const uint32_t valueMask = (1u << info.bits) - 1u;
            for (size_t x = 0; x < width; ++x) {
                uint32_t shift = 8 - info.bits * (1 + x % perByte);
                dst[x] = palette[(src[x / perByte] >> shift) & valueMask];
            }
            break;
        }
        case 24:
            for (size_t x = 0; x < width; ++x, src += 3) {
                dst[x] = PackArgb(0xFF, src[2], src[1], src[0]);
            }
            break;
        default:
            for (size_t x = 0; x < width; ++x) {
                uint32_t v = (info.bits == 16) ? ReadU16LE(src + 2 * x) : ReadU32LE(src + 4 * x);
                uint32_t a = alpha.Present() ? alpha.Extract(v) : 0xFF;
                dst[x] = PackArgb(a, red.Extract(v), green.Extract(v), blue.Extract(v));
            }
            break;
        }
    }
    return DecodeResult::Ok;
}

// RLE8 and RLE4: runs and absolute blocks of palette indices, with end of
// line, end of bitmap and delta escapes. Pixels the stream skips keep
// palette entry 0; pixels beyond a row's end are dropped.
DecodeResult DecodeRunLength(const uint8_t* p, size_t available, const BmpInfo& info,
                             const std::vector<uint32_t>& palette, DecodedImage* image) {
    const size_t width = image->width;
    const size_t height = image->height;
    const bool rle4 = info.compression == kRle4;
    for (size_t i = 0; i < width * height; ++i) {
        image->texels[i] = palette[0];
    }
    const uint8_t* end = p + available;
    size_t x = 0;
    size_t row = 0; // counted from the bottom
    auto put = [&](uint32_t index) {
        if (x < width && row < height) {
            image->texels[(height - 1 - row) * width + x] = palette[index];
        }
        ++x;
    };
    while (row < height) {
        if (end - p < 2) {
            return DecodeResult::InvalidData;
        }
        uint8_t count = p[0];
        uint8_t value = p[1];
        p += 2;
        if (count > 0) {
            for (uint32_t i = 0; i < count; ++i) {
                put(rle4 ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
            }
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++row;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            if (end - p < 2) {
                return DecodeResult::InvalidData;
            }
            x += p[0];
            row += p[1];
            p += 2;
        } else { // absolute block of `value` pixels, padded to 16 bits
            size_t bytes = rle4 ? (value + 1u) / 2u : value;
            size_t padded = (bytes + 1u) & ~size_t{1};
            if (static_cast<size_t>(end - p) < bytes) {
                return DecodeResult::InvalidData;
            }
            for (uint32_t i = 0; i < value; ++i) {
                put(rle4 ? ((i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4)) : p[i]);
            }
            p += (static_cast<size_t>(end - p) < padded) ? bytes : padded;
        }
    }
    return DecodeResult::Ok;
}

} // namespace

DecodeResult DecodeBmp(const uint8_t* data, size_t size, DecodedImage* image) {
    BmpInfo info;
    if (!ParseInfo(data, size, &info) || !SupportedLayout(info)) {
        return DecodeResult::InvalidData;
    }
    if (info.height == INT32_MIN || info.width <= 0 || info.height == 0) {
        return DecodeResult::InvalidData;
    }
    const int64_t height = info.height < 0 ? -info.height : info.height;
    const size_t pixelOffset = ReadU32LE(data + 10);
    if (pixelOffset >= size) {
        return DecodeResult::InvalidData;
    }

    std::vector<uint32_t> palette;
    bool paletteAlpha = false;
    if (info.bits <= 8 && !ReadPalette(data, size, pixelOffset, info, &palette, &paletteAlpha)) {
        return DecodeResult::InvalidData;
    }
    const size_t available = size - pixelOffset;
    // Refused before the texels are allocated when the data cannot hold them.
    if (info.compression == kRle8 || info.compression == kRle4) {
        // Each two-byte code yields at most 255 pixels.
        if (static_cast<uint64_t>(info.width) * height > (available / 2) * 255u + 255u) {
            return DecodeResult::InvalidData;
        }
    } else if (info.width > kMaxImageSide || height > kMaxImageSide ||
               !RowsFit(static_cast<uint64_t>(info.width), static_cast<uint64_t>(height), info.bits, available)) {
        return DecodeResult::InvalidData;
    }
    DecodeResult allocated = AllocateTexels(image, info.width, height);
    if (allocated != DecodeResult::Ok) {
        return allocated;
    }

    if (info.bits <= 8) {
        image->format = paletteAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    } else if (info.bits != 24 && info.masks[3] != 0 &&
               (info.compression == kBitFields || info.compression == kAlphaBitFields)) {
        image->format = D3DFMT_A8R8G8B8;
    } else {
        image->format = D3DFMT_X8R8G8B8;
    }

    if (info.compression == kRle8 || info.compression == kRle4) {
        return DecodeRunLength(data + pixelOffset, available, info, palette, image);
    }
    return DecodeUncompressed(data + pixelOffset, available, info, palette, image);
}
