// Small image files with known pixels, written here byte by byte (TGA, BMP)
// or by ffmpeg (JPEG), for the texture-loading tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Pixels are 0xAARRGGBB, top row first.
struct TestImage {
    int width;
    int height;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// A width x height image whose every pixel differs, with varied alpha.
TestImage PatternImage(int width, int height);
// Four solid quadrants (red, green, blue, white), each 16 x 16 pixels: colours
// that survive JPEG compression almost unchanged.
TestImage QuadrantImage();

enum class TgaRows { BottomUp, TopDown };
// Truevision TGA, true colour: 24 bits (alpha dropped) or 32 bits,
// uncompressed (type 2) or run-length encoded (type 10).
std::vector<uint8_t> EncodeTga(const TestImage& image, int bitsPerPixel, bool rle, TgaRows rows);
// Windows BMP, 24 bits, bottom-up rows padded to 4 bytes.
std::vector<uint8_t> EncodeBmp24(const TestImage& image);
// JPEG made by ffmpeg from the image's RGB; empty when ffmpeg fails.
std::vector<uint8_t> EncodeJpeg(const TestImage& image);
