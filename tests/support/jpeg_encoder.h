// JPEG files made by libjpeg's own encoder, for the decoder's tests and the
// fuzzing seeds.
#pragma once

#include <cstdint>
#include <vector>

struct JpegEncoding {
    int quality = 75;
    bool progressive = false;
    // Colour only: every component at full resolution instead of 4:2:0.
    bool fullChroma = false;
};

// width x height samples of 1 (grey), 3 (RGB) or 4 (CMYK, written with an
// Adobe marker as Adobe's tools do) components, rows top first.
std::vector<uint8_t> EncodeJpegSamples(int width, int height, int components, const std::vector<uint8_t>& samples,
                                       const JpegEncoding& encoding = {});
