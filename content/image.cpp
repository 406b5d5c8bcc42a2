#include "content/image.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace content {

namespace {

uint8_t ToByte(float value)
{
    return static_cast<uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f);
}

} // namespace

Rgba Mix(const Rgba& a, const Rgba& b, float t)
{
    return Rgba{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

std::vector<uint8_t> EncodeJpeg(const Image& image, int quality)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);

    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.Width());
    cinfo.image_height = static_cast<JDIMENSION>(image.Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    std::vector<uint8_t> row(static_cast<size_t>(image.Width()) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < image.Width(); ++x) {
            const Rgba& p = image.At(x, y);
            row[x * 3 + 0] = ToByte(p.r);
            row[x * 3 + 1] = ToByte(p.g);
            row[x * 3 + 2] = ToByte(p.b);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);

    std::vector<uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

std::vector<uint8_t> EncodeTga(const Image& image)
{
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = 2; // uncompressed true colour
    bytes[12] = static_cast<uint8_t>(image.Width() & 0xFF);
    bytes[13] = static_cast<uint8_t>(image.Width() >> 8);
    bytes[14] = static_cast<uint8_t>(image.Height() & 0xFF);
    bytes[15] = static_cast<uint8_t>(image.Height() >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28; // 8 alpha bits, top row first
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const Rgba& p = image.At(x, y);
            bytes.push_back(ToByte(p.b));
            bytes.push_back(ToByte(p.g));
            bytes.push_back(ToByte(p.r));
            bytes.push_back(ToByte(p.a));
        }
    }
    return bytes;
}

} // namespace content
