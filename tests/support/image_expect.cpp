#include "tests/support/image_expect.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

std::string FormatArgb(uint32_t argb) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", argb);
    return text;
}

int ChannelDifference(uint32_t a, uint32_t b, bool withAlpha) {
    int worst = 0;
    for (int shift = 0; shift < (withAlpha ? 32 : 24); shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        worst = std::max(worst, std::abs(ca - cb));
    }
    return worst;
}

::testing::AssertionResult PixelNear(uint32_t actual, uint32_t expected, int tolerance, bool withAlpha) {
    if (ChannelDifference(actual, expected, withAlpha) <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << FormatArgb(actual) << ", expected " << FormatArgb(expected)
                                         << " (tolerance " << tolerance << ")";
}

::testing::AssertionResult ImageNear(const PixelImage& actual, const PixelImage& expected, int tolerance,
                                     const std::vector<uint8_t>* care) {
    if (actual.width != expected.width || actual.height != expected.height) {
        return ::testing::AssertionFailure() << "image is " << actual.width << "x" << actual.height << ", expected "
                                             << expected.width << "x" << expected.height;
    }
    int mismatches = 0;
    std::string detail;
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            const size_t i = static_cast<size_t>(y) * actual.width + x;
            if (care && (*care)[i] == 0) continue;
            if (ChannelDifference(actual.pixels[i], expected.pixels[i]) <= tolerance) continue;
            if (++mismatches <= 8) {
                detail += "\n  (" + std::to_string(x) + ", " + std::to_string(y) + "): got " +
                          FormatArgb(actual.pixels[i]) + ", expected " + FormatArgb(expected.pixels[i]);
            }
        }
    }
    if (mismatches == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << mismatches << " pixel(s) differ by more than " << tolerance << detail;
}
