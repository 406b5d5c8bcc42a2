// PNG through stb_image, reading only the given bytes.
#include <climits>
#include <cstring>

#include <stb/stb_image.h>

#include "platform/d3dx/image_format_decoders.h"

DecodeResult DecodePng(const uint8_t* data, size_t size, DecodedImage* image) {
    if (size > static_cast<size_t>(INT_MAX)) {
        return DecodeResult::InvalidData;
    }
    const int length = static_cast<int>(size);
    int width = 0, height = 0, channels = 0;
    // The header alone tells the size, so absurd images fail before stb
    // allocates anything for them.
    if (!stbi_info_from_memory(data, length, &width, &height, &channels) || width <= 0 ||
        height <= 0 || static_cast<UINT>(width) > kMaxImageSide ||
        static_cast<UINT>(height) > kMaxImageSide) {
        return DecodeResult::InvalidData;
    }
    stbi_uc* rgba = stbi_load_from_memory(data, length, &width, &height, &channels, 4);
    if (rgba == nullptr) {
        const char* reason = stbi_failure_reason();
        return (reason != nullptr && std::strcmp(reason, "outofmem") == 0) ? DecodeResult::OutOfMemory
                                                                            : DecodeResult::InvalidData;
    }
    DecodeResult allocated = AllocateTexels(image, static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    if (allocated != DecodeResult::Ok) {
        stbi_image_free(rgba);
        return allocated;
    }
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < count; ++i) {
        const stbi_uc* p = rgba + 4 * i;
        image->texels[i] = PackArgb(p[3], p[0], p[1], p[2]);
    }
    stbi_image_free(rgba);
    switch (channels) {
    case 1:
        image->format = D3DFMT_L8;
        break;
    case 3:
        image->format = D3DFMT_X8R8G8B8;
        break;
    default:
        image->format = D3DFMT_A8R8G8B8;
        break;
    }
    return DecodeResult::Ok;
}
