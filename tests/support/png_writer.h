// Saving rendered pictures so that a person can look at what a test drew.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height pixels of 0xAARRGGBB, top row first, as an RGBA PNG.
// With opaque set, every pixel is written with alpha 255 (render targets
// without alpha read back with arbitrary alpha bytes). False on failure.
bool WritePngArgb(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels,
                  bool opaque = true);

// Creates the folder (and its parents) when missing; false on failure.
bool EnsureDirectory(const std::string& path);

// <build directory>/test-output/<name>.png, the folder created when missing.
// Inline so that it is compiled into the test program, which knows the
// build directory; elsewhere it falls back to the working directory.
inline std::string TestOutputPath(const std::string& name) {
#ifdef ZOLT_BINARY_DIR
    const std::string directory = std::string(ZOLT_BINARY_DIR) + "/test-output";
#else
    const std::string directory = "test-output";
#endif
    EnsureDirectory(directory);
    return directory + "/" + name + ".png";
}
