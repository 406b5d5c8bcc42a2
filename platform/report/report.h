// Where the engine's messages go. Every room reports through here; the
// program that hosts the engine decides what a report becomes: the player
// shows a message box, the tools print a line on standard error, the tests
// keep them to look at. Until a host says otherwise, reports are printed.
#pragma once

#include <functional>

enum class ReportSeverity {
    Plain,   // a message without an icon
    Warning,
    Error,
};

using ReportSink = std::function<void(ReportSeverity severity, const char* title, const char* text)>;

// Installs `sink` and returns the one it replaces. An empty sink brings back
// the printed line.
ReportSink SetReportSink(ReportSink sink);

void Report(ReportSeverity severity, const char* title, const char* text);

// The engine's two formatted reports, titled "Zolt Engine Error" and "Zolt
// Engine Warning". Both format into a 512-byte buffer (a message keeps
// within 511 characters); neither ends the program.
void ShowError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ShowWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
