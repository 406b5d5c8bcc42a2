#include "platform/report/report_line.h"

#include <cstdio>

std::string FormatReportLine(const char* title, const char* text)
{
    std::string line = title != nullptr ? title : "";
    line += ": ";
    for (const char* c = text != nullptr ? text : ""; *c != '\0'; ++c) {
        if (*c == '\t') {
            line += "\\t";
        } else if (*c == '\n') {
            line += "\\n";
        } else {
            line += *c;
        }
    }
    return line;
}

void WriteReportLine(const char* title, const char* text)
{
    const std::string line = FormatReportLine(title, text);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}
