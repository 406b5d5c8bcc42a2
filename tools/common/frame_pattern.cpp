#include "tools/common/frame_pattern.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kFlags = "-+ 0";
constexpr const char* kIntegerConversions = "diuoxX";
constexpr size_t kMaxDigits = 2;

bool IsOneOf(char c, const char* set)
{
    return c != '\0' && std::strchr(set, c) != nullptr;
}

// Reads up to kMaxDigits digits at text[*at]; false when there are more.
bool SkipDigits(const std::string& text, size_t* at)
{
    size_t digits = 0;
    while (*at < text.size() && std::isdigit(static_cast<unsigned char>(text[*at]))) {
        ++*at;
        ++digits;
    }
    return digits <= kMaxDigits;
}

} // namespace

bool FramePattern::Parse(const std::string& pattern, std::string* problem)
{
    m_prefix.clear();
    m_conversion.clear();
    m_suffix.clear();
    bool found = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        std::string& literal = found ? m_suffix : m_prefix;
        if (pattern[i] != '%') {
            literal += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            literal += '%';
            ++i;
            continue;
        }
        if (found) {
            *problem = "the pattern holds more than one % field";
            return false;
        }
        size_t at = i + 1;
        while (at < pattern.size() && IsOneOf(pattern[at], kFlags))
            ++at;
        bool digitsOk = SkipDigits(pattern, &at);
        if (at < pattern.size() && pattern[at] == '.') {
            ++at;
            digitsOk = SkipDigits(pattern, &at) && digitsOk;
        }
        if (!digitsOk) {
            *problem = "the pattern's field is too wide";
            return false;
        }
        if (at >= pattern.size() || !IsOneOf(pattern[at], kIntegerConversions)) {
            *problem = "the pattern's % field is not an integer field (%d, %i, %u, %o, %x or %X)";
            return false;
        }
        m_conversion = pattern.substr(i, at + 1 - i);
        found = true;
        i = at;
    }
    if (!found) {
        *problem = "the pattern needs one integer field such as %04d";
        return false;
    }
    return true;
}

bool FramePattern::HoldsField(const std::string& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            if (i + 1 < text.size() && text[i + 1] == '%') {
                ++i;
                continue;
            }
            return true;
        }
    }
    return false;
}

std::string FramePattern::Expand(int number) const
{
    // Width and precision are at most 99, so the field fits.
    char field[128];
    const char conversion = m_conversion.back();
    if (conversion == 'd' || conversion == 'i')
        std::snprintf(field, sizeof field, m_conversion.c_str(), number);
    else
        std::snprintf(field, sizeof field, m_conversion.c_str(), static_cast<unsigned>(number));
    return m_prefix + field + m_suffix;
}
