// The zolt program: plays the show found in the working directory. Its
// messages are boxes on the screen (and lines on standard error).
#include "app/win_main.h"
#include "platform/report/report.h"
#include "platform/win32/report_box.h"
#include "platform/win32/window.h"

int main()
{
    SetReportSink(ShowReportBox);
    return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
}
