// Captures the message boxes shown while it lives, in order. Tests hold one
// for a stretch of code, or derive their fixture from it to capture the
// whole test.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/message_box.h"

class BoxCapture {
public:
    BoxCapture()
    {
        SetMessageBoxHook([this](const MessageBoxRecord& box) { boxes.push_back(box); });
    }
    ~BoxCapture() { SetMessageBoxHook(nullptr); }
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
};
