#include "gfx/texture_loader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "tests/support/box_capture.h"
#include "tests/support/pack_builder.h"
#include "tests/support/show_device.h"
#include "tests/support/test_images.h"

namespace {

struct Texels {
    UINT width = 0;
    UINT height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, top row first
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + size_t(x)]; }
};

Texels ReadLevel(IDirect3DTexture8* texture, UINT level)
{
    Texels texels;
    D3DSURFACE_DESC desc = {};
    EXPECT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
    texels.width = desc.Width;
    texels.height = desc.Height;
    texels.format = desc.Format;
    D3DLOCKED_RECT locked = {};
    EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch);
        for (UINT x = 0; x < desc.Width; ++x)
            texels.pixels.push_back(reinterpret_cast<const uint32_t*>(row)[x]);
    }
    texture->UnlockRect(level);
    return texels;
}

class TextureLoaderTest : public ShowDeviceInTempDirTest {
protected:
    void TearDown() override
    {
        if (m_texture)
            m_texture->Release();
        ShowDeviceInTempDirTest::TearDown();
    }
    IDirect3DDevice8* Device() { return s_device->Device(); }
    void Drop()
    {
        if (m_texture)
            m_texture->Release();
        m_texture = nullptr;
    }

    // Loads a member with the given loader and reads its first level.
    Texels Load(int (*loader)(IDirect3DDevice8*, const char*, IDirect3DTexture8**), const char* name)
    {
        EXPECT_EQ(loader(Device(), name, &m_texture), 0) << name;
        if (!m_texture)
            return Texels();
        Texels texels = ReadLevel(m_texture, 0);
        return texels;
    }

    IDirect3DTexture8* m_texture = nullptr;
};

// Compares colour, and alpha when the format keeps it.
void ExpectPixels(const Texels& texels, const TestImage& image, bool withAlpha)
{
    ASSERT_EQ(texels.width, UINT(image.width));
    ASSERT_EQ(texels.height, UINT(image.height));
    const uint32_t mask = withAlpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
    int mismatches = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if ((texels.At(x, y) & mask) != (image.At(x, y) & mask) && ++mismatches <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << texels.At(x, y) << " expected "
                              << image.At(x, y);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST_F(TextureLoaderTest, TgaVariantsLoadWithTheirExactPixels)
{
    const TestImage image = PatternImage(7, 5);
    struct Variant {
        const char* name;
        int bits;
        bool rle;
        TgaRows rows;
    } variants[] = {
        {"plain24up.tga", 24, false, TgaRows::BottomUp}, {"plain24down.tga", 24, false, TgaRows::TopDown},
        {"plain32up.tga", 32, false, TgaRows::BottomUp}, {"plain32down.tga", 32, false, TgaRows::TopDown},
        {"rle24up.tga", 24, true, TgaRows::BottomUp},    {"rle24down.tga", 24, true, TgaRows::TopDown},
        {"rle32up.tga", 32, true, TgaRows::BottomUp},    {"RLE32DOWN.TGA", 32, true, TgaRows::TopDown},
    };
    std::vector<PackMember> members;
    for (const Variant& v : variants)
        members.push_back({v.name, EncodeTga(image, v.bits, v.rle, v.rows)});
    ASSERT_TRUE(WritePack("data.pac", members));

    BoxCapture boxes;
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        for (auto loader : {&LoadTexture, &LoadTextureNoFilter}) {
            Texels texels = Load(loader, v.name);
            EXPECT_EQ(texels.format, v.bits == 32 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8);
            ExpectPixels(texels, image, v.bits == 32);
            Drop();
        }
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(TextureLoaderTest, BmpAndJpegLoad)
{
    const TestImage pattern = PatternImage(6, 3);
    const std::vector<uint8_t> jpeg = EncodeJpeg(QuadrantImage());
    ASSERT_FALSE(jpeg.empty()) << "ffmpeg could not make a JPEG";
    ASSERT_TRUE(WritePack("data.pac", {{"font.bmp", EncodeBmp24(pattern)}, {"Face.JPG", jpeg}}));

    ExpectPixels(Load(&LoadTexture, "font.bmp"), pattern, false);
    Drop();

    Texels face = Load(&LoadTexture, "Face.JPG");
    ASSERT_EQ(face.width, 32u);
    ASSERT_EQ(face.height, 32u);
    const TestImage quadrants = QuadrantImage();
    for (int y : {4, 27}) {
        for (int x : {4, 27}) {
            const uint32_t got = face.At(x, y);
            const uint32_t want = quadrants.At(x, y);
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(int(got >> shift & 0xFF), int(want >> shift & 0xFF), 4)
                    << "pixel (" << x << ", " << y << ") " << std::hex << got;
        }
    }
}

TEST_F(TextureLoaderTest, FilteredLoadHasAMipChainAndUnfilteredOneLevel)
{
    const TestImage image = PatternImage(5, 3);
    ASSERT_TRUE(WritePack("data.pac", {{"odd.tga", EncodeTga(image, 32, false, TgaRows::BottomUp)}}));

    ASSERT_EQ(LoadTexture(Device(), "odd.tga", &m_texture), 0);
    EXPECT_EQ(m_texture->GetLevelCount(), 3u); // 5 x 3, 2 x 1, 1 x 1
    Drop();

    // Unfiltered: one level at the image's own size, every pixel as stored.
    Texels texels = Load(&LoadTextureNoFilter, "ODD.TGA");
    ASSERT_NE(m_texture, nullptr);
    EXPECT_EQ(m_texture->GetLevelCount(), 1u);
    ExpectPixels(texels, image, true);
}

TEST_F(TextureLoaderTest, FailuresShowTheLoadersMessages)
{
    ASSERT_TRUE(WritePack("data.pac", {{"notes.txt", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'g'}},
                                       {"empty.tga", {}}}));
    {
        BoxCapture boxes;
        EXPECT_EQ(LoadTexture(Device(), "notes.txt", &m_texture), 1);
        EXPECT_EQ(m_texture, nullptr);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"LibDX\t:\tCannot create Texture : notes.txt"});
    }
    {
        BoxCapture boxes;
        EXPECT_EQ(LoadTextureNoFilter(Device(), "notes.txt", &m_texture), 1);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"LibDX\t:\tCannot create TextureNoFilter : notes.txt"});
    }
    {
        BoxCapture boxes;
        EXPECT_EQ(LoadTextureNoFilter(Device(), "empty.tga", &m_texture), 1);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"LibDX\t:\tCannot create TextureNoFilter : empty.tga"});
    }
    {
        BoxCapture boxes;
        EXPECT_EQ(LoadTexture(Device(), "absent.jpg", &m_texture), 1);
        ASSERT_EQ(boxes.boxes.size(), 2u);
        EXPECT_EQ(boxes.boxes[0].text, "LibUtils : file absent.jpg not found in the data.pac zipfile\n");
        EXPECT_EQ(boxes.boxes[1].text, "LibDX\t:\tCannot open Texture : absent.jpg");
        EXPECT_EQ(boxes.boxes[1].title, "Zolt Engine Error");
    }
}

} // namespace
