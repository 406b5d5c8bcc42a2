// JPEG through libjpeg(-turbo), reading only the given bytes. Library errors
// come back through a setjmp error manager instead of ending the program;
// a stream that ends before its image does is refused, not grey-filled.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/d3dx/image_format_decoders.h"

namespace {

struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    bool outOfMemory;
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo) {
    JpegErrorManager* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    err->outOfMemory = (cinfo->err->msg_code == JERR_OUT_OF_MEMORY);
    std::longjmp(err->jump, 1);
}

// Warnings (level -1) are recoverable, except running out of data.
void OnJpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        OnJpegError(cinfo);
    }
}

void OnJpegOutput(j_common_ptr) {}

// Everything the decode touches after setjmp lives here, so nothing in the
// decoding frame changes between setjmp and a longjmp back into it.
struct JpegJob {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
};

void Convert(const JpegJob& job, const JSAMPLE* row, uint32_t* dst, UINT width) {
    const jpeg_decompress_struct& cinfo = job.cinfo;
    if (cinfo.out_color_space == JCS_GRAYSCALE) {
        for (UINT x = 0; x < width; ++x) {
            dst[x] = PackArgb(0xFF, row[x], row[x], row[x]);
        }
        return;
    }
    // CMYK and YCCK come out as CMYK; Adobe writers store the inks inverted.
    const bool inverted = cinfo.saw_Adobe_marker;
    for (UINT x = 0; x < width; ++x, row += 4) {
        uint32_t c = row[0], m = row[1], y = row[2], k = row[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        dst[x] = PackArgb(0xFF, (c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
    }
}

// 64 pixels per bit of coded data.
constexpr uint64_t kPixelsPerByte = 64 * 8;

DecodeResult Run(JpegJob* job, const uint8_t* data, size_t size, DecodedImage* image) {
    jpeg_decompress_struct& cinfo = job->cinfo;
    if (setjmp(job->err.jump) != 0) {
        return job->err.outOfMemory ? DecodeResult::OutOfMemory : DecodeResult::InvalidData;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        return DecodeResult::InvalidData;
    }
    if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > kMaxImageSide ||
        cinfo.image_height > kMaxImageSide) {
        return DecodeResult::InvalidData;
    }
    // Every 8 x 8 block costs the coded data at least one bit, and data that
    // runs out fails the decode, so a header promising more pixels than that
    // is refused before the texels (and libjpeg's buffers) are allocated.
    if (static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height > static_cast<uint64_t>(size) * kPixelsPerByte) {
        return DecodeResult::InvalidData;
    }
    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    if (grey) {
        cinfo.out_color_space = JCS_GRAYSCALE;
    } else if (cmyk) {
        cinfo.out_color_space = JCS_CMYK;
    } else {
        // Four bytes per pixel with a 0xFF filler, laid out so that a
        // native 32-bit read gives 0xAARRGGBB.
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        cinfo.out_color_space = JCS_EXT_BGRX;
#else
        cinfo.out_color_space = JCS_EXT_XRGB;
#endif
    }
    jpeg_start_decompress(&cinfo);

    DecodeResult allocated = AllocateTexels(image, cinfo.output_width, cinfo.output_height);
    if (allocated != DecodeResult::Ok) {
        return allocated;
    }
    image->format = grey ? D3DFMT_L8 : D3DFMT_X8R8G8B8;

    JSAMPARRAY buffer = nullptr;
    if (grey || cmyk) {
        buffer = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                            cinfo.output_width * cinfo.output_components, 1);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        uint32_t* dst = image->texels.get() + static_cast<size_t>(cinfo.output_scanline) * image->width;
        if (buffer == nullptr) {
            JSAMPROW row = reinterpret_cast<JSAMPROW>(dst);
            jpeg_read_scanlines(&cinfo, &row, 1);
        } else {
            jpeg_read_scanlines(&cinfo, buffer, 1);
            Convert(*job, buffer[0], dst, image->width);
        }
    }
    jpeg_finish_decompress(&cinfo);
    return DecodeResult::Ok;
}

} // namespace

DecodeResult DecodeJpeg(const uint8_t* data, size_t size, DecodedImage* image) {
    JpegJob job;
    job.cinfo.err = jpeg_std_error(&job.err.base);
    job.err.base.error_exit = OnJpegError;
    job.err.base.emit_message = OnJpegMessage;
    job.err.base.output_message = OnJpegOutput;
    job.err.outOfMemory = false;
    DecodeResult result = Run(&job, data, size, image);
    jpeg_destroy_decompress(&job.cinfo);
    return result;
}
