#include "tests/support/test_images.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "tests/support/pack_builder.h"

namespace {

void Put16(std::vector<uint8_t>* out, uint32_t v)
{
    out->push_back(uint8_t(v));
    out->push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutPixel(std::vector<uint8_t>* out, uint32_t argb, int bitsPerPixel)
{
    out->push_back(uint8_t(argb));       // blue
    out->push_back(uint8_t(argb >> 8));  // green
    out->push_back(uint8_t(argb >> 16)); // red
    if (bitsPerPixel == 32)
        out->push_back(uint8_t(argb >> 24));
}

} // namespace

TestImage PatternImage(int width, int height)
{
    TestImage image{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t a = uint32_t(40 + 50 * ((x + y) % 4));
            uint32_t r = uint32_t(17 * x + 3) & 0xFF;
            uint32_t g = uint32_t(29 * y + 7) & 0xFF;
            uint32_t b = uint32_t(11 * (x * y) + 90) & 0xFF;
            image.pixels.push_back(a << 24 | r << 16 | g << 8 | b);
        }
    }
    return image;
}

TestImage QuadrantImage()
{
    const uint32_t colours[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    TestImage image{32, 32, {}};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            image.pixels.push_back(colours[(y / 16) * 2 + x / 16]);
    return image;
}

std::vector<uint8_t> EncodeTga(const TestImage& image, int bitsPerPixel, bool rle, TgaRows rows)
{
    std::vector<uint8_t> out;
    out.push_back(0);            // no image id
    out.push_back(0);            // no colour map
    out.push_back(rle ? 10 : 2); // true colour
    for (int i = 0; i < 5; ++i)
        out.push_back(0); // colour map specification
    Put16(&out, 0);       // x origin
    Put16(&out, 0);       // y origin
    Put16(&out, uint32_t(image.width));
    Put16(&out, uint32_t(image.height));
    out.push_back(uint8_t(bitsPerPixel));
    uint8_t descriptor = bitsPerPixel == 32 ? 8 : 0; // alpha bits
    if (rows == TgaRows::TopDown)
        descriptor |= 0x20;
    out.push_back(descriptor);

    for (int row = 0; row < image.height; ++row) {
        int y = rows == TgaRows::TopDown ? row : image.height - 1 - row;
        const uint32_t* line = &image.pixels[size_t(y * image.width)];
        if (!rle) {
            for (int x = 0; x < image.width; ++x)
                PutPixel(&out, line[x], bitsPerPixel);
            continue;
        }
        // Runs of equal pixels become run packets, the rest raw packets;
        // packets do not cross rows.
        int x = 0;
        while (x < image.width) {
            int run = 1;
            while (x + run < image.width && run < 128 && line[x + run] == line[x])
                ++run;
            if (run > 1) {
                out.push_back(uint8_t(0x80 | (run - 1)));
                PutPixel(&out, line[x], bitsPerPixel);
                x += run;
                continue;
            }
            int raw = 1;
            while (x + raw < image.width && raw < 128 &&
                   !(x + raw + 1 < image.width && line[x + raw] == line[x + raw + 1]))
                ++raw;
            out.push_back(uint8_t(raw - 1));
            for (int i = 0; i < raw; ++i)
                PutPixel(&out, line[x + i], bitsPerPixel);
            x += raw;
        }
    }
    return out;
}

std::vector<uint8_t> EncodeBmp24(const TestImage& image)
{
    const uint32_t rowBytes = (uint32_t(image.width) * 3 + 3) & ~3u;
    const uint32_t dataBytes = rowBytes * uint32_t(image.height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(&out, 54 + dataBytes);
    Put32(&out, 0);
    Put32(&out, 54);
    Put32(&out, 40); // BITMAPINFOHEADER
    Put32(&out, uint32_t(image.width));
    Put32(&out, uint32_t(image.height)); // positive: bottom-up
    Put16(&out, 1);
    Put16(&out, 24);
    Put32(&out, 0); // BI_RGB
    Put32(&out, dataBytes);
    Put32(&out, 2835);
    Put32(&out, 2835);
    Put32(&out, 0);
    Put32(&out, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x)
            PutPixel(&out, image.At(x, y), 24);
        for (uint32_t pad = uint32_t(image.width) * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    return out;
}

std::vector<uint8_t> EncodeJpeg(const TestImage& image)
{
    TempDirectory dir;
    std::vector<uint8_t> ppm;
    std::string header = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    ppm.assign(header.begin(), header.end());
    for (uint32_t p : image.pixels) {
        ppm.push_back(uint8_t(p >> 16));
        ppm.push_back(uint8_t(p >> 8));
        ppm.push_back(uint8_t(p));
    }
    if (!WriteFileBytes(dir.File("in.ppm"), ppm))
        return {};
    std::string command = "ffmpeg -nostdin -loglevel error -y -i '" + dir.File("in.ppm") +
                          "' -q:v 1 -pix_fmt yuvj444p '" + dir.File("out.jpg") + "'";
    if (std::system(command.c_str()) != 0)
        return {};
    std::ifstream file(dir.File("out.jpg"), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
