// A report as one line of text, the form in which programs without a
// screen tell their user what happened.
#pragma once

#include <string>

// The title, ": ", then the text with each tab written as \t and each line
// break as \n. Null strings count as empty.
std::string FormatReportLine(const char* title, const char* text);

// Writes that line and a line break to standard error, at once.
void WriteReportLine(const char* title, const char* text);
