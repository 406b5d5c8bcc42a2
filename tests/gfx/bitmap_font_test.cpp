#include "gfx/bitmap_font.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/program_resources.h"
#include "tests/support/box_capture.h"
#include "tests/support/headless_device.h"
#include "tests/support/recording_texture_device.h"

namespace {

// Captures message boxes and hides or shows the program's resources for
// one test; restores both afterwards.
class BitmapFontTest : public ::testing::Test, protected BoxCapture {
protected:
    void TearDown() override {
        RestoreProgramResources();
    }
    void HideResources() { SetProgramResourcesForTesting(nullptr, 0); }

    RecordingTextureDevice device;
};

// A 2 x 2, 24-bit BMP: top row white, grey; bottom row black, white.
const unsigned char kSmallBmp[] = {
    'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,             // file header: size 70, pixels at 54
    40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,           // info header: 2 x 2, 24 bits
    0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 255, 255, 255, 0, 0,                               // bottom row, padded to 8 bytes
    255, 255, 255, 128, 128, 128, 0, 0,                         // top row
};

// Runs in a fresh temporary directory, optionally holding a font1.bmp.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(bool withFontFile) {
        previous_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() / ("zolt_bitmap_font_test_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
        if (withFontFile) {
            std::ofstream("font1.bmp", std::ios::binary).write(reinterpret_cast<const char*>(kSmallBmp),
                                                               sizeof kSmallBmp);
        }
    }
    ~ScopedWorkingDirectory() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }

private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
};

} // namespace

TEST_F(BitmapFontTest, BuildsFromTheProgramsFontResource) {
    BitmapFont font;
    ASSERT_EQ(0, font.Build(&device, "font1.bmp", 16, 16, 20.0f));
    EXPECT_TRUE(boxes.empty());
    ASSERT_NE(nullptr, font.GetTexture());
    D3DSURFACE_DESC desc;
    ASSERT_EQ(D3D_OK, font.GetTexture()->GetLevelDesc(0, &desc));
    EXPECT_EQ(256u, desc.Width);
    EXPECT_EQ(256u, desc.Height);

    ASSERT_NE(nullptr, font.GetVertexBuffer());
    D3DVERTEXBUFFER_DESC vb;
    ASSERT_EQ(D3D_OK, font.GetVertexBuffer()->GetDesc(&vb));
    EXPECT_EQ(112u, vb.Size);
    EXPECT_EQ(0x144u, vb.FVF);
    EXPECT_EQ(0u, vb.Usage);
    EXPECT_EQ(D3DPOOL_DEFAULT, vb.Pool);

    EXPECT_EQ(16u, font.GetColumns());
    EXPECT_EQ(16u, font.GetRows());
    EXPECT_FLOAT_EQ(20.0f, font.GetGlyphSize());
    EXPECT_FLOAT_EQ(0.0625f, font.GetCellWidth());
    EXPECT_FLOAT_EQ(0.0625f, font.GetCellHeight());
}

TEST_F(BitmapFontTest, GlyphTablesPlaceCodesInTheGrid) {
    BitmapFont font;
    ASSERT_EQ(0, font.Build(&device, "font1.bmp", 16, 16, 20.0f));
    EXPECT_EQ(1u, font.GetColumnOfCode(65)); // 'A'
    EXPECT_EQ(4u, font.GetRowOfCode(65));
    EXPECT_EQ(15u, font.GetColumnOfCode(127));
    EXPECT_EQ(7u, font.GetRowOfCode(127));
    EXPECT_EQ(0u, font.GetColumnOfCode(0));
    EXPECT_EQ(0u, font.GetRowOfCode(0));
    EXPECT_EQ(0u, font.GetColumnOfCode(32));
    EXPECT_EQ(2u, font.GetRowOfCode(32));

    // The row divisor is the row count: with 8 columns and 32 rows code 65
    // is column 1, row 2.
    BitmapFont narrow;
    ASSERT_EQ(0, narrow.Build(&device, "font1.bmp", 8, 32, 10.0f));
    EXPECT_EQ(1u, narrow.GetColumnOfCode(65));
    EXPECT_EQ(2u, narrow.GetRowOfCode(65));
    EXPECT_FLOAT_EQ(0.125f, narrow.GetCellWidth());
    EXPECT_FLOAT_EQ(1.0f / 32.0f, narrow.GetCellHeight());
}

TEST_F(BitmapFontTest, FallsBackToTheFontFileInTheWorkingDirectory) {
    HideResources();
    ScopedWorkingDirectory cwd(true);
    BitmapFont font;
    ASSERT_EQ(0, font.Build(&device, "font1.bmp", 16, 16, 20.0f));
    EXPECT_TRUE(boxes.empty());
    D3DSURFACE_DESC desc;
    ASSERT_EQ(D3D_OK, font.GetTexture()->GetLevelDesc(0, &desc));
    EXPECT_EQ(2u, desc.Width);
    EXPECT_EQ(0xFF808080u, static_cast<RecordedTexture*>(font.GetTexture())->Texel(0, 1, 0));
    EXPECT_EQ(0xFF000000u, static_cast<RecordedTexture*>(font.GetTexture())->Texel(0, 0, 1));
}

TEST_F(BitmapFontTest, AnUnusableResourceAlsoFallsBackToTheFile) {
    const unsigned char broken[] = {'B', 'M', 1, 2, 3};
    const ProgramResource table[] = {{107, broken, sizeof broken}};
    SetProgramResourcesForTesting(table, 1);
    ScopedWorkingDirectory cwd(true);
    BitmapFont font;
    EXPECT_EQ(0, font.Build(&device, "font1.bmp", 16, 16, 20.0f));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(BitmapFontTest, WithNeitherResourceNorFileItWarnsAndFails) {
    HideResources();
    ScopedWorkingDirectory cwd(false);
    {
        BitmapFont font;
        EXPECT_EQ(1, font.Build(&device, "font1.bmp", 16, 16, 20.0f));
        EXPECT_EQ(nullptr, font.GetTexture());
        EXPECT_EQ(nullptr, font.GetVertexBuffer());
    }
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Zolt Engine Warning", boxes[0].title);
    EXPECT_EQ("LibDX : Cannot load font.", boxes[0].text);
    EXPECT_EQ(0, device.liveTextures);
    EXPECT_EQ(0, device.liveVertexBuffers);
}

TEST_F(BitmapFontTest, VertexBufferFailureWarnsAndKeepsNothingAlive) {
    device.failCreateVertexBuffer = true;
    {
        BitmapFont font;
        EXPECT_EQ(1, font.Build(&device, "font1.bmp", 16, 16, 20.0f));
        EXPECT_EQ(nullptr, font.GetVertexBuffer());
    }
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Zolt Engine Warning", boxes[0].title);
    EXPECT_EQ("LibDX : Cannot create Vertex Buffer for text rendering.", boxes[0].text);
    EXPECT_EQ(0, device.liveTextures); // released with the font
}

TEST_F(BitmapFontTest, DestructionReleasesTheTextureThenTheVertexBuffer) {
    {
        BitmapFont font;
        ASSERT_EQ(0, font.Build(&device, "font1.bmp", 16, 16, 20.0f));
        // Building again replaces the first texture and buffer.
        ASSERT_EQ(0, font.Build(&device, "font1.bmp", 16, 16, 20.0f));
        EXPECT_EQ(1, device.liveTextures);
        EXPECT_EQ(1, device.liveVertexBuffers);
        device.destroyed.clear();
    }
    EXPECT_EQ((std::vector<std::string>{"texture", "vertex buffer"}), device.destroyed);
}

TEST_F(BitmapFontTest, AnEmptyGlyphGridIsRefused) {
    BitmapFont font;
    EXPECT_EQ(1, font.Build(&device, "font1.bmp", 0, 16, 20.0f));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Zolt Engine Warning", boxes[0].title);
    EXPECT_EQ(0, device.liveTextures);
}

TEST(BitmapFontOnTheDevice, BuildsFromTheResource) {
    HeadlessDevice device;
    ASSERT_TRUE(device) << "no headless device";
    BitmapFont font;
    ASSERT_EQ(0, font.Build(device.get(), "font1.bmp", 16, 16, 20.0f));
    D3DSURFACE_DESC desc;
    ASSERT_EQ(D3D_OK, font.GetTexture()->GetLevelDesc(0, &desc));
    EXPECT_EQ(256u, desc.Width);
    EXPECT_EQ(256u, desc.Height);
    D3DVERTEXBUFFER_DESC vb;
    ASSERT_EQ(D3D_OK, font.GetVertexBuffer()->GetDesc(&vb));
    EXPECT_EQ(112u, vb.Size);
    EXPECT_EQ(0x144u, vb.FVF);
}
