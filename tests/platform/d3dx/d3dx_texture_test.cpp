// Texture creation from image files: sizes, the mip chain, unfiltered exact
// pixels, failure results, the disk and resource variants, and the font
// bitmap compiled into the program.
#include "platform/d3dx/d3dx_texture.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/program_resources.h"
#include "tests/support/headless_device.h"
#include "tests/support/recording_texture_device.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

// A top-down TGA of the given pixels: 32-bit with alpha, 24-bit, or 8-bit
// grey (taking the blue byte).
Bytes Tga(int width, int height, const std::vector<uint32_t>& pixels, int bits) {
    const uint8_t header[18] = {0, 0, static_cast<uint8_t>(bits == 8 ? 3 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
                                static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8),
                                static_cast<uint8_t>(bits), static_cast<uint8_t>(0x20 | (bits == 32 ? 8 : 0))};
    Bytes out(header, header + sizeof header);
    for (uint32_t c : pixels) {
        out.push_back(c & 0xFF);
        if (bits >= 24) {
            out.push_back((c >> 8) & 0xFF);
            out.push_back((c >> 16) & 0xFF);
        }
        if (bits == 32) {
            out.push_back(c >> 24);
        }
    }
    return out;
}

std::vector<uint32_t> Pattern(int width, int height) {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels.push_back(Argb(255 - 8 * (x + y), 16 * x, 20 * y, (37 * x + 11 * y) & 0xFF));
        }
    }
    return pixels;
}

struct TextureRef {
    IDirect3DTexture8* texture = nullptr;
    ~TextureRef() {
        if (texture != nullptr) {
            texture->Release();
        }
    }
    RecordedTexture* Recorded() const { return static_cast<RecordedTexture*>(texture); }
};

HRESULT LoadUnfiltered(RecordingTextureDevice* device, const Bytes& file, IDirect3DTexture8** texture,
                       D3DXIMAGE_INFO* info = nullptr) {
    return D3DXCreateTextureFromFileInMemoryEx(device, file.data(), static_cast<UINT>(file.size()), 0, 0, 1, 0,
                                               D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                               D3DX_FILTER_NONE, 0, info, nullptr, texture);
}

} // namespace

TEST(D3DXCreateTextureFromFileInMemory, FullMipChainOfBoxAveragesAtTheImagesOwnSize) {
    // 4 x 2, every 2 x 2 block chosen so that its average is exact.
    const std::vector<uint32_t> pixels = {
        Argb(255, 0, 100, 4),   Argb(255, 40, 100, 8),  Argb(251, 200, 0, 0), Argb(255, 100, 0, 0),
        Argb(255, 80, 100, 12), Argb(253, 120, 100, 0), Argb(255, 0, 0, 0),   Argb(255, 100, 0, 4),
    };
    RecordingTextureDevice device;
    TextureRef ref;
    Bytes file = Tga(4, 2, pixels, 32);
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileInMemory(&device, file.data(), static_cast<UINT>(file.size()),
                                                        &ref.texture));
    RecordedTexture* t = ref.Recorded();
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(D3DFMT_A8R8G8B8, t->Format());
    EXPECT_EQ(D3DPOOL_MANAGED, t->Pool());
    ASSERT_EQ(3u, t->GetLevelCount()); // 4x2, 2x1, 1x1

    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(pixels[y * 4 + x], t->Texel(0, x, y)) << x << "," << y;
        }
    }
    // Alpha (255+255+255+253)/4 = 254.5 rounds to 255; colour averages exact.
    EXPECT_EQ(Argb(255, 60, 100, 6), t->Texel(1, 0, 0));
    // (251+255+255+255)/4 = 254; red (200+100+0+100)/4 = 100; blue 4/4 = 1.
    EXPECT_EQ(Argb(254, 100, 0, 1), t->Texel(1, 1, 0));
    // The last level averages the two texels of a 2 x 1 level along x only:
    // alpha (255+254)/2 = 254.5 -> 255, red 80, green 50, blue 3.5 -> 4.
    EXPECT_EQ(Argb(255, 80, 50, 4), t->Texel(2, 0, 0));
    D3DSURFACE_DESC desc;
    ASSERT_EQ(D3D_OK, t->GetLevelDesc(1, &desc));
    EXPECT_EQ(2u, desc.Width);
    EXPECT_EQ(1u, desc.Height);
}

TEST(D3DXCreateTextureFromFileInMemory, NonPowerOfTwoSizeIsKept) {
    RecordingTextureDevice device;
    TextureRef ref;
    Bytes file = Tga(6, 3, Pattern(6, 3), 24);
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileInMemory(&device, file.data(), static_cast<UINT>(file.size()),
                                                        &ref.texture));
    RecordedTexture* t = ref.Recorded();
    EXPECT_EQ(D3DFMT_X8R8G8B8, t->Format());
    ASSERT_EQ(3u, t->GetLevelCount()); // 6x3, 3x1, 1x1
    EXPECT_EQ(6u, t->LevelAt(0).width);
    EXPECT_EQ(3u, t->LevelAt(0).height);
    EXPECT_EQ(3u, t->LevelAt(1).width);
    EXPECT_EQ(1u, t->LevelAt(1).height);
    // Every written texel of every level is opaque (no marker bytes left).
    for (UINT level = 0; level < 3; ++level) {
        for (UINT y = 0; y < t->LevelAt(level).height; ++y) {
            for (UINT x = 0; x < t->LevelAt(level).width; ++x) {
                EXPECT_EQ(0xFFu, t->Texel(level, x, y) >> 24) << level << ":" << x << "," << y;
            }
        }
    }
}

TEST(D3DXCreateTextureFromFileInMemoryEx, UnfilteredLoadIsOneLevelOfExactPixels) {
    const std::vector<uint32_t> pixels = Pattern(7, 5);
    RecordingTextureDevice device;
    TextureRef ref;
    D3DXIMAGE_INFO info = {};
    ASSERT_EQ(D3D_OK, LoadUnfiltered(&device, Tga(7, 5, pixels, 32), &ref.texture, &info));
    RecordedTexture* t = ref.Recorded();
    EXPECT_EQ(1u, device.lastRequestedLevels);
    ASSERT_EQ(1u, t->GetLevelCount());
    EXPECT_EQ(D3DFMT_A8R8G8B8, t->Format());
    EXPECT_EQ(D3DPOOL_MANAGED, t->Pool());
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            ASSERT_EQ(pixels[y * 7 + x], t->Texel(0, x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(7u, info.Width);
    EXPECT_EQ(5u, info.Height);
    EXPECT_EQ(1u, info.Depth);
    EXPECT_EQ(D3DFMT_A8R8G8B8, info.Format);
    EXPECT_EQ(D3DXIFF_TGA, info.ImageFileFormat);
}

TEST(D3DXCreateTextureFromFileInMemoryEx, GreyImageMakesAnL8Texture) {
    const std::vector<uint32_t> greys = {0, 17, 128, 255, 3, 99};
    RecordingTextureDevice device;
    TextureRef ref;
    ASSERT_EQ(D3D_OK, LoadUnfiltered(&device, Tga(3, 2, greys, 8), &ref.texture));
    RecordedTexture* t = ref.Recorded();
    EXPECT_EQ(D3DFMT_L8, t->Format());
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(greys[i], t->Texel(0, i % 3, i / 3));
    }
}

TEST(D3DXCreateTextureFromFileInMemoryEx, RequestedSizeFormatAndColourKey) {
    const std::vector<uint32_t> pixels = {Argb(255, 10, 20, 30), Argb(255, 255, 0, 255), Argb(255, 90, 80, 70),
                                          Argb(255, 1, 2, 3)};
    const Bytes file = Tga(2, 2, pixels, 24);
    const UINT size = static_cast<UINT>(file.size());
    RecordingTextureDevice device;
    {
        // No filter: the image's pixels stay where they are; the rest is
        // transparent black.
        TextureRef ref;
        ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileInMemoryEx(&device, file.data(), size, 3, 3, 1, 0,
                                                              D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                                              D3DX_FILTER_NONE, 0, nullptr, nullptr, &ref.texture));
        RecordedTexture* t = ref.Recorded();
        EXPECT_EQ(pixels[3], t->Texel(0, 1, 1));
        EXPECT_EQ(0u, t->Texel(0, 2, 0));
        EXPECT_EQ(0u, t->Texel(0, 0, 2));
    }
    {
        // Point filter doubling: each pixel becomes a 2 x 2 block.
        TextureRef ref;
        ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileInMemoryEx(&device, file.data(), size, 4, 4, 1, 0,
                                                              D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_POINT,
                                                              D3DX_FILTER_NONE, 0, nullptr, nullptr, &ref.texture));
        RecordedTexture* t = ref.Recorded();
        EXPECT_EQ(pixels[1], t->Texel(0, 3, 1));
        EXPECT_EQ(pixels[2], t->Texel(0, 0, 3));
    }
    {
        // A colour key turns matching texels transparent and gives the
        // texture alpha.
        TextureRef ref;
        ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileInMemoryEx(&device, file.data(), size, 0, 0, 1, 0,
                                                              D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                                              D3DX_FILTER_NONE, 0xFFFF00FF, nullptr, nullptr,
                                                              &ref.texture));
        RecordedTexture* t = ref.Recorded();
        EXPECT_EQ(D3DFMT_A8R8G8B8, t->Format());
        EXPECT_EQ(0u, t->Texel(0, 1, 0));
        EXPECT_EQ(pixels[0], t->Texel(0, 0, 0));
    }
    {
        // An explicit luminance format from a colour image.
        TextureRef ref;
        ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileInMemoryEx(&device, file.data(), size, 0, 0, 1, 0, D3DFMT_L8,
                                                              D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0,
                                                              nullptr, nullptr, &ref.texture));
        RecordedTexture* t = ref.Recorded();
        EXPECT_EQ(D3DFMT_L8, t->Format());
        // Luma weights 0.299, 0.587, 0.114.
        EXPECT_NEAR(18, static_cast<int>(t->Texel(0, 0, 0)), 1); // (10, 20, 30): 18.2
        EXPECT_NEAR(82, static_cast<int>(t->Texel(0, 0, 1)), 1); // (90, 80, 70): 81.8
    }
}

TEST(D3DXCreateTextureFromFileInMemoryEx, FailuresReturnNoTextureAndLeakNothing) {
    RecordingTextureDevice device;
    const Bytes good = Tga(4, 4, Pattern(4, 4), 32);
    const Bytes text = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(0x1);

    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateTextureFromFileInMemory(&device, text.data(), 12, &texture));
    EXPECT_EQ(nullptr, texture);
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileInMemory(&device, good.data(), 0, &texture));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileInMemory(&device, nullptr, 10, &texture));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              D3DXCreateTextureFromFileInMemory(nullptr, good.data(), static_cast<UINT>(good.size()), &texture));
    EXPECT_EQ(nullptr, texture);
    EXPECT_EQ(D3DERR_INVALIDCALL,
              D3DXCreateTextureFromFileInMemory(&device, good.data(), static_cast<UINT>(good.size()), nullptr));

    device.failCreateTexture = true;
    EXPECT_NE(D3D_OK,
              D3DXCreateTextureFromFileInMemory(&device, good.data(), static_cast<UINT>(good.size()), &texture));
    EXPECT_EQ(nullptr, texture);
    device.failCreateTexture = false;

    device.failLockAtLevel = 2;
    EXPECT_NE(D3D_OK,
              D3DXCreateTextureFromFileInMemory(&device, good.data(), static_cast<UINT>(good.size()), &texture));
    EXPECT_EQ(nullptr, texture);
    EXPECT_EQ(0, device.liveTextures);
}

TEST(D3DXCreateTextureFromFileA, ReadsTheFileFromDisk) {
    const std::string path = (std::filesystem::temp_directory_path() / ("zolt_d3dx_texture_test_" + std::to_string(getpid()) + ".tga")).string();
    const std::vector<uint32_t> pixels = Pattern(3, 2);
    {
        Bytes file = Tga(3, 2, pixels, 32);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    RecordingTextureDevice device;
    TextureRef ref;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileA(&device, path.c_str(), &ref.texture));
    EXPECT_EQ(pixels[5], ref.Recorded()->Texel(0, 2, 1));
    EXPECT_EQ(2u, ref.Recorded()->GetLevelCount()); // 3x2, 1x1
    std::remove(path.c_str());

    IDirect3DTexture8* missing = nullptr;
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateTextureFromFileA(&device, path.c_str(), &missing));
    EXPECT_EQ(nullptr, missing);
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileA(&device, nullptr, &missing));
}

TEST(D3DXCreateTextureFromResourceA, FindsResourcesByNumberOnly) {
    const Bytes file = Tga(2, 1, {Argb(255, 1, 2, 3), Argb(255, 4, 5, 6)}, 24);
    const ProgramResource table[] = {{42, file.data(), file.size()}, {43, file.data(), 3}};
    SetProgramResourcesForTesting(table, 2);
    RecordingTextureDevice device;
    for (const char* name : {MAKEINTRESOURCEA(42), "#42"}) {
        TextureRef ref;
        EXPECT_EQ(D3D_OK, D3DXCreateTextureFromResourceA(&device, nullptr, name, &ref.texture));
        ASSERT_NE(nullptr, ref.texture);
        EXPECT_EQ(Argb(255, 4, 5, 6), ref.Recorded()->Texel(0, 1, 0));
    }
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateTextureFromResourceA(&device, nullptr, 43, &texture)); // truncated
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateTextureFromResourceA(&device, nullptr, 44, &texture)); // absent
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateTextureFromResourceA(&device, nullptr, "FONT", &texture));
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateTextureFromResourceA(&device, nullptr, "#4x", &texture));
    EXPECT_EQ(nullptr, texture);
    EXPECT_EQ(0, device.liveTextures);
    RestoreProgramResources();
}

// ---- The font bitmap compiled into the program ---------------------------------

namespace {

const int kFontId = 107;

// Grey level of font pixel (x, y), counted from the top, read straight from
// the resource's BMP bytes (bottom-up rows, one palette index per pixel).
int FontPixel(const ProgramResource& font, int x, int y) {
    const uint32_t offset = font.data[10] | (font.data[11] << 8) | (font.data[12] << 16) | (font.data[13] << 24);
    return font.data[offset + static_cast<size_t>(255 - y) * 256 + x];
}

// Ink in rows [top, bottom) of the cell of a character code.
int CellInk(const ProgramResource& font, int code, int top = 0, int bottom = 16) {
    int ink = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < 16; ++x) {
            ink += FontPixel(font, (code % 16) * 16 + x, (code / 16) * 16 + y);
        }
    }
    return ink;
}

} // namespace

TEST(FontResource, IsAnEightBitGreyPaletteBitmapOf256Squared) {
    const ProgramResource* font = FindProgramResource(kFontId);
    ASSERT_NE(nullptr, font);
    ASSERT_GE(font->size, 14u + 40 + 1024 + 65536);
    const uint8_t* d = font->data;
    EXPECT_EQ('B', d[0]);
    EXPECT_EQ('M', d[1]);
    EXPECT_EQ(256, d[18] | (d[19] << 8));     // width
    EXPECT_EQ(256, d[22] | (d[23] << 8));     // height
    EXPECT_EQ(8, d[28]);                      // bits per pixel
    for (int i = 0; i < 256; ++i) {
        const uint8_t* entry = d + 14 + 40 + 4 * i;
        ASSERT_EQ(i, entry[0]);
        ASSERT_EQ(i, entry[1]);
        ASSERT_EQ(i, entry[2]);
    }
    EXPECT_EQ(nullptr, FindProgramResource(106)); // the icon carries no data here
}

TEST(FontResource, GlyphsSitInTheirCellsTopRowFirst) {
    const ProgramResource* font = FindProgramResource(kFontId);
    ASSERT_NE(nullptr, font);
    // Control codes and the blank are empty; every visible ASCII glyph has ink.
    for (int code = 0; code < 128; ++code) {
        bool visible = code > 32 && code < 127;
        if (visible) {
            EXPECT_GT(CellInk(*font, code), 0) << "code " << code;
        } else {
            EXPECT_EQ(0, CellInk(*font, code)) << "code " << code;
        }
    }
    // Upright: the underscore lies low in its cell, the caret and the
    // apostrophe high.
    EXPECT_EQ(0, CellInk(*font, '_', 0, 8));
    EXPECT_GT(CellInk(*font, '_', 8, 16), 0);
    EXPECT_EQ(0, CellInk(*font, '^', 10, 16));
    EXPECT_EQ(0, CellInk(*font, '\'', 10, 16));
    EXPECT_GT(CellInk(*font, '\'', 0, 8), 0);
}

TEST(FontResource, LoadsAsAFullSizeOpaqueTexture) {
    RecordingTextureDevice device;
    TextureRef ref;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromResourceA(&device, nullptr, MAKEINTRESOURCEA(kFontId), &ref.texture));
    RecordedTexture* t = ref.Recorded();
    EXPECT_EQ(D3DFMT_X8R8G8B8, t->Format());
    EXPECT_EQ(256u, t->LevelAt(0).width);
    EXPECT_EQ(256u, t->LevelAt(0).height);
    EXPECT_EQ(9u, t->GetLevelCount());
    const ProgramResource* font = FindProgramResource(kFontId);
    // 'A' is in column 1, row 4: its texels are the bitmap's greys.
    for (int y = 64; y < 80; ++y) {
        for (int x = 16; x < 32; ++x) {
            const uint32_t grey = static_cast<uint32_t>(FontPixel(*font, x, y));
            ASSERT_EQ(Argb(255, grey, grey, grey), t->Texel(0, x, y)) << x << "," << y;
        }
    }
}

// ---- On the OpenGL device ------------------------------------------------------

namespace {

// A level read back from the device's texture: 32-bit texels or L8 bytes.
std::vector<uint32_t> ReadLevel(IDirect3DTexture8* texture, UINT level) {
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    if (texture->GetLevelDesc(level, &desc) != D3D_OK ||
        texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK) {
        return {};
    }
    std::vector<uint32_t> texels;
    for (UINT y = 0; y < desc.Height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (UINT x = 0; x < desc.Width; ++x) {
            uint32_t v = row[x];
            if (desc.Format != D3DFMT_L8) {
                std::memcpy(&v, row + 4 * x, 4);
            }
            texels.push_back(v);
        }
    }
    texture->UnlockRect(level);
    return texels;
}

} // namespace

TEST(D3DXTexturesOnTheDevice, UnfilteredAndMippedTexturesHoldTheirTexels) {
    HeadlessDevice device;
    ASSERT_TRUE(device) << "no headless device";
    const std::vector<uint32_t> pixels = Pattern(6, 3);
    const Bytes file = Tga(6, 3, pixels, 32);
    {
        IDirect3DTexture8* texture = nullptr;
        ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileInMemoryEx(device.get(), file.data(), static_cast<UINT>(file.size()),
                                                              0, 0, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                              D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr,
                                                              &texture));
        EXPECT_EQ(1u, texture->GetLevelCount());
        EXPECT_EQ(pixels, ReadLevel(texture, 0));
        texture->Release();
    }
    {
        IDirect3DTexture8* texture = nullptr;
        ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileInMemory(device.get(), file.data(), static_cast<UINT>(file.size()),
                                                            &texture));
        ASSERT_EQ(3u, texture->GetLevelCount()); // 6x3, 3x1, 1x1
        D3DSURFACE_DESC desc;
        ASSERT_EQ(D3D_OK, texture->GetLevelDesc(1, &desc));
        EXPECT_EQ(3u, desc.Width);
        EXPECT_EQ(1u, desc.Height);
        EXPECT_EQ(D3DFMT_A8R8G8B8, desc.Format);
        EXPECT_EQ(pixels, ReadLevel(texture, 0));
        EXPECT_EQ(3u, ReadLevel(texture, 1).size());
        texture->Release();
    }
}

TEST(D3DXTexturesOnTheDevice, FontResourceLoadsWithItsGlyphs) {
    HeadlessDevice device;
    ASSERT_TRUE(device) << "no headless device";
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromResourceA(device.get(), nullptr, MAKEINTRESOURCEA(kFontId), &texture));
    const std::vector<uint32_t> texels = ReadLevel(texture, 0);
    texture->Release();
    ASSERT_EQ(256u * 256u, texels.size());
    const ProgramResource* font = FindProgramResource(kFontId);
    for (int y = 64; y < 80; ++y) { // 'A': column 1, row 4
        for (int x = 16; x < 32; ++x) {
            const uint32_t grey = static_cast<uint32_t>(FontPixel(*font, x, y));
            ASSERT_EQ(Argb(255, grey, grey, grey) & 0x00FFFFFFu, texels[y * 256 + x] & 0x00FFFFFFu) << x << "," << y;
        }
    }
}
