// Captures the reports made while it lives, in order, as the player's
// message boxes would show them. Tests hold one for a stretch of code, or
// derive their fixture from it to capture the whole test. Boxes shown
// directly (the player's own sink, MessageBoxA) are captured too.
#pragma once

#include <string>
#include <vector>

#include "platform/report/report.h"
#include "platform/win32/message_box.h"
#include "platform/win32/report_box.h"

class BoxCapture {
public:
    BoxCapture()
    {
        m_previous = SetReportSink([this](ReportSeverity severity, const char* title, const char* text) {
            boxes.push_back(MessageBoxRecord{title, text, MessageBoxStyle(severity)});
        });
        SetMessageBoxHook([this](const MessageBoxRecord& box) { boxes.push_back(box); });
    }
    ~BoxCapture()
    {
        SetMessageBoxHook(nullptr);
        SetReportSink(m_previous);
    }
    BoxCapture(const BoxCapture&) = delete;
    BoxCapture& operator=(const BoxCapture&) = delete;

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const MessageBoxRecord& box : boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }

    std::vector<std::string> Titles() const
    {
        std::vector<std::string> titles;
        for (const MessageBoxRecord& box : boxes) {
            titles.push_back(box.title);
        }
        return titles;
    }

    std::vector<MessageBoxRecord> boxes;

private:
    ReportSink m_previous;
};
