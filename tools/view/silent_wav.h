// A WAV file of silence, the music of a show that has none of its own.
#pragma once

#include <string>

// Writes `seconds` of 16-bit mono silence at 11,025 frames per second;
// false when the file could not be written.
bool WriteSilentWav(const std::string& path, int seconds);
