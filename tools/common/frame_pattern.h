// File-name patterns of picture sequences: text holding exactly one
// printf-style integer field ("out/%04d.png"), with "%%" for a percent sign.
// The pattern is checked and expanded here, field by field, so that user
// text never reaches printf as a format.
#pragma once

#include <string>

class FramePattern {
public:
    // Checks the pattern: exactly one conversion d, i, u, o, x or X, with
    // optional flags from "-+ 0", a width and a precision of at most two
    // digits each, and no length modifier; every other '%' doubled. False
    // with a reason otherwise.
    bool Parse(const std::string& pattern, std::string* problem);

    // The file name of picture `number` (not negative).
    std::string Expand(int number) const;

    // Whether `text` holds a '%' that is not part of "%%": a name meant as a
    // pattern.
    static bool HoldsField(const std::string& text);

private:
    std::string m_prefix;     // literal text before the field, "%%" undone
    std::string m_conversion; // the checked field alone, e.g. "%04d"
    std::string m_suffix;     // literal text after the field
};
