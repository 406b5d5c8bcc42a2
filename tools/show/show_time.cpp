#include "tools/show/show_time.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace show {

namespace {

// Decimal text of a finite value, read as a float32 correctly rounded.
bool DecimalToFloat(const std::string& text, float* value)
{
    float parsed = 0.0f;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (result.ec == std::errc::result_out_of_range || result.ptr != text.data() + text.size())
        return false;
    if (result.ec != std::errc() || !std::isfinite(parsed))
        return false;
    *value = parsed;
    return true;
}

bool AllDigits(const std::string& text)
{
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Below this many milliseconds (about eleven days) clock times are written;
// anything larger keeps its bits.
constexpr float kLongestClockTime = 1e12f;

} // namespace

bool SecondsToMilliseconds(double seconds, float* ms, std::string* why)
{
    if (std::isnan(seconds)) {
        *why = "a time cannot be NaN";
        return false;
    }
    if (seconds < 0.0) {
        *why = "a time cannot be negative";
        return false;
    }
    if (std::isinf(seconds)) {
        *why = "a time must be finite";
        return false;
    }
    // The shortest decimal of the number, with the exponent moved by three.
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, seconds, std::chars_format::scientific);
    std::string decimal(text, result.ptr);
    const size_t e = decimal.find('e');
    const long exponent = std::strtol(decimal.c_str() + e + 1, nullptr, 10) + 3;
    decimal = decimal.substr(0, e) + "e" + std::to_string(exponent);
    if (!DecimalToFloat(decimal, ms)) {
        *why = "a time beyond the float range of milliseconds";
        return false;
    }
    return true;
}

bool ParseClockTime(const std::string& text, float* ms, std::string* why)
{
    *why = "a time is seconds or \"m:ss.mmm\"";
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 9)
        return false;
    const std::string minutes = text.substr(0, colon);
    const size_t dot = text.find('.', colon);
    const std::string secondsPart = text.substr(colon + 1, dot == std::string::npos ? std::string::npos : dot - colon - 1);
    const std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (!AllDigits(minutes) || secondsPart.size() != 2 || !AllDigits(secondsPart) || !AllDigits(fraction) ||
        (dot != std::string::npos && fraction.empty()))
        return false;
    const int seconds = std::stoi(secondsPart);
    if (seconds >= 60) {
        *why = "the seconds of \"m:ss.mmm\" are below 60";
        return false;
    }
    std::string millis = fraction.substr(0, 3);
    millis.append(3 - millis.size(), '0');
    const int64_t whole = std::stoll(minutes) * 60000 + seconds * 1000 + std::stoi(millis);
    std::string decimal = std::to_string(whole);
    if (fraction.size() > 3)
        decimal += "." + fraction.substr(3);
    if (!DecimalToFloat(decimal, ms)) {
        *why = "a time beyond the float range of milliseconds";
        return false;
    }
    return true;
}

std::string FormatClockTime(float ms)
{
    if (!std::isfinite(ms) || std::signbit(ms) || ms >= kLongestClockTime)
        return "";
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, ms, std::chars_format::fixed);
    const std::string decimal(text, result.ptr);
    const size_t dot = decimal.find('.');
    const int64_t whole = std::stoll(decimal.substr(0, dot));
    const std::string rest = dot == std::string::npos ? "" : decimal.substr(dot + 1);
    char clock[64];
    std::snprintf(clock, sizeof clock, "%lld:%02d.%03d", static_cast<long long>(whole / 60000),
                  static_cast<int>(whole % 60000 / 1000), static_cast<int>(whole % 1000));
    const std::string formatted = std::string(clock) + rest;
    float back = 0.0f;
    std::string why;
    if (!ParseClockTime(formatted, &back, &why) || std::memcmp(&back, &ms, sizeof ms) != 0)
        return "";
    return formatted;
}

} // namespace show
