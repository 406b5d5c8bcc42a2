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

// An OBJ grid of n x n vertices (all distinct, normals +Z) and
// 2 (n-1)^2 triangles.
std::string GridObj(int n);
