// Pixel and image comparisons for the image tests, with messages that name
// the first differing pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// An image of 0xAARRGGBB pixels, top row first.
struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    PixelImage() = default;
    PixelImage(int w, int h, uint32_t fill) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    void Set(int x, int y, uint32_t argb) { pixels[static_cast<size_t>(y) * width + x] = argb; }
};

// "0xAARRGGBB".
std::string FormatArgb(uint32_t argb);

// Largest difference of the red, green and blue bytes (and alpha when asked).
int ChannelDifference(uint32_t a, uint32_t b, bool withAlpha = false);

::testing::AssertionResult PixelNear(uint32_t actual, uint32_t expected, int tolerance, bool withAlpha = false);

// Every pixel within tolerance per channel; where care is given, only pixels
// whose care byte is not 0 are compared. Sizes must agree.
::testing::AssertionResult ImageNear(const PixelImage& actual, const PixelImage& expected, int tolerance,
                                     const std::vector<uint8_t>* care = nullptr);
