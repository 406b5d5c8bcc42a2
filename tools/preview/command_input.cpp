#include "tools/preview/command_input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

bool CommandInput::Poll(int timeoutMs)
{
    if (m_ended) {
        return m_pending.find('\n') != std::string::npos;
    }
    pollfd entry{m_fd, POLLIN, 0};
    const int ready = poll(&entry, 1, timeoutMs);
    if (ready <= 0 || (entry.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) {
        return true;
    }
    char buffer[4096];
    const ssize_t got = read(m_fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
        return true;
    }
    if (got <= 0) {
        m_ended = true;
        // A last line without its line end still counts.
        if (!m_pending.empty() || m_skipping) {
            m_pending.push_back('\n');
        }
        return m_pending.find('\n') != std::string::npos;
    }
    m_pending.append(buffer, static_cast<size_t>(got));
    return true;
}

bool CommandInput::TakeLine(std::string* line, bool* tooLong)
{
    *tooLong = false;
    const size_t end = m_pending.find('\n');
    if (end == std::string::npos) {
        // Bounded: a line that cannot end within the limit is dropped now
        // and refused once its end arrives.
        if (m_pending.size() > kMaxLineBytes) {
            m_pending.clear();
            m_skipping = true;
        }
        return false;
    }
    if (m_skipping || end > kMaxLineBytes) {
        m_skipping = false;
        m_pending.erase(0, end + 1);
        line->clear();
        *tooLong = true;
        return true;
    }
    line->assign(m_pending, 0, end);
    m_pending.erase(0, end + 1);
    if (!line->empty() && line->back() == '\r') {
        line->pop_back();
    }
    return true;
}
