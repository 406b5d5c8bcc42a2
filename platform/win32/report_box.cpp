#include "platform/win32/report_box.h"

#include "platform/win32/message_box.h"

namespace {
HWND g_owner = nullptr;
}

void SetErrorBoxOwner(HWND window)
{
    g_owner = window;
}

HWND GetErrorBoxOwner()
{
    return g_owner;
}

UINT MessageBoxStyle(ReportSeverity severity)
{
    switch (severity) {
    case ReportSeverity::Error:
        return MB_ICONERROR;
    case ReportSeverity::Warning:
        return MB_ICONWARNING;
    case ReportSeverity::Plain:
        break;
    }
    return MB_OK;
}

void ShowReportBox(ReportSeverity severity, const char* title, const char* text)
{
    MessageBoxA(g_owner, text, title, MessageBoxStyle(severity));
}
