// Image seeds: small images in every layout the decoders read. TGA and BMP
// are written byte by byte, JPEG by libjpeg (baseline colour, greyscale,
// subsampled, progressive) and PNG by stb (grey, grey with alpha, RGB, RGBA).
#include <cstdio>
#include <cstdlib>
#include <string>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

#include "fuzz/seeds/seed_files.h"
#include "tests/support/jpeg_encoder.h"
#include "tests/support/test_images.h"

namespace {

constexpr int kSide = 8;

void Put16(std::vector<uint8_t>* out, uint32_t v)
{
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t v)
{
    Put16(out, v);
    Put16(out, v >> 16);
}

// TGA header: id length 0, colour-map fields, origin 0, size, depth and
// the descriptor (0x20: top row first).
std::vector<uint8_t> TgaHeader(uint8_t mapType, uint8_t imageType, uint16_t mapLength, uint8_t mapDepth, uint8_t depth)
{
    std::vector<uint8_t> out = {0, mapType, imageType};
    Put16(&out, 0);
    Put16(&out, mapLength);
    out.push_back(mapDepth);
    Put32(&out, 0);
    Put16(&out, kSide);
    Put16(&out, kSide);
    out.push_back(depth);
    out.push_back(0x20);
    return out;
}

// Grey (type 3), 16-bit true colour (type 2) and colour-mapped (type 1 and
// its run-length form 9) images.
void WriteTgaVariants(const std::string& folder, bool* ok)
{
    std::vector<uint8_t> grey = TgaHeader(0, 3, 0, 0, 8);
    for (int i = 0; i < kSide * kSide; ++i) {
        grey.push_back(static_cast<uint8_t>(i * 4));
    }
    *ok = WriteSeed(folder, "grey.tga", grey) && *ok;

    std::vector<uint8_t> high = TgaHeader(0, 2, 0, 0, 16);
    for (int i = 0; i < kSide * kSide; ++i) {
        Put16(&high, static_cast<uint32_t>(i * 517) | 0x8000u);
    }
    *ok = WriteSeed(folder, "rgb16.tga", high) && *ok;

    std::vector<uint8_t> mapped = TgaHeader(1, 1, 4, 24, 8);
    for (int c = 0; c < 4; ++c) {
        mapped.insert(mapped.end(), {static_cast<uint8_t>(c * 60), 0x80, static_cast<uint8_t>(255 - c * 60)});
    }
    for (int i = 0; i < kSide * kSide; ++i) {
        mapped.push_back(static_cast<uint8_t>(i % 4));
    }
    *ok = WriteSeed(folder, "mapped.tga", mapped) && *ok;

    std::vector<uint8_t> mappedRle = TgaHeader(1, 9, 4, 32, 8);
    for (int c = 0; c < 4; ++c) {
        mappedRle.insert(mappedRle.end(), {static_cast<uint8_t>(c * 60), 0x80, 0x20, static_cast<uint8_t>(c * 80)});
    }
    for (int run = 0; run < kSide; ++run) {
        mappedRle.push_back(0x80 | 3); // four of one index
        mappedRle.push_back(static_cast<uint8_t>(run % 4));
        mappedRle.push_back(3); // four raw
        mappedRle.insert(mappedRle.end(), {0, 1, 2, 3});
    }
    *ok = WriteSeed(folder, "mapped_rle.tga", mappedRle) && *ok;
}

// BMP with a palette (1, 4 and 8 bits, and 4 and 8-bit run-length), and
// 16 and 32-bit with bit masks; the 40-byte info header.
std::vector<uint8_t> Bmp(int bits, uint32_t compression, const std::vector<uint8_t>& pixels, int height)
{
    const int paletteEntries = bits <= 8 ? (1 << bits) : 0;
    const uint32_t masksBytes = compression == 3 ? 16 : 0;
    const uint32_t offset = 14 + 40 + masksBytes + 4 * static_cast<uint32_t>(paletteEntries);
    std::vector<uint8_t> out = {'B', 'M'};
    Put32(&out, offset + static_cast<uint32_t>(pixels.size()));
    Put32(&out, 0);
    Put32(&out, offset);
    Put32(&out, 40);
    Put32(&out, kSide);
    Put32(&out, static_cast<uint32_t>(height));
    Put16(&out, 1);
    Put16(&out, static_cast<uint32_t>(bits));
    Put32(&out, compression);
    Put32(&out, static_cast<uint32_t>(pixels.size()));
    Put32(&out, 2835);
    Put32(&out, 2835);
    Put32(&out, 0);
    Put32(&out, 0);
    if (compression == 3) {
        for (uint32_t mask : bits == 16 ? std::vector<uint32_t>{0x7C00, 0x03E0, 0x001F, 0x8000}
                                        : std::vector<uint32_t>{0xFF0000, 0xFF00, 0xFF, 0xFF000000u}) {
            Put32(&out, mask);
        }
    }
    for (int c = 0; c < paletteEntries; ++c) {
        out.insert(out.end(), {static_cast<uint8_t>(c * 13), static_cast<uint8_t>(c * 7), static_cast<uint8_t>(c), 0});
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

void WriteBmpVariants(const std::string& folder, bool* ok)
{
    const int rowBytes1 = 4, rowBytes4 = 4, rowBytes8 = 8;
    std::vector<uint8_t> p1(rowBytes1 * kSide, 0xA5), p4(rowBytes4 * kSide, 0x1F), p8(rowBytes8 * kSide);
    for (size_t i = 0; i < p8.size(); ++i) {
        p8[i] = static_cast<uint8_t>(i * 3);
    }
    *ok = WriteSeed(folder, "pal1.bmp", Bmp(1, 0, p1, kSide)) && *ok;
    *ok = WriteSeed(folder, "pal4.bmp", Bmp(4, 0, p4, -kSide)) && *ok;
    *ok = WriteSeed(folder, "pal8.bmp", Bmp(8, 0, p8, kSide)) && *ok;

    // Run-length rows: a run, raw pixels, end of line; a delta; end of bitmap.
    std::vector<uint8_t> rle8;
    for (int row = 0; row < kSide - 2; ++row) {
        rle8.insert(rle8.end(), {4, static_cast<uint8_t>(row), 0, 4, 1, 2, 3, 4, 0, 0});
    }
    rle8.insert(rle8.end(), {0, 2, 1, 1, 0, 1});
    *ok = WriteSeed(folder, "rle8.bmp", Bmp(8, 1, rle8, kSide)) && *ok;
    std::vector<uint8_t> rle4;
    for (int row = 0; row < kSide; ++row) {
        rle4.insert(rle4.end(), {5, 0x12, 0, 3, 0x34, 0x50, 0, 0});
    }
    rle4.insert(rle4.end(), {0, 1});
    *ok = WriteSeed(folder, "rle4.bmp", Bmp(4, 2, rle4, kSide)) && *ok;

    std::vector<uint8_t> p16(2 * kSide * kSide), p32(4 * kSide * kSide);
    for (size_t i = 0; i < p16.size(); ++i) {
        p16[i] = static_cast<uint8_t>(i * 11);
    }
    for (size_t i = 0; i < p32.size(); ++i) {
        p32[i] = static_cast<uint8_t>(i * 5);
    }
    *ok = WriteSeed(folder, "masks16.bmp", Bmp(16, 3, p16, kSide)) && *ok;
    *ok = WriteSeed(folder, "masks32.bmp", Bmp(32, 3, p32, kSide)) && *ok;
    *ok = WriteSeed(folder, "rgb16.bmp", Bmp(16, 0, p16, kSide)) && *ok;
}

std::vector<uint8_t> Jpeg(const TestImage& image, bool grey, bool subsampled, bool progressive)
{
    std::vector<uint8_t> samples;
    for (uint32_t p : image.pixels) {
        if (grey) {
            samples.push_back(static_cast<uint8_t>(p >> 8));
        } else {
            samples.insert(samples.end(),
                           {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)});
        }
    }
    JpegEncoding encoding;
    encoding.fullChroma = !subsampled;
    encoding.progressive = progressive;
    return EncodeJpegSamples(image.width, image.height, grey ? 1 : 3, samples, encoding);
}

void AppendToVector(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

std::vector<uint8_t> Png(const TestImage& image, int channels)
{
    std::vector<uint8_t> texels;
    for (uint32_t p : image.pixels) {
        const uint8_t argb[4] = {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p),
                                 static_cast<uint8_t>(p >> 24)};
        if (channels <= 2) {
            texels.push_back(argb[1]);
            if (channels == 2) {
                texels.push_back(argb[3]);
            }
        } else {
            texels.insert(texels.end(), argb, argb + channels);
        }
    }
    std::vector<uint8_t> out;
    stbi_write_png_to_func(AppendToVector, &out, image.width, image.height, channels, texels.data(),
                           image.width * channels);
    return out;
}

} // namespace

bool WriteImageSeeds(const std::string& folder)
{
    const TestImage image = PatternImage(kSide, kSide);
    const TestImage large = PatternImage(2 * kSide, 2 * kSide);
    bool ok = true;
    for (int bits : {24, 32}) {
        for (bool rle : {false, true}) {
            for (TgaRows rows : {TgaRows::BottomUp, TgaRows::TopDown}) {
                const std::string name = "rgb" + std::to_string(bits) + (rle ? "_rle" : "") +
                                         (rows == TgaRows::TopDown ? "_top" : "") + ".tga";
                ok = WriteSeed(folder, name, EncodeTga(image, bits, rle, rows)) && ok;
            }
        }
    }
    WriteTgaVariants(folder, &ok);
    ok = WriteSeed(folder, "rgb24.bmp", EncodeBmp24(image)) && ok;
    WriteBmpVariants(folder, &ok);
    ok = WriteSeed(folder, "colour.jpg", Jpeg(large, false, false, false)) && ok;
    ok = WriteSeed(folder, "grey.jpg", Jpeg(image, true, false, false)) && ok;
    ok = WriteSeed(folder, "subsampled.jpg", Jpeg(large, false, true, false)) && ok;
    ok = WriteSeed(folder, "progressive.jpg", Jpeg(large, false, true, true)) && ok;
    for (int channels = 1; channels <= 4; ++channels) {
        ok = WriteSeed(folder, "channels" + std::to_string(channels) + ".png", Png(image, channels)) && ok;
    }
    return ok;
}
