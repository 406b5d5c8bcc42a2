// Pictures written as 8-bit RGB PNG files, all or nothing: the file is
// written under a temporary name beside its final one and renamed into
// place, so a failed or interrupted write never leaves a partial picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PngFileWriter {
public:
    // Writes width x height pixels of 0xAARRGGBB (alpha ignored), top row
    // first, to `path`. False with a reason (the system's, or what kept the
    // picture from being encoded) when the file could not be written.
    bool Write(const std::string& path, int width, int height, const uint32_t* pixels, size_t pixelCount,
               std::string* problem);

    // The size of the last file written.
    size_t LastFileBytes() const { return m_png.size(); }

private:
    // Kept from picture to picture, so that a sequence reuses them.
    std::vector<uint8_t> m_rgb;
    std::vector<uint8_t> m_png;
};

// One picture with a writer of its own.
bool WriteRgbPng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels,
                 std::string* problem);
