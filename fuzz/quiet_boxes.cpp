#include "fuzz/quiet_boxes.h"

#include "platform/report/report.h"

void SilenceMessageBoxes()
{
    SetReportSink([](ReportSeverity, const char*, const char*) {});
}
