// The progress bar of a capture on standard error: frames done of the total,
// frames per second and the time left, redrawn in place a few times a second
// while standard error is a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

class ProgressMeter {
public:
    ProgressMeter(std::FILE* out, int64_t total, bool shown);

    // `done` frames are captured; redraws at most ten times a second.
    void Update(int64_t done);
    // Erases the bar, before a message or the summary.
    void Clear();
    // Seconds since the meter was made.
    double Elapsed() const;

    // One line of the bar, for `width` columns of terminal.
    static std::string Format(int64_t done, int64_t total, double framesPerSecond, int width);

private:
    using Clock = std::chrono::steady_clock;
    std::FILE* m_out;
    int64_t m_total;
    bool m_shown;
    bool m_drawn = false;
    Clock::time_point m_start;
    Clock::time_point m_lastDraw;
};
