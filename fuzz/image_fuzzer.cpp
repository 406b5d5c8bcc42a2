// Texture images (JPEG, TGA, BMP, PNG) through the loader's decode step,
// which picks the format by the file's signature and needs no device.
#include <cstddef>
#include <cstdint>

#include "platform/d3dx/image_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodedImage image;
    if (DecodeImage(data, size, &image) == DecodeResult::Ok) {
        // Touch the first and last texels so that a short allocation shows.
        volatile uint32_t sink = image.At(0, 0) ^ image.At(image.width - 1, image.height - 1);
        (void)sink;
    }
    return 0;
}
