// Image files whose headers promise far more pixels than their data can
// hold, found by fuzzing. Each must be refused as invalid before the texels
// (or the PNG library's buffers) are allocated: the decode runs in a child
// whose address space is capped, where such an allocation fails and would
// be reported as out of memory instead.
#include "platform/image_decoder.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/jpeg_encoder.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZOLT_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOLT_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

using Bytes = std::vector<uint8_t>;

// The address space the process maps now, in bytes.
uint64_t MappedBytes()
{
    unsigned long long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm != nullptr) {
        if (std::fscanf(statm, "%llu", &pages) != 1) {
            pages = 0;
        }
        std::fclose(statm);
    }
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

// The decode's result, from a child allowed 128 MB more address space than
// it starts with. AddressSanitizer maps terabytes of shadow memory, so there
// the decode runs uncapped (its allocator still reports absurd requests).
DecodeResult DecodeWithCappedMemory(const Bytes& bytes)
{
#ifdef ZOLT_ADDRESS_SANITIZER
    DecodedImage image;
    return DecodeImage(bytes.data(), bytes.size(), &image);
#else
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const rlim_t cap = MappedBytes() + (128ull << 20);
        const rlimit limit{cap, cap};
        setrlimit(RLIMIT_AS, &limit);
        DecodedImage image;
        _exit(static_cast<int>(DecodeImage(bytes.data(), bytes.size(), &image)));
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        ADD_FAILURE() << "the decoding child did not finish";
        return DecodeResult::Ok;
    }
    return static_cast<DecodeResult>(WEXITSTATUS(status));
#endif
}

// An 8 x 8 grey JPEG whose frame header is then made to claim 16384 x 16384.
Bytes JpegClaimingTheLargestSide()
{
    Bytes jpeg = EncodeJpegSamples(8, 8, 1, Bytes(64, 0x80));
    for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) { // frame header: height, width at +5, +7
            jpeg[i + 5] = 0x40;
            jpeg[i + 6] = 0x00;
            jpeg[i + 7] = 0x40;
            jpeg[i + 8] = 0x00;
        }
    }
    return jpeg;
}

TEST(ImageAllocation, HeadersThatOverstateTheDataAreRefusedBeforeAllocating)
{
    // PNG 8 x 8 whose image-data chunk states a length of 1,056,964,646.
    const Bytes pngChunkLength = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
        0x00, 0x08, 0x00, 0x00, 0x00, 0x08, 0x08, 0x04, 0x00, 0x00, 0x00, 0x6e, 0x06, 0x76, 0x00, 0x3f, 0x00, 0x00,
        0x26, 0x49, 0x44, 0x41, 0x54, 0x78, 0x5e, 0x63, 0x64, 0xd7, 0x60, 0x30, 0x02, 0xc3, 0x2c, 0x08, 0xcd, 0x22,
        0x8b, 0xc2, 0x65, 0xc8, 0x82, 0x08, 0x64, 0x21, 0x54, 0x81, 0x04, 0xb2, 0x90, 0x35, 0xb1, 0xc8, 0x66, 0x51,
        0x6c, 0x06, 0x00, 0x57, 0x02, 0x10, 0xae, 0xba, 0xfc, 0x9d, 0xdf, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e,
        0x44, 0xae, 0x42, 0x60, 0x82};
    // BMP 14336 x 7936 at 16 bits with alpha bit fields, 4 bytes of pixels.
    const Bytes bmpUncompressed = {
        0x42, 0x4d, 0xc6, 0x00, 0x00, 0x0a, 0x00, 0x0d, 0x00, 0x06, 0x46, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00,
        0x00, 0x38, 0x00, 0x00, 0x00, 0x1f, 0x00, 0x00, 0x00, 0xff, 0x10, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x80, 0x00, 0x00, 0x00, 0x00, 0x25, 0x47, 0x0d, 0x0a, 0x1a, 0xfe, 0xff, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff,
        0xff, 0xff, 0xff, 0x29, 0x00, 0x00, 0x0d, 0x49, 0xea, 0x48, 0xff, 0xff, 0xff, 0xff, 0x44, 0x52, 0x00, 0x00,
        0xff, 0x00};
    EXPECT_EQ(DecodeWithCappedMemory(pngChunkLength), DecodeResult::InvalidData);
    EXPECT_EQ(DecodeWithCappedMemory(bmpUncompressed), DecodeResult::InvalidData);
    EXPECT_EQ(DecodeWithCappedMemory(JpegClaimingTheLargestSide()), DecodeResult::InvalidData);
}

} // namespace
