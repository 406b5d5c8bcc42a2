// Lines of commands from a file descriptor (standard input), taken without
// ever blocking the frame loop: the descriptor is polled, whatever is there
// is read, and complete lines are handed out one at a time.
#pragma once

#include <string>

class CommandInput {
public:
    // A line longer than this is refused whole (its end is skipped).
    static constexpr size_t kMaxLineBytes = 4096;

    explicit CommandInput(int fd) : m_fd(fd) {}

    // Waits at most `timeoutMs` (0: not at all) for input, then reads what
    // is there. False once the input has ended and every line was taken.
    bool Poll(int timeoutMs);
    // The next complete line, without its line end (and without a trailing
    // carriage return); false when none is waiting. *tooLong is set for a
    // line that was cut at kMaxLineBytes (its text is then empty).
    bool TakeLine(std::string* line, bool* tooLong);

private:
    int m_fd;
    std::string m_pending;  // bytes after the last line end
    bool m_skipping = false; // inside a line already refused as too long
    bool m_ended = false;
};
