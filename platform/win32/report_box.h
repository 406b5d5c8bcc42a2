// Reports as the player shows them: a modal message box for each, owned by
// the show's window once it exists, with the severity's icon.
#pragma once

#include "platform/report/report.h"
#include "platform/win32/win32_types.h"

// The owner of every later box; null until the window exists.
void SetErrorBoxOwner(HWND window);
HWND GetErrorBoxOwner();

// MB_OK for a plain report, MB_ICONWARNING, MB_ICONERROR.
UINT MessageBoxStyle(ReportSeverity severity);

// A report sink: the box, titled `title`, saying `text`.
void ShowReportBox(ReportSeverity severity, const char* title, const char* text);
