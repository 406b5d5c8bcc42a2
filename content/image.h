// A plain RGBA picture the generator draws into, and the two file formats the
// show's pack holds: baseline JPEG (through libjpeg) for opaque textures and
// 32-bit uncompressed TGA with alpha for the overlay images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace content {

struct Rgba {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 1.0f;
};

class Image {
public:
    Image(int width, int height) : m_width(width), m_height(height), m_pixels(static_cast<size_t>(width) * height) {}

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Rgba& At(int x, int y) { return m_pixels[static_cast<size_t>(y) * m_width + x]; }
    const Rgba& At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }

private:
    int m_width;
    int m_height;
    std::vector<Rgba> m_pixels; // row by row from the top
};

// Encoded files; empty on failure.
std::vector<uint8_t> EncodeJpeg(const Image& image, int quality = 90);
std::vector<uint8_t> EncodeTga(const Image& image);

Rgba Mix(const Rgba& a, const Rgba& b, float t);

} // namespace content
