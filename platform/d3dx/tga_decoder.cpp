// Truevision TGA: colour-mapped (types 1, 9), true-colour (2, 10) and grey
// (3, 11), uncompressed or run-length encoded, stored bottom-up or top-down
// and left-to-right or right-to-left.
#include <cstring>
#include <vector>

#include "platform/d3dx/image_format_decoders.h"

namespace {

constexpr size_t kHeaderSize = 18;

struct TgaHeader {
    uint8_t idLength;
    uint8_t colorMapType;
    uint8_t imageType;
    uint16_t colorMapFirst;
    uint16_t colorMapLength;
    uint8_t colorMapEntryBits;
    uint16_t width;
    uint16_t height;
    uint8_t pixelBits;
    uint8_t descriptor;

    int BaseType() const { return imageType & 7; }
    bool Compressed() const { return imageType >= 9; }
    int AlphaBits() const { return descriptor & 0x0F; }
    bool RightToLeft() const { return (descriptor & 0x10) != 0; }
    bool TopDown() const { return (descriptor & 0x20) != 0; }
};

bool IsColourDepth(int bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// One true-colour value (BGR order, 15/16-bit as ARRRRRGG GGGBBBBB) as ARGB.
uint32_t ColourValue(const uint8_t* p, int bits, bool alphaBit) {
    switch (bits) {
    case 32:
        return PackArgb(p[3], p[2], p[1], p[0]);
    case 24:
        return PackArgb(0xFF, p[2], p[1], p[0]);
    default: {
        uint32_t v = ReadU16LE(p);
        uint32_t a = (!alphaBit || (v & 0x8000)) ? 0xFF : 0x00;
        return PackArgb(a, Expand5To8((v >> 10) & 31), Expand5To8((v >> 5) & 31), Expand5To8(v & 31));
    }
    }
}

// The format a texture of colour values of this depth takes.
D3DFORMAT ColourFormat(int bits, bool alphaBit) {
    if (bits == 32 || (bits == 16 && alphaBit)) {
        return D3DFMT_A8R8G8B8;
    }
    return D3DFMT_X8R8G8B8;
}

class PixelReader {
public:
    PixelReader(const TgaHeader& header, const std::vector<uint32_t>& palette)
        : header_(header), palette_(palette),
          bytes_(header.pixelBits == 15 ? 2 : header.pixelBits / 8),
          alphaBit_(header.pixelBits == 16 && header.AlphaBits() > 0) {}

    size_t Bytes() const { return bytes_; }

    uint32_t Read(const uint8_t* p) const {
        switch (header_.BaseType()) {
        case 1: {
            uint32_t index = (bytes_ == 1) ? p[0] : ReadU16LE(p);
            // An index outside the map reads opaque black rather than failing
            // a file whose map is merely short.
            if (index < header_.colorMapFirst || index - header_.colorMapFirst >= palette_.size()) {
                return 0xFF000000u;
            }
            return palette_[index - header_.colorMapFirst];
        }
        case 3:
            if (bytes_ == 2) {
                return PackArgb(p[1], p[0], p[0], p[0]);
            }
            return PackArgb(0xFF, p[0], p[0], p[0]);
        default:
            return ColourValue(p, header_.pixelBits, alphaBit_);
        }
    }

private:
    const TgaHeader& header_;
    const std::vector<uint32_t>& palette_;
    size_t bytes_;
    bool alphaBit_;
};

// Places the stream's pixels by the header's row and column order.
class PixelPlacer {
public:
    PixelPlacer(const TgaHeader& header, DecodedImage* image)
        : image_(image), width_(header.width), height_(header.height),
          topDown_(header.TopDown()), rightToLeft_(header.RightToLeft()) {
        StartRow();
    }

    void Put(uint32_t value) {
        row_[rightToLeft_ ? width_ - 1 - column_ : column_] = value;
        if (++column_ == width_) {
            column_ = 0;
            ++fileRow_;
            if (fileRow_ < height_) {
                StartRow();
            }
        }
    }

private:
    void StartRow() {
        size_t y = topDown_ ? fileRow_ : height_ - 1 - fileRow_;
        row_ = image_->texels.get() + y * width_;
    }

    DecodedImage* image_;
    size_t width_;
    size_t height_;
    bool topDown_;
    bool rightToLeft_;
    size_t column_ = 0;
    size_t fileRow_ = 0;
    uint32_t* row_ = nullptr;
};

bool ParseHeader(const uint8_t* data, size_t size, TgaHeader* h) {
    if (size < kHeaderSize) {
        return false;
    }
    h->idLength = data[0];
    h->colorMapType = data[1];
    h->imageType = data[2];
    h->colorMapFirst = ReadU16LE(data + 3);
    h->colorMapLength = ReadU16LE(data + 5);
    h->colorMapEntryBits = data[7];
    h->width = ReadU16LE(data + 12);
    h->height = ReadU16LE(data + 14);
    h->pixelBits = data[16];
    h->descriptor = data[17];

    if (h->colorMapType > 1 || (h->descriptor & 0xC0) != 0) {
        return false; // unknown map type or interleaved rows
    }
    switch (h->imageType) {
    case 1:
    case 9:
        return h->colorMapType == 1 && (h->pixelBits == 8 || h->pixelBits == 16) &&
               IsColourDepth(h->colorMapEntryBits) && h->colorMapLength > 0;
    case 2:
    case 10:
        return IsColourDepth(h->pixelBits);
    case 3:
    case 11:
        return h->pixelBits == 8 || h->pixelBits == 16;
    default:
        return false;
    }
}

} // namespace

DecodeResult DecodeTga(const uint8_t* data, size_t size, DecodedImage* image) {
    TgaHeader header;
    if (!ParseHeader(data, size, &header)) {
        return DecodeResult::InvalidData;
    }
    size_t pos = kHeaderSize + header.idLength;

    // The colour map is present (and skipped) for any type that declares one.
    std::vector<uint32_t> palette;
    if (header.colorMapType == 1) {
        size_t entryBytes = (header.colorMapEntryBits + 7u) / 8u;
        size_t mapBytes = entryBytes * header.colorMapLength;
        if (pos > size || size - pos < mapBytes) {
            return DecodeResult::InvalidData;
        }
        if (header.BaseType() == 1) {
            bool alphaBit = header.colorMapEntryBits == 16 && header.AlphaBits() > 0;
            palette.resize(header.colorMapLength);
            for (size_t i = 0; i < palette.size(); ++i) {
                palette[i] = ColourValue(data + pos + i * entryBytes, header.colorMapEntryBits, alphaBit);
            }
        }
        pos += mapBytes;
    }
    if (pos > size) {
        return DecodeResult::InvalidData;
    }

    PixelReader reader(header, palette);
    const size_t pixelBytes = reader.Bytes();
    const uint64_t pixelCount = static_cast<uint64_t>(header.width) * header.height;
    const size_t remaining = size - pos;
    // Refuse before allocating when the data cannot hold the pixels: raw
    // pixels take their full size, a run packet at most 128 pixels.
    if (header.Compressed()) {
        if (pixelCount > static_cast<uint64_t>(remaining / (1 + pixelBytes)) * 128u) {
            return DecodeResult::InvalidData;
        }
    } else if (pixelCount * pixelBytes > remaining) {
        return DecodeResult::InvalidData;
    }

    DecodeResult allocated = AllocateTexels(image, header.width, header.height);
    if (allocated != DecodeResult::Ok) {
        return allocated;
    }
    switch (header.BaseType()) {
    case 1:
        image->format = ColourFormat(header.colorMapEntryBits, header.AlphaBits() > 0);
        break;
    case 3:
        image->format = header.pixelBits == 8 ? D3DFMT_L8 : D3DFMT_A8R8G8B8;
        break;
    default:
        image->format = ColourFormat(header.pixelBits, header.AlphaBits() > 0);
        break;
    }

    PixelPlacer placer(header, image);
    const uint8_t* p = data + pos;
    const uint8_t* end = data + size;
    uint64_t left = pixelCount;
    if (!header.Compressed()) {
        for (; left > 0; --left, p += pixelBytes) {
            placer.Put(reader.Read(p));
        }
        return DecodeResult::Ok;
    }
    while (left > 0) {
        if (p >= end) {
            return DecodeResult::InvalidData;
        }
        uint8_t packet = *p++;
        uint64_t count = (packet & 0x7F) + 1u;
        // A packet running past the last pixel is cut short.
        if (count > left) {
            count = left;
        }
        if (packet & 0x80) {
            if (static_cast<size_t>(end - p) < pixelBytes) {
                return DecodeResult::InvalidData;
            }
            uint32_t value = reader.Read(p);
            p += pixelBytes;
            for (uint64_t i = 0; i < count; ++i) {
                placer.Put(value);
            }
        } else {
            if (static_cast<uint64_t>(end - p) < count * pixelBytes) {
                return DecodeResult::InvalidData;
            }
            for (uint64_t i = 0; i < count; ++i, p += pixelBytes) {
                placer.Put(reader.Read(p));
            }
        }
        left -= count;
    }
    return DecodeResult::Ok;
}
