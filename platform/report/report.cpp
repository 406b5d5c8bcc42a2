#include "platform/report/report.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

#include "platform/report/report_line.h"

namespace {

ReportSink& sinkSlot()
{
    static ReportSink sink;
    return sink;
}

void Formatted(ReportSeverity severity, const char* title, const char* format, va_list args)
{
    char buffer[512];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    Report(severity, title, buffer);
}

} // namespace

ReportSink SetReportSink(ReportSink sink)
{
    return std::exchange(sinkSlot(), std::move(sink));
}

void Report(ReportSeverity severity, const char* title, const char* text)
{
    if (sinkSlot()) {
        sinkSlot()(severity, title != nullptr ? title : "", text != nullptr ? text : "");
    } else {
        WriteReportLine(title, text);
    }
}

void ShowError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Formatted(ReportSeverity::Error, "Zolt Engine Error", format, args);
    va_end(args);
}

void ShowWarning(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Formatted(ReportSeverity::Warning, "Zolt Engine Warning", format, args);
    va_end(args);
}
