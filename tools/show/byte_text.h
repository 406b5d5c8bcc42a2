// Bytes in a TOML file, which holds only UTF-8 text: strings that are UTF-8
// are written as TOML strings, any other bytes as hex.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace show {

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool IsUtf8(const std::string& text);

std::string BytesToHex(const uint8_t* data, size_t size);
// False unless the text is pairs of hex digits (either case).
bool HexToBytes(const std::string& hex, std::vector<uint8_t>* bytes);

// The text with each tab written \t, as the player's messages are printed.
std::string TabsShown(const std::string& text);

// A TOML value that reads back as exactly these bytes: a string, or
// { bytes = "hex" } when they are not UTF-8.
std::string TomlBytes(const std::string& bytes);
// A float32 as a TOML number that reads back to the same bits, or
// { bits = 0x... } when no number does (NaN).
std::string TomlFloat(float value);
std::string TomlBits(float value);

} // namespace show
