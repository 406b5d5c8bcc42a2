#include "tools/show/byte_text.h"

#include <toml++/toml.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace show {

bool IsUtf8(const std::string& text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned c = s[i];
        size_t length = 0;
        uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + length > n)
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            code = code << 6 | (s[i + k] & 0x3F);
        }
        const uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string BytesToHex(const uint8_t* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        hex += digits[data[i] >> 4];
        hex += digits[data[i] & 15];
    }
    return hex;
}

bool HexToBytes(const std::string& hex, std::vector<uint8_t>* bytes)
{
    if (hex.size() % 2 != 0)
        return false;
    bytes->clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        uint8_t value = 0;
        const auto result = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
        if (result.ec != std::errc() || result.ptr != hex.data() + i + 2)
            return false;
        bytes->push_back(value);
    }
    return true;
}

std::string TabsShown(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\t' ? std::string("\\t") : std::string(1, c);
    return out;
}

std::string TomlBytes(const std::string& bytes)
{
    if (!IsUtf8(bytes))
        return "{ bytes = \"" + BytesToHex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) + "\" }";
    bool control = false;
    for (unsigned char c : bytes)
        control = control || c < 0x20 || c == 0x7F;
    if (!control) {
        std::ostringstream out;
        out << toml::value<std::string>(bytes);
        return out.str();
    }
    // toml++ may write such a string multi-line, where a line break right
    // after the opening quotes would be dropped on reading: every control
    // character is escaped in a one-line string instead.
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string TomlBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    char text[40];
    std::snprintf(text, sizeof text, "{ bits = 0x%08X }", bits);
    return text;
}

std::string TomlFloat(float value)
{
    if (std::isnan(value))
        return TomlBits(value);
    if (std::isinf(value))
        return value > 0 ? "inf" : "-inf";
    // The float's shortest decimal, when reading it as a double and
    // rounding to float gives the value back; else the double's own.
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    std::string decimal(text, result.ptr);
    double back = 0.0;
    std::from_chars(decimal.data(), decimal.data() + decimal.size(), back);
    const float rounded = static_cast<float>(back);
    if (std::memcmp(&rounded, &value, sizeof value) != 0) {
        std::ostringstream out;
        out << toml::value<double>(value);
        return out.str();
    }
    if (decimal.find_first_of(".e") == std::string::npos)
        decimal += ".0";
    return decimal;
}

} // namespace show
