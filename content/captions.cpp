// The overlay pictures of the Marble1 effect: the logo "Kestrel.TGA" and the
// ten captions "Marble01.TGA" to "Marble10.TGA", text drawn with FreeType in
// white (the logo in gold) over a soft dark outline, on a transparent
// ground. Captions are shown on a 384 x 48 band of the screen and the logo
// on 256 x 48; each picture is drawn at that shape and stored at a power of
// two size (512 x 64 and 256 x 64).
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "content/image.h"
#include "content/show.h"

namespace content {

namespace {

const char* const kCaptionTexts[10] = {
    "Zolt Engine - a sample show",
    "A marble hall seen from one camera path",
    "Chrome: a sphere-mapped reflection",
    "Lit by point lights and a spot",
    "Next: a figure walking on its bones",
    "Bend, twist, stretch, wave and ripple",
    "Glass faces sorted back to front",
    "A flight with roll under a six-faced sky",
    "Every scene and picture made at build time",
    "Music: Frozen-Bubble, M. Le Bidan, GPL-2+",
};

struct Coverage {
    int width, height;
    std::vector<float> values;
    float& At(int x, int y) { return values[static_cast<size_t>(y) * width + x]; }
    float Get(int x, int y) const
    {
        return x < 0 || y < 0 || x >= width || y >= height ? 0.0f : values[static_cast<size_t>(y) * width + x];
    }
};

int TextWidth(FT_Face face, const std::string& text)
{
    int width = 0;
    for (unsigned char c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) {
            width += static_cast<int>(face->glyph->advance.x >> 6);
        }
    }
    return width;
}

// The text's coverage, centred in a canvas of the given size, at the largest
// pixel size up to `largest` that fits the width with a margin.
Coverage DrawText(FT_Face face, const std::string& text, int width, int height, int largest)
{
    Coverage coverage{width, height, std::vector<float>(static_cast<size_t>(width) * height, 0.0f)};
    int size = largest;
    for (; size > 8; --size) {
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size));
        if (TextWidth(face, text) <= width - 12) {
            break;
        }
    }
    const int ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    const int descent = static_cast<int>(-face->size->metrics.descender >> 6);
    const int baseline = (height - (ascent + descent)) / 2 + ascent;
    int penX = (width - TextWidth(face, text)) / 2;
    for (unsigned char c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) {
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        for (unsigned row = 0; row < slot->bitmap.rows; ++row) {
            for (unsigned col = 0; col < slot->bitmap.width; ++col) {
                const int x = penX + slot->bitmap_left + static_cast<int>(col);
                const int y = baseline - slot->bitmap_top + static_cast<int>(row);
                if (x >= 0 && y >= 0 && x < width && y < height) {
                    coverage.At(x, y) =
                        std::max(coverage.At(x, y), slot->bitmap.buffer[row * slot->bitmap.pitch + col] / 255.0f);
                }
            }
        }
        penX += static_cast<int>(slot->advance.x >> 6);
    }
    return coverage;
}

// Text over its outline; `fill(y)` colours the text by canvas row.
Image Compose(const Coverage& text, int imageHeight, Rgba (*fill)(float row))
{
    Image canvas(text.width, text.height);
    for (int y = 0; y < text.height; ++y) {
        for (int x = 0; x < text.width; ++x) {
            float outline = 0.0f;
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    const float fade = 1.0f - 0.15f * std::sqrt(static_cast<float>(dx * dx + dy * dy));
                    outline = std::max(outline, text.Get(x + dx, y + dy) * fade);
                }
            }
            const float cover = text.Get(x, y);
            Rgba colour = Mix(Rgba{0.02f, 0.02f, 0.05f, 1}, fill(static_cast<float>(y) / text.height), cover);
            colour.a = std::max(cover, outline * 0.75f);
            canvas.At(x, y) = colour;
        }
    }
    // Stretch the rows to the stored height (the overlay squeezes them back).
    Image image(text.width, imageHeight);
    for (int y = 0; y < imageHeight; ++y) {
        const float source = (y + 0.5f) * text.height / imageHeight - 0.5f;
        const int y0 = std::clamp(static_cast<int>(std::floor(source)), 0, text.height - 1);
        const int y1 = std::min(y0 + 1, text.height - 1);
        const float t = std::clamp(source - y0, 0.0f, 1.0f);
        for (int x = 0; x < text.width; ++x) {
            image.At(x, y) = Mix(canvas.At(x, y0), canvas.At(x, y1), t);
        }
    }
    return image;
}

Rgba White(float) { return Rgba{1, 1, 1, 1}; }

Rgba Gold(float row) { return Mix(Rgba{1.0f, 0.95f, 0.6f, 1}, Rgba{0.85f, 0.45f, 0.05f, 1}, row); }

} // namespace

std::vector<ShowFile> Captions(const std::string& fontPath)
{
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        return {};
    }
    if (FT_New_Face(library, fontPath.c_str(), 0, &face) != 0) {
        std::fprintf(stderr, "showgen: cannot open the font %s\n", fontPath.c_str());
        FT_Done_FreeType(library);
        return {};
    }
    std::vector<ShowFile> files;
    // 256 x 48 on screen, stored 256 x 64.
    files.push_back({"Kestrel.TGA", EncodeTga(Compose(DrawText(face, "KESTREL", 256, 48, 42), 64, Gold))});
    for (int i = 0; i < 10; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Marble%02d.TGA", i + 1);
        // 384 x 48 on screen: the 512 x 64 picture has the same shape.
        files.push_back({name, EncodeTga(Compose(DrawText(face, kCaptionTexts[i], 512, 64, 34), 64, White))});
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return files;
}

} // namespace content
