// Pictures written as 8-bit RGB PNG files, all or nothing: the file is
// written under a temporary name beside its final one and renamed into
// place, so a failed or interrupted write never leaves a partial picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height pixels of 0xAARRGGBB (alpha ignored), top row first,
// to `path`. False with a reason when the file could not be written.
bool WriteRgbPng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels,
                 std::string* problem);
