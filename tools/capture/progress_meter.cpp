#include "tools/capture/progress_meter.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace {

constexpr int kDefaultColumns = 80;

int TerminalColumns(std::FILE* out)
{
    winsize size{};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 20) {
        return size.ws_col;
    }
    return kDefaultColumns;
}

}  // namespace

ProgressMeter::ProgressMeter(std::FILE* out, int64_t total, bool shown)
    : m_out(out), m_total(total), m_shown(shown), m_start(Clock::now()), m_lastDraw(m_start)
{
}

double ProgressMeter::Elapsed() const
{
    return std::chrono::duration<double>(Clock::now() - m_start).count();
}

std::string ProgressMeter::Format(int64_t done, int64_t total, double framesPerSecond, int width)
{
    char figures[96];
    if (framesPerSecond > 0.0 && done < total) {
        const int64_t left = static_cast<int64_t>((total - done) / framesPerSecond + 0.5);
        std::snprintf(figures, sizeof figures, " %lld/%lld frames %5.1f fps %lld:%02lld left",
                      static_cast<long long>(done), static_cast<long long>(total), framesPerSecond,
                      static_cast<long long>(left / 60), static_cast<long long>(left % 60));
    } else {
        std::snprintf(figures, sizeof figures, " %lld/%lld frames", static_cast<long long>(done),
                      static_cast<long long>(total));
    }
    const std::string tail = figures;
    const int barWidth = std::max(10, width - 3 - static_cast<int>(tail.size()));
    const int filled = total > 0 ? static_cast<int>(barWidth * std::min(done, total) / total) : 0;
    return "[" + std::string(static_cast<size_t>(filled), '#') +
           std::string(static_cast<size_t>(barWidth - filled), '.') + "]" + tail;
}

void ProgressMeter::Update(int64_t done)
{
    if (!m_shown) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (done < m_total && m_drawn && now - m_lastDraw < std::chrono::milliseconds(100)) {
        return;
    }
    m_lastDraw = now;
    const double seconds = Elapsed();
    const double rate = seconds > 0.0 ? static_cast<double>(done) / seconds : 0.0;
    std::fprintf(m_out, "\r%s", Format(done, m_total, rate, TerminalColumns(m_out) - 1).c_str());
    std::fflush(m_out);
    m_drawn = true;
}

void ProgressMeter::Clear()
{
    if (m_drawn) {
        std::fprintf(m_out, "\r\033[K");
        std::fflush(m_out);
        m_drawn = false;
    }
}
