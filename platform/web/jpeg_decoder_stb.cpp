// JPEG through stb_image for the browser build, with the same results as
// the desktop decoder: colour -> X8R8G8B8, greyscale -> L8, the same size
// limits, and nothing read outside the given bytes.
#include <climits>

#include <stb/stb_image.h>

#include "platform/d3dx/image_format_decoders.h"

namespace {

// 64 pixels per bit of coded data.
constexpr uint64_t kPixelsPerByte = 64 * 8;

} // namespace

DecodeResult DecodeJpeg(const uint8_t* data, size_t size, DecodedImage* image)
{
    if (data == nullptr || size == 0 || size > static_cast<size_t>(INT_MAX)) {
        return DecodeResult::InvalidData;
    }
    const int length = static_cast<int>(size);
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels) || width <= 0 || height <= 0 ||
        static_cast<UINT>(width) > kMaxImageSide || static_cast<UINT>(height) > kMaxImageSide) {
        return DecodeResult::InvalidData;
    }
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > static_cast<uint64_t>(size) * kPixelsPerByte) {
        return DecodeResult::InvalidData;
    }
    const bool grey = channels == 1;
    stbi_uc* pixels = stbi_load_from_memory(data, length, &width, &height, &channels, grey ? 1 : 3);
    if (pixels == nullptr) {
        return DecodeResult::InvalidData;
    }
    const DecodeResult allocated = AllocateTexels(image, static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    if (allocated != DecodeResult::Ok) {
        stbi_image_free(pixels);
        return allocated;
    }
    image->format = grey ? D3DFMT_L8 : D3DFMT_X8R8G8B8;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < count; ++i) {
        const stbi_uc* p = pixels + i * (grey ? 1 : 3);
        image->texels[i] = grey ? PackArgb(0xFF, p[0], p[0], p[0]) : PackArgb(0xFF, p[0], p[1], p[2]);
    }
    stbi_image_free(pixels);
    return DecodeResult::Ok;
}
