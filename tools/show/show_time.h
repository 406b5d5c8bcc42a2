// Times of effect windows: the script holds float32 milliseconds of music,
// a show file writes seconds (a number) or "m:ss.mmm" (any number of
// fraction digits). Both are read as exact decimals and rounded once to the
// nearest float32 of milliseconds, so "1:02.5" and 62.5 give the same bits.
#pragma once

#include <string>

namespace show {

// False with the reason in *why for a value that is NaN, negative or beyond
// the float range.
bool SecondsToMilliseconds(double seconds, float* ms, std::string* why);
bool ParseClockTime(const std::string& text, float* ms, std::string* why);

// "m:ss.mmm..." that ParseClockTime turns back into exactly ms, or "" when
// there is none (NaN, infinities, negative values and -0, very large times).
std::string FormatClockTime(float ms);

} // namespace show
