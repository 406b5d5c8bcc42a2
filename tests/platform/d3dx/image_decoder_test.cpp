// Decoding against image files made independently of the decoders: TGA and
// BMP written here from known pixels, JPEG by ffmpeg and libjpeg's encoder,
// PNG by stb's writer.
#include "platform/d3dx/image_decoder.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include <gtest/gtest.h>

#include "tests/support/jpeg_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }
uint32_t Alpha(uint32_t c) { return c >> 24; }
uint32_t Red(uint32_t c) { return (c >> 16) & 0xFF; }
uint32_t Green(uint32_t c) { return (c >> 8) & 0xFF; }
uint32_t Blue(uint32_t c) { return c & 0xFF; }

// A small grid of known pixels, top row first.
struct Grid {
    int width;
    int height;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[y * width + x]; }
};

// 5 x 3 with every pixel different; alpha varies too.
Grid ColourGrid() {
    Grid g{5, 3, {}};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            g.pixels.push_back(Argb(40 * x + 60 * y + 15, 50 * x + 3, 100 * y + 7, 17 * (x + y) + 1));
        }
    }
    return g;
}

// 7 x 4 with long runs of one colour (including runs over row ends) for RLE.
Grid RunGrid() {
    const uint32_t a = Argb(0xFF, 200, 10, 10), b = Argb(0x80, 10, 200, 10), c = Argb(0x20, 10, 10, 200);
    Grid g{7, 4, {}};
    const char* rows[4] = {"aaaaaab", "bbbcabc", "cccccca", "aabbcca"};
    for (const char* row : rows) {
        for (int x = 0; x < 7; ++x) {
            g.pixels.push_back(row[x] == 'a' ? a : row[x] == 'b' ? b : c);
        }
    }
    return g;
}

void Put16(Bytes* out, uint32_t v) {
    out->push_back(v & 0xFF);
    out->push_back((v >> 8) & 0xFF);
}
void Put32(Bytes* out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

::testing::AssertionResult MatchesGrid(const DecodedImage& image, const Grid& grid, bool opaque) {
    if (image.width != static_cast<UINT>(grid.width) || image.height != static_cast<UINT>(grid.height)) {
        return ::testing::AssertionFailure() << "size " << image.width << "x" << image.height;
    }
    for (int y = 0; y < grid.height; ++y) {
        for (int x = 0; x < grid.width; ++x) {
            uint32_t expected = grid.At(x, y) | (opaque ? 0xFF000000u : 0u);
            if (image.At(x, y) != expected) {
                char text[96];
                std::snprintf(text, sizeof text, "pixel (%d,%d) is %08X, expected %08X", x, y, image.At(x, y),
                              expected);
                return ::testing::AssertionFailure() << text;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

DecodedImage Decode(const Bytes& file, DecodeResult expected = DecodeResult::Ok) {
    DecodedImage image;
    EXPECT_EQ(expected, DecodeImage(file.data(), file.size(), &image));
    return image;
}

// ---- TGA writer -------------------------------------------------------------

struct TgaOptions {
    int type = 2;       // 1 colour-mapped, 2 true-colour, 3 grey; +8 for RLE
    int bits = 24;      // pixel bits (index bits when colour-mapped)
    int mapBits = 24;   // colour-map entry bits
    int mapFirst = 0;   // first colour-map index
    int alphaBits = 0;
    bool topDown = false;
    bool rightToLeft = false;
    std::string id;
};

void PutTgaColour(Bytes* out, uint32_t c, int bits) {
    if (bits == 16 || bits == 15) {
        uint32_t v = ((Red(c) >> 3) << 10) | ((Green(c) >> 3) << 5) | (Blue(c) >> 3);
        if (Alpha(c) >= 0x80) {
            v |= 0x8000;
        }
        Put16(out, v);
        return;
    }
    out->push_back(Blue(c));
    out->push_back(Green(c));
    out->push_back(Red(c));
    if (bits == 32) {
        out->push_back(Alpha(c));
    }
}

Bytes EncodeTga(const Grid& grid, const TgaOptions& o) {
    const int base = o.type & 7;
    std::vector<uint32_t> palette;
    std::map<uint32_t, int> indexOf;
    if (base == 1) {
        for (uint32_t c : grid.pixels) {
            if (!indexOf.count(c)) {
                indexOf[c] = static_cast<int>(palette.size());
                palette.push_back(c);
            }
        }
    }
    Bytes out;
    out.push_back(static_cast<uint8_t>(o.id.size()));
    out.push_back(base == 1 ? 1 : 0);
    out.push_back(static_cast<uint8_t>(o.type));
    Put16(&out, base == 1 ? o.mapFirst : 0);
    Put16(&out, static_cast<uint32_t>(palette.size()));
    out.push_back(base == 1 ? o.mapBits : 0);
    Put16(&out, 0);
    Put16(&out, 0);
    Put16(&out, grid.width);
    Put16(&out, grid.height);
    out.push_back(static_cast<uint8_t>(o.bits));
    out.push_back(static_cast<uint8_t>(o.alphaBits | (o.rightToLeft ? 0x10 : 0) | (o.topDown ? 0x20 : 0)));
    out.insert(out.end(), o.id.begin(), o.id.end());
    for (uint32_t c : palette) {
        PutTgaColour(&out, c, o.mapBits);
    }
    // The pixel stream in file order, each pixel as its bytes.
    std::vector<Bytes> stream;
    for (int r = 0; r < grid.height; ++r) {
        int y = o.topDown ? r : grid.height - 1 - r;
        for (int i = 0; i < grid.width; ++i) {
            int x = o.rightToLeft ? grid.width - 1 - i : i;
            uint32_t c = grid.At(x, y);
            Bytes p;
            if (base == 1) {
                if (o.bits == 16) {
                    Put16(&p, indexOf[c] + o.mapFirst);
                } else {
                    p.push_back(static_cast<uint8_t>(indexOf[c] + o.mapFirst));
                }
            } else if (base == 3) {
                p.push_back(Red(c));
                if (o.bits == 16) {
                    p.push_back(Alpha(c));
                }
            } else {
                PutTgaColour(&p, c, o.bits);
            }
            stream.push_back(p);
        }
    }
    if (o.type < 9) {
        for (const Bytes& p : stream) {
            out.insert(out.end(), p.begin(), p.end());
        }
        return out;
    }
    // Greedy RLE: runs of two or more equal pixels, raw packets otherwise;
    // packets run on over row ends.
    size_t i = 0;
    while (i < stream.size()) {
        size_t run = 1;
        while (i + run < stream.size() && run < 128 && stream[i + run] == stream[i]) {
            ++run;
        }
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
            out.insert(out.end(), stream[i].begin(), stream[i].end());
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < stream.size() && raw < 128 &&
               !(i + raw + 1 < stream.size() && stream[i + raw] == stream[i + raw + 1])) {
            ++raw;
        }
        out.push_back(static_cast<uint8_t>(raw - 1));
        for (size_t k = 0; k < raw; ++k) {
            out.insert(out.end(), stream[i + k].begin(), stream[i + k].end());
        }
        i += raw;
    }
    return out;
}

// ---- BMP writer -------------------------------------------------------------

struct BmpOptions {
    int bits = 24;
    bool topDown = false;
    std::vector<uint32_t> palette;  // 0xAARRGGBB; alpha goes in the reserved byte
    std::vector<int> indices;       // per pixel, top row first, for palette images
    bool alphaMaskV5 = false;       // 32-bit: V5 header with bit fields and an alpha mask
    bool coreHeader = false;        // 12-byte OS/2 header
};

Bytes EncodeBmp(const Grid& grid, const BmpOptions& o) {
    const uint32_t headerSize = o.coreHeader ? 12 : (o.alphaMaskV5 ? 124 : 40);
    const uint32_t entrySize = o.coreHeader ? 3 : 4;
    const uint32_t paletteBytes = static_cast<uint32_t>(o.palette.size()) * entrySize;
    const uint32_t stride = (grid.width * o.bits + 31) / 32 * 4;
    const uint32_t offset = 14 + headerSize + paletteBytes;
    Bytes out = {'B', 'M'};
    Put32(&out, offset + stride * grid.height);
    Put32(&out, 0);
    Put32(&out, offset);
    Put32(&out, headerSize);
    if (o.coreHeader) {
        Put16(&out, grid.width);
        Put16(&out, grid.height);
        Put16(&out, 1);
        Put16(&out, o.bits);
    } else {
        Put32(&out, grid.width);
        Put32(&out, o.topDown ? static_cast<uint32_t>(-grid.height) : grid.height);
        Put16(&out, 1);
        Put16(&out, o.bits);
        Put32(&out, o.alphaMaskV5 ? 3 : 0);
        Put32(&out, stride * grid.height);
        Put32(&out, 2835);
        Put32(&out, 2835);
        Put32(&out, static_cast<uint32_t>(o.palette.size()));
        Put32(&out, 0);
        if (o.alphaMaskV5) {
            Put32(&out, 0x00FF0000);
            Put32(&out, 0x0000FF00);
            Put32(&out, 0x000000FF);
            Put32(&out, 0xFF000000);
            out.resize(14 + headerSize, 0); // colour space and the rest left zero
        }
    }
    for (uint32_t c : o.palette) {
        out.push_back(Blue(c));
        out.push_back(Green(c));
        out.push_back(Red(c));
        if (entrySize == 4) {
            out.push_back(Alpha(c));
        }
    }
    for (int r = 0; r < grid.height; ++r) {
        int y = o.topDown ? r : grid.height - 1 - r;
        Bytes row(stride, 0);
        for (int x = 0; x < grid.width; ++x) {
            uint32_t c = grid.At(x, y);
            switch (o.bits) {
            case 1:
            case 4:
            case 8: {
                int index = o.indices[y * grid.width + x];
                int bitPos = x * o.bits;
                row[bitPos / 8] |= static_cast<uint8_t>(index << (8 - o.bits - bitPos % 8));
                break;
            }
            case 16: {
                uint32_t v = ((Red(c) >> 3) << 10) | ((Green(c) >> 3) << 5) | (Blue(c) >> 3);
                row[2 * x] = v & 0xFF;
                row[2 * x + 1] = v >> 8;
                break;
            }
            case 24:
                row[3 * x] = Blue(c);
                row[3 * x + 1] = Green(c);
                row[3 * x + 2] = Red(c);
                break;
            case 32:
                row[4 * x] = Blue(c);
                row[4 * x + 1] = Green(c);
                row[4 * x + 2] = Red(c);
                row[4 * x + 3] = o.alphaMaskV5 ? Alpha(c) : 0;
                break;
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// A palette image: grid pixels from palette entries by index (x + 3y) mod n.
Grid PaletteGrid(int width, int height, const std::vector<uint32_t>& palette, std::vector<int>* indices) {
    Grid g{width, height, {}};
    indices->clear();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int index = (x + 3 * y) % static_cast<int>(palette.size());
            indices->push_back(index);
            g.pixels.push_back(palette[index]);
        }
    }
    return g;
}

std::vector<uint32_t> GreyRamp(int count) {
    std::vector<uint32_t> palette;
    for (int i = 0; i < count; ++i) {
        uint32_t v = count == 1 ? 0 : 255u * i / (count - 1);
        palette.push_back(Argb(0, v, 255 - v, (v * 7) & 0xFF));
    }
    return palette;
}

// ---- JPEG and PNG makers ----------------------------------------------------

std::string TempDir() {
    std::string dir = (std::filesystem::temp_directory_path() / ("zolt_image_decoder_test_" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(dir);
    return dir;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// 32 x 16: a left block of `left` and a right block of `right`, through
// ffmpeg's JPEG encoder at its best quality.
Bytes FfmpegJpeg(uint32_t left, uint32_t right) {
    const std::string dir = TempDir();
    const std::string ppm = dir + "/blocks.ppm", jpg = dir + "/blocks.jpg";
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n32 16\n255\n";
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            uint32_t c = x < 16 ? left : right;
            out.put(static_cast<char>(Red(c))).put(static_cast<char>(Green(c))).put(static_cast<char>(Blue(c)));
        }
    }
    out.close();
    std::remove(jpg.c_str());
    std::string command = "ffmpeg -loglevel error -y -i '" + ppm + "' -pix_fmt yuvj444p -q:v 1 '" + jpg + "'";
    if (std::system(command.c_str()) != 0) {
        return {};
    }
    return ReadFile(jpg);
}

// A JPEG from libjpeg's own encoder: one component (grey) or four (CMYK).
Bytes LibjpegEncode(int width, int height, int components, const std::vector<uint8_t>& samples) {
    JpegEncoding encoding;
    encoding.quality = 100;
    return EncodeJpegSamples(width, height, components, samples, encoding);
}

Bytes StbPng(const Grid& grid, int channels) {
    std::vector<uint8_t> samples;
    for (uint32_t c : grid.pixels) {
        uint8_t rgba[4] = {static_cast<uint8_t>(Red(c)), static_cast<uint8_t>(Green(c)),
                           static_cast<uint8_t>(Blue(c)), static_cast<uint8_t>(Alpha(c))};
        if (channels == 1) {
            samples.push_back(rgba[0]);
        } else {
            samples.insert(samples.end(), rgba, rgba + channels);
        }
    }
    Bytes out;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            Bytes* bytes = static_cast<Bytes*>(context);
            bytes->insert(bytes->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        },
        &out, grid.width, grid.height, channels, samples.data(), grid.width * channels);
    return out;
}

bool Near(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
        if (std::abs(a - e) > tolerance) {
            return false;
        }
    }
    return true;
}

} // namespace

// ---- TGA ----------------------------------------------------------------------

TEST(TgaDecoder, TrueColourInEveryRowAndColumnOrder) {
    const Grid grid = ColourGrid();
    for (bool topDown : {false, true}) {
        for (bool rightToLeft : {false, true}) {
            SCOPED_TRACE(testing::Message() << "topDown " << topDown << " rightToLeft " << rightToLeft);
            TgaOptions o;
            o.topDown = topDown;
            o.rightToLeft = rightToLeft;
            o.id = "made by the test";
            DecodedImage image = Decode(EncodeTga(grid, o));
            EXPECT_EQ(D3DFMT_X8R8G8B8, image.format);
            EXPECT_EQ(ImageFileFormat::Tga, image.fileFormat);
            EXPECT_TRUE(MatchesGrid(image, grid, true));

            o.bits = 32;
            o.alphaBits = 8;
            image = Decode(EncodeTga(grid, o));
            EXPECT_EQ(D3DFMT_A8R8G8B8, image.format);
            EXPECT_TRUE(MatchesGrid(image, grid, false));
        }
    }
}

TEST(TgaDecoder, RunLengthEncodedMatchesUncompressed) {
    const Grid grid = RunGrid();
    for (int bits : {24, 32}) {
        for (bool topDown : {false, true}) {
            TgaOptions o;
            o.type = 10;
            o.bits = bits;
            o.topDown = topDown;
            Bytes file = EncodeTga(grid, o);
            TgaOptions raw = o;
            raw.type = 2;
            ASSERT_LT(file.size(), EncodeTga(grid, raw).size()) << "the writer should have made runs";
            DecodedImage image = Decode(file);
            EXPECT_TRUE(MatchesGrid(image, grid, bits == 24)) << bits << " bits, topDown " << topDown;
        }
    }
}

TEST(TgaDecoder, GreyImagesAreLuminance) {
    Grid grid{4, 2, {}};
    for (uint32_t v : {0u, 50u, 128u, 255u, 1u, 77u, 200u, 254u}) {
        grid.pixels.push_back(Argb(0xFF, v, v, v));
    }
    for (int type : {3, 11}) {
        TgaOptions o;
        o.type = type;
        o.bits = 8;
        DecodedImage image = Decode(EncodeTga(grid, o));
        EXPECT_EQ(D3DFMT_L8, image.format);
        EXPECT_TRUE(MatchesGrid(image, grid, true)) << "type " << type;
    }
}

TEST(TgaDecoder, ColourMappedWithEachEntrySizeAndIndexOffset) {
    const Grid grid = RunGrid();
    for (int type : {1, 9}) {
        for (int mapBits : {24, 32}) {
            TgaOptions o;
            o.type = type;
            o.bits = 8;
            o.mapBits = mapBits;
            o.mapFirst = 5;
            DecodedImage image = Decode(EncodeTga(grid, o));
            EXPECT_EQ(mapBits == 32 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, image.format);
            EXPECT_TRUE(MatchesGrid(image, grid, mapBits == 24)) << "type " << type << " map " << mapBits;
        }
    }
    // 16-bit indices.
    TgaOptions o;
    o.type = 1;
    o.bits = 16;
    o.mapBits = 24;
    o.mapFirst = 300;
    EXPECT_TRUE(MatchesGrid(Decode(EncodeTga(grid, o)), grid, true));
}

TEST(TgaDecoder, SixteenBitColourWidensChannelsAndHonoursTheAlphaBit) {
    Grid grid{3, 1, {Argb(0xFF, 0xF8, 0x00, 0x80), Argb(0x00, 0x00, 0xF8, 0x08), Argb(0xFF, 0xFF, 0xFF, 0xFF)}};
    TgaOptions o;
    o.bits = 16;
    o.alphaBits = 1;
    DecodedImage image = Decode(EncodeTga(grid, o));
    EXPECT_EQ(D3DFMT_A8R8G8B8, image.format);
    // 5-bit 31 -> 255, 16 -> 132, 1 -> 8.
    EXPECT_EQ(Argb(0xFF, 255, 0, 132), image.At(0, 0));
    EXPECT_EQ(Argb(0x00, 0, 255, 8), image.At(1, 0));
    EXPECT_EQ(0xFFFFFFFFu, image.At(2, 0));

    o.alphaBits = 0; // no attribute bits: the top bit is not alpha
    image = Decode(EncodeTga(grid, o));
    EXPECT_EQ(D3DFMT_X8R8G8B8, image.format);
    EXPECT_EQ(Argb(0xFF, 0, 255, 8), image.At(1, 0));
}

TEST(TgaDecoder, OutOfRangeColourIndexReadsOpaqueBlack) {
    const Grid grid = RunGrid();
    TgaOptions o;
    o.type = 1;
    o.bits = 8;
    Bytes file = EncodeTga(grid, o);
    file.back() = 250; // far past the three map entries
    DecodedImage image = Decode(file);
    EXPECT_EQ(0xFF000000u, image.At(6, 0)); // the last stored pixel: top right of a bottom-up file
}

TEST(TgaDecoder, RefusesMalformedHeaders) {
    const Grid grid = ColourGrid();
    const Bytes good = EncodeTga(grid, TgaOptions());
    struct Case {
        const char* what;
        size_t offset;
        uint8_t value;
    };
    for (const Case& c : {Case{"image type 4", 2, 4}, Case{"image type 0 (no image)", 2, 0},
                          Case{"colour map type 2", 1, 2}, Case{"pixel depth 7", 16, 7},
                          Case{"zero width", 12, 0}, Case{"interleaved rows", 17, 0x40}}) {
        SCOPED_TRACE(c.what);
        Bytes file = good;
        file[c.offset] = c.value;
        if (c.offset == 12) {
            file[13] = 0;
        }
        Decode(file, DecodeResult::InvalidData);
    }
    // Colour-mapped without a colour map.
    TgaOptions mapped;
    mapped.type = 1;
    mapped.bits = 8;
    Bytes file = EncodeTga(grid, mapped);
    file[1] = 0;
    Decode(file, DecodeResult::InvalidData);
}

TEST(TgaDecoder, HugeRunLengthImageFromTinyDataFailsBeforeAllocating) {
    // 16384 x 16384 claimed, ten bytes of runs: refused by the size check.
    Bytes file = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x40, 0x00, 0x40, 24, 0};
    for (int i = 0; i < 10; ++i) {
        file.insert(file.end(), {0xFF, 1, 2, 3});
    }
    Decode(file, DecodeResult::InvalidData);
    // And wider than the limit, uncompressed.
    Bytes wide = EncodeTga(ColourGrid(), TgaOptions());
    wide[12] = 0x01;
    wide[13] = 0x40; // 16385
    Decode(wide, DecodeResult::InvalidData);
}

// ---- BMP ----------------------------------------------------------------------

TEST(BmpDecoder, TrueColourRowsBothWays) {
    const Grid grid = ColourGrid(); // 5 wide: 24-bit rows need padding
    for (bool topDown : {false, true}) {
        BmpOptions o;
        o.topDown = topDown;
        DecodedImage image = Decode(EncodeBmp(grid, o));
        EXPECT_EQ(D3DFMT_X8R8G8B8, image.format);
        EXPECT_EQ(ImageFileFormat::Bmp, image.fileFormat);
        EXPECT_TRUE(MatchesGrid(image, grid, true)) << "24-bit, topDown " << topDown;

        o.bits = 32; // the fourth byte is unused: opaque
        image = Decode(EncodeBmp(grid, o));
        EXPECT_EQ(D3DFMT_X8R8G8B8, image.format);
        EXPECT_TRUE(MatchesGrid(image, grid, true)) << "32-bit, topDown " << topDown;
    }
}

TEST(BmpDecoder, ThirtyTwoBitWithAlphaMaskKeepsAlpha) {
    const Grid grid = ColourGrid();
    BmpOptions o;
    o.bits = 32;
    o.alphaMaskV5 = true;
    DecodedImage image = Decode(EncodeBmp(grid, o));
    EXPECT_EQ(D3DFMT_A8R8G8B8, image.format);
    EXPECT_TRUE(MatchesGrid(image, grid, false));
}

TEST(BmpDecoder, SixteenBitDefaultsToFiveBitsPerChannel) {
    Grid grid{2, 1, {Argb(0xFF, 0xF8, 0x80, 0x08), Argb(0xFF, 0, 0xF8, 0)}};
    BmpOptions o;
    o.bits = 16;
    DecodedImage image = Decode(EncodeBmp(grid, o));
    EXPECT_EQ(D3DFMT_X8R8G8B8, image.format);
    EXPECT_EQ(Argb(0xFF, 255, 132, 8), image.At(0, 0));
    EXPECT_EQ(Argb(0xFF, 0, 255, 0), image.At(1, 0));
}

TEST(BmpDecoder, PaletteImagesOfOneFourAndEightBits) {
    // Widths that leave partial bytes and padded rows.
    struct Case {
        int bits, width, colours;
    };
    for (const Case& c : {Case{1, 11, 2}, Case{4, 7, 16}, Case{8, 5, 256}, Case{8, 6, 20}}) {
        for (bool topDown : {false, true}) {
            BmpOptions o;
            o.bits = c.bits;
            o.topDown = topDown;
            o.palette = GreyRamp(c.colours);
            Grid grid = PaletteGrid(c.width, 3, o.palette, &o.indices);
            DecodedImage image = Decode(EncodeBmp(grid, o));
            EXPECT_EQ(D3DFMT_X8R8G8B8, image.format);
            EXPECT_TRUE(MatchesGrid(image, grid, true))
                << c.bits << " bits, " << c.colours << " colours, topDown " << topDown;
        }
    }
}

TEST(BmpDecoder, CoreHeaderWithThreeBytePalette) {
    BmpOptions o;
    o.bits = 8;
    o.coreHeader = true;
    o.palette = GreyRamp(256);
    Grid grid = PaletteGrid(5, 2, o.palette, &o.indices);
    EXPECT_TRUE(MatchesGrid(Decode(EncodeBmp(grid, o)), grid, true));
}

TEST(BmpDecoder, PaletteAlphaIsUsedOnlyWhenTheReservedBytesCarryIt) {
    BmpOptions o;
    o.bits = 8;
    o.palette = {Argb(0xFF, 1, 2, 3), Argb(0x80, 4, 5, 6), Argb(0x00, 7, 8, 9)};
    Grid grid = PaletteGrid(3, 1, o.palette, &o.indices);
    DecodedImage image = Decode(EncodeBmp(grid, o));
    EXPECT_EQ(D3DFMT_A8R8G8B8, image.format);
    EXPECT_TRUE(MatchesGrid(image, grid, false));

    // All reserved bytes zero, as writers leave them: opaque.
    for (uint32_t& c : o.palette) {
        c &= 0x00FFFFFF;
    }
    image = Decode(EncodeBmp(grid, o));
    EXPECT_EQ(D3DFMT_X8R8G8B8, image.format);
    EXPECT_EQ(Argb(0xFF, 4, 5, 6), image.At(1, 0));

    // All 0xFF: opaque too.
    for (uint32_t& c : o.palette) {
        c |= 0xFF000000;
    }
    EXPECT_EQ(D3DFMT_X8R8G8B8, Decode(EncodeBmp(grid, o)).format);
}

TEST(BmpDecoder, RunLengthEncodedEightAndFourBits) {
    // 6 x 3, written by hand. Bottom row first: a run of 4 of index 1, an
    // absolute block 2 3 4 (cut at the row end after two); then a delta of
    // (2, 1) skipping to x 2 of the top row, a run of 2 of index 3; end.
    auto header = [](uint32_t bits, uint32_t compression, const Bytes& data) {
        Bytes out = {'B', 'M'};
        const uint32_t offset = 14 + 40 + 16 * 4;
        Put32(&out, offset + static_cast<uint32_t>(data.size()));
        Put32(&out, 0);
        Put32(&out, offset);
        Put32(&out, 40);
        Put32(&out, 6);
        Put32(&out, 3);
        Put16(&out, 1);
        Put16(&out, bits);
        Put32(&out, compression);
        Put32(&out, static_cast<uint32_t>(data.size()));
        Put32(&out, 0);
        Put32(&out, 0);
        Put32(&out, 16);
        Put32(&out, 0);
        for (uint32_t i = 0; i < 16; ++i) {
            Put32(&out, (i * 16) << 16 | (i * 8) << 8 | i);
        }
        out.insert(out.end(), data.begin(), data.end());
        return out;
    };
    auto colour = [](uint32_t i) { return Argb(0xFF, i * 16, i * 8, i); };
    const Bytes rle8 = {4, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 2, 3, 0, 1};
    const Bytes rle4 = {4, 0x11, 0, 3, 0x23, 0x40, 0, 0, 0, 2, 2, 1, 2, 0x33, 0, 1};
    for (int bits : {8, 4}) {
        DecodedImage image = Decode(header(bits, bits == 8 ? 1 : 2, bits == 8 ? rle8 : rle4));
        ASSERT_EQ(6u, image.width);
        const uint32_t expected[3][6] = {
            {colour(0), colour(0), colour(3), colour(3), colour(0), colour(0)},
            {colour(0), colour(0), colour(0), colour(0), colour(0), colour(0)},
            {colour(1), colour(1), colour(1), colour(1), colour(2), colour(3)},
        };
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 6; ++x) {
                EXPECT_EQ(expected[y][x], image.At(x, y)) << bits << "-bit (" << x << "," << y << ")";
            }
        }
    }
    // A stream that stops without its end code is truncated.
    Decode(header(8, 1, Bytes(rle8.begin(), rle8.begin() + 9)), DecodeResult::InvalidData);
}

TEST(BmpDecoder, RefusesMalformedHeaders) {
    const Grid grid = ColourGrid();
    const Bytes good = EncodeBmp(grid, BmpOptions());
    auto patched = [&](size_t offset, uint32_t value) {
        Bytes file = good;
        file[offset] = value & 0xFF;
        file[offset + 1] = (value >> 8) & 0xFF;
        file[offset + 2] = (value >> 16) & 0xFF;
        file[offset + 3] = value >> 24;
        return file;
    };
    Decode(patched(10, 0xFFFFFFF0u), DecodeResult::InvalidData); // pixels past the end
    Decode(patched(14, 0x7FFFFFFFu), DecodeResult::InvalidData); // header size past the end
    Decode(patched(14, 20), DecodeResult::InvalidData);          // unknown header size
    Decode(patched(18, 0), DecodeResult::InvalidData);           // zero width
    Decode(patched(18, 0xFFFFFFFBu), DecodeResult::InvalidData); // negative width
    Decode(patched(22, 0x80000000u), DecodeResult::InvalidData); // height INT_MIN
    Decode(patched(18, 16385), DecodeResult::InvalidData);       // wider than any texture
    Decode(patched(22, 0x7FFFFFFFu), DecodeResult::InvalidData); // taller than the data
    Decode(patched(30, 4), DecodeResult::InvalidData);           // JPEG-in-BMP compression
    Bytes bits = good;
    bits[28] = 7;
    Decode(bits, DecodeResult::InvalidData);
}

TEST(BmpDecoder, PaletteCountBeyondTheBitDepthIsCapped) {
    BmpOptions o;
    o.bits = 1;
    o.palette = GreyRamp(2);
    Grid grid = PaletteGrid(9, 2, o.palette, &o.indices);
    Bytes file = EncodeBmp(grid, o);
    file[46] = 0xFF; // colours used: 0xFFFF... for a 1-bit image
    file[47] = 0xFF;
    file[48] = 0xFF;
    file[49] = 0xFF;
    EXPECT_TRUE(MatchesGrid(Decode(file), grid, true));
}

// ---- JPEG ---------------------------------------------------------------------

TEST(JpegDecoder, ColourImageFromFfmpegIsOpaqueX8R8G8B8) {
    const uint32_t left = Argb(0xFF, 200, 40, 30), right = Argb(0xFF, 20, 90, 220);
    Bytes file = FfmpegJpeg(left, right);
    if (file.empty()) {
        GTEST_SKIP() << "ffmpeg is not available";
    }
    DecodedImage image = Decode(file);
    EXPECT_EQ(ImageFileFormat::Jpeg, image.fileFormat);
    EXPECT_EQ(D3DFMT_X8R8G8B8, image.format);
    ASSERT_EQ(32u, image.width);
    ASSERT_EQ(16u, image.height);
    // Block centres away from the colour edge survive compression closely.
    for (UINT y = 2; y < 14; ++y) {
        EXPECT_TRUE(Near(image.At(4, y), left, 6)) << std::hex << image.At(4, y);
        EXPECT_TRUE(Near(image.At(27, y), right, 6)) << std::hex << image.At(27, y);
    }
    for (UINT i = 0; i < image.width * image.height; ++i) {
        ASSERT_EQ(0xFFu, image.texels[i] >> 24);
    }
}

TEST(JpegDecoder, GreyscaleImageIsLuminance) {
    std::vector<uint8_t> samples;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            samples.push_back(y < 8 ? 40 : 220);
        }
    }
    DecodedImage image = Decode(LibjpegEncode(16, 16, 1, samples));
    EXPECT_EQ(D3DFMT_L8, image.format);
    EXPECT_TRUE(Near(image.At(3, 3), Argb(0xFF, 40, 40, 40), 2)) << std::hex << image.At(3, 3);
    EXPECT_TRUE(Near(image.At(12, 12), Argb(0xFF, 220, 220, 220), 2)) << std::hex << image.At(12, 12);
}

TEST(JpegDecoder, AdobeCmykBecomesRgb) {
    // libjpeg writes CMYK with an Adobe marker; the samples are stored as
    // given, inverted in Adobe's convention: 255 means no ink.
    std::vector<uint8_t> samples;
    for (int i = 0; i < 16 * 16; ++i) {
        samples.insert(samples.end(), {255, 0, 255, 255}); // full magenta only
    }
    DecodedImage image = Decode(LibjpegEncode(16, 16, 4, samples));
    EXPECT_EQ(D3DFMT_X8R8G8B8, image.format);
    EXPECT_TRUE(Near(image.At(8, 8), Argb(0xFF, 255, 0, 255), 3)) << std::hex << image.At(8, 8);
}

TEST(JpegDecoder, OversizedFrameIsRefused) {
    std::vector<uint8_t> samples(16 * 16, 128);
    Bytes file = LibjpegEncode(16, 16, 1, samples);
    for (size_t i = 0; i + 8 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == 0xC0) { // start of frame: height, width at +5, +7
            file[i + 7] = 0x40;
            file[i + 8] = 0x01; // width 16385
            break;
        }
    }
    Decode(file, DecodeResult::InvalidData);
}

// ---- PNG ----------------------------------------------------------------------

TEST(PngDecoder, FormatFollowsTheChannels) {
    const Grid grid = ColourGrid();
    DecodedImage image = Decode(StbPng(grid, 4));
    EXPECT_EQ(ImageFileFormat::Png, image.fileFormat);
    EXPECT_EQ(D3DFMT_A8R8G8B8, image.format);
    EXPECT_TRUE(MatchesGrid(image, grid, false));

    image = Decode(StbPng(grid, 3));
    EXPECT_EQ(D3DFMT_X8R8G8B8, image.format);
    EXPECT_TRUE(MatchesGrid(image, grid, true));

    Grid grey{2, 1, {Argb(0xFF, 9, 9, 9), Argb(0xFF, 250, 250, 250)}};
    image = Decode(StbPng(grey, 1));
    EXPECT_EQ(D3DFMT_L8, image.format);
    EXPECT_TRUE(MatchesGrid(image, grey, true));
}

TEST(PngDecoder, OversizedHeaderIsRefused) {
    Bytes file = StbPng(ColourGrid(), 3);
    // IHDR width at bytes 16..19, big-endian.
    file[16] = 0;
    file[17] = 0;
    file[18] = 0x40;
    file[19] = 0x01;
    Decode(file, DecodeResult::InvalidData);
}

// ---- Every format ---------------------------------------------------------------

namespace {

struct Sample {
    const char* name;
    Bytes file;
};

std::vector<Sample> SampleFiles() {
    std::vector<Sample> samples;
    const Grid grid = ColourGrid();
    TgaOptions tga;
    samples.push_back({"TGA", EncodeTga(grid, tga)});
    tga.type = 10;
    tga.bits = 32;
    samples.push_back({"TGA RLE", EncodeTga(RunGrid(), tga)});
    TgaOptions mapped;
    mapped.type = 9;
    mapped.bits = 8;
    samples.push_back({"TGA colour-mapped RLE", EncodeTga(RunGrid(), mapped)});
    samples.push_back({"BMP 24", EncodeBmp(grid, BmpOptions())});
    BmpOptions pal;
    pal.bits = 4;
    pal.palette = GreyRamp(16);
    Grid palGrid = PaletteGrid(7, 3, pal.palette, &pal.indices);
    samples.push_back({"BMP 4", EncodeBmp(palGrid, pal)});
    samples.push_back({"PNG", StbPng(grid, 4)});
    std::vector<uint8_t> greySamples(16 * 16);
    for (size_t i = 0; i < greySamples.size(); ++i) {
        greySamples[i] = static_cast<uint8_t>(i * 7);
    }
    samples.push_back({"JPEG grey", LibjpegEncode(16, 16, 1, greySamples)});
    Bytes jpeg = FfmpegJpeg(Argb(0xFF, 1, 2, 3), Argb(0xFF, 250, 100, 7));
    if (!jpeg.empty()) {
        samples.push_back({"JPEG colour", jpeg});
    }
    return samples;
}

} // namespace

TEST(ImageDecoder, EveryTruncationFailsCleanly) {
    // BMP may lose the padding of its last row and PNG the checksum of its
    // end chunk; the others need every byte up to their end marker.
    for (const Sample& sample : SampleFiles()) {
        SCOPED_TRACE(sample.name);
        DecodedImage image;
        ASSERT_EQ(DecodeResult::Ok, DecodeImage(sample.file.data(), sample.file.size(), &image));
        const std::string name = sample.name;
        const size_t allowance = name.rfind("BMP", 0) == 0 ? 3 : name == "PNG" ? 4 : 0;
        for (size_t length = 0; length + allowance < sample.file.size(); ++length) {
            // A fresh copy of exactly `length` bytes, so that ASan sees any over-read.
            Bytes prefix(sample.file.begin(), sample.file.begin() + length);
            DecodeResult result = DecodeImage(prefix.empty() ? nullptr : prefix.data(), prefix.size(), &image);
            ASSERT_NE(DecodeResult::Ok, result) << "length " << length << " of " << sample.file.size();
            ASSERT_EQ(nullptr, image.texels.get());
        }
    }
}

TEST(ImageDecoder, CorruptBytesNeverCrash) {
    // Each byte in turn set to 0x00, 0xFF and flipped: any result is
    // acceptable, reading outside the data or crashing is not.
    for (const Sample& sample : SampleFiles()) {
        SCOPED_TRACE(sample.name);
        for (size_t i = 0; i < sample.file.size(); ++i) {
            for (int mode = 0; mode < 3; ++mode) {
                Bytes file = sample.file;
                file[i] = mode == 0 ? 0x00 : mode == 1 ? 0xFF : static_cast<uint8_t>(~file[i]);
                DecodedImage image;
                if (DecodeImage(file.data(), file.size(), &image) == DecodeResult::Ok) {
                    ASSERT_NE(nullptr, image.texels.get());
                    ASSERT_LE(image.width, kMaxImageSide);
                    ASSERT_LE(image.height, kMaxImageSide);
                }
            }
        }
    }
}

TEST(ImageDecoder, NotAnImageIsInvalidData) {
    const std::string text = "this is a plain text file, not an image";
    DecodedImage image;
    EXPECT_EQ(DecodeResult::InvalidData, DecodeImage(text.data(), text.size(), &image));
    EXPECT_EQ(DecodeResult::InvalidData, DecodeImage(nullptr, 0, &image));
    const uint8_t bm[2] = {'B', 'M'};
    EXPECT_EQ(DecodeResult::InvalidData, DecodeImage(bm, 2, &image));
}
