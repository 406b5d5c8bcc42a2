#include "platform/d3dx/image_decoder.h"

#include <cstring>
#include <new>

#include "platform/d3dx/image_format_decoders.h"

DecodeResult AllocateTexels(DecodedImage* image, uint64_t width, uint64_t height) {
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) {
        return DecodeResult::InvalidData;
    }
    image->texels.reset(new (std::nothrow) uint32_t[width * height]);
    if (!image->texels) {
        return DecodeResult::OutOfMemory;
    }
    image->width = static_cast<UINT>(width);
    image->height = static_cast<UINT>(height);
    return DecodeResult::Ok;
}

DecodeResult DecodeImage(const void* data, size_t size, DecodedImage* image) {
    *image = DecodedImage();
    if (data == nullptr || size == 0) {
        return DecodeResult::InvalidData;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

    DecodeResult result;
    // TGA files carry no signature, so a file that is none of the others is
    // tried as TGA, whose header checks reject most other data.
    if (size >= 8 && std::memcmp(bytes, kPngSignature, 8) == 0) {
        image->fileFormat = ImageFileFormat::Png;
        result = DecodePng(bytes, size, image);
    } else if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        image->fileFormat = ImageFileFormat::Bmp;
        result = DecodeBmp(bytes, size, image);
    } else if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
        image->fileFormat = ImageFileFormat::Jpeg;
        result = DecodeJpeg(bytes, size, image);
    } else {
        image->fileFormat = ImageFileFormat::Tga;
        result = DecodeTga(bytes, size, image);
    }
    if (result != DecodeResult::Ok) {
        *image = DecodedImage();
    }
    return result;
}
