// Small models the import tests write themselves: glTF text with its buffer
// inline, OBJ with its material library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::string Base64(const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadBytes(const std::string& path);

// A glTF file of one triangle (0,0,0), (1,0,0), (0,1,0), counter-clockwise
// seen from +Z, on node "tri", beside nodes "px", "py" and "pz" moved by 1
// along X, 2 along Y and 3 along Z, all under node "root".
std::string AxesGltf();

// The triangle of AxesGltf on node "tri", and three lights of the glTF
// lights extension: point "lamp" at (1, 2, 3) coloured (2, 1, 0.5) with
// intensity 1; spot "torch" at (0, 5, 0) turned to look down -Y, cones 0.2
// and 0.4; directional "sun" looking down -Z by default.
std::string LightsGltf();

// An OBJ grid of n x n vertices (all distinct, normals +Z) and
// 2 (n-1)^2 triangles.
std::string GridObj(int n);
