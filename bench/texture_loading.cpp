// Load-time cost of textures: decoding a 512 x 512 JPEG and TGA, and
// creating a texture with its full mip chain from a JPEG in memory.
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/d3dx/d3dx_texture.h"
#include "platform/d3dx/image_decoder.h"
#include "tests/support/jpeg_encoder.h"
#include "tests/support/recording_texture_device.h"

namespace {

constexpr int kSide = 512;

uint8_t PatternByte(int x, int y, int channel) { return static_cast<uint8_t>((x * (channel + 1) + y * 3) ^ (x * y >> 4)); }

std::vector<uint8_t> MakeJpeg() {
    std::vector<uint8_t> samples;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            for (int c = 0; c < 3; ++c) {
                samples.push_back(PatternByte(x, y, c));
            }
        }
    }
    JpegEncoding encoding;
    encoding.quality = 90;
    return EncodeJpegSamples(kSide, kSide, 3, samples, encoding);
}

// Uncompressed 32-bit, top-down.
std::vector<uint8_t> MakeTga() {
    std::vector<uint8_t> file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 32, 0x28};
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            for (int c = 0; c < 4; ++c) {
                file.push_back(PatternByte(x, y, c));
            }
        }
    }
    return file;
}

void BM_DecodeJpeg512(benchmark::State& state) {
    const std::vector<uint8_t> file = MakeJpeg();
    for (auto _ : state) {
        DecodedImage image;
        DecodeImage(file.data(), file.size(), &image);
        benchmark::DoNotOptimize(image.texels.get());
    }
}
BENCHMARK(BM_DecodeJpeg512)->Unit(benchmark::kMillisecond);

void BM_DecodeTga512(benchmark::State& state) {
    const std::vector<uint8_t> file = MakeTga();
    for (auto _ : state) {
        DecodedImage image;
        DecodeImage(file.data(), file.size(), &image);
        benchmark::DoNotOptimize(image.texels.get());
    }
}
BENCHMARK(BM_DecodeTga512)->Unit(benchmark::kMillisecond);

void BM_CreateMippedTextureFromJpeg512(benchmark::State& state) {
    const std::vector<uint8_t> file = MakeJpeg();
    RecordingTextureDevice device;
    for (auto _ : state) {
        IDirect3DTexture8* texture = nullptr;
        D3DXCreateTextureFromFileInMemory(&device, file.data(), static_cast<UINT>(file.size()), &texture);
        if (texture != nullptr) {
            texture->Release();
        }
    }
}
BENCHMARK(BM_CreateMippedTextureFromJpeg512)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
