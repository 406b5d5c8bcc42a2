#include "tools/import/child_process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define ZOLT_CHILD_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOLT_CHILD_UNDER_ASAN 1
#endif
#endif

namespace import {

namespace {

// The child's side: runs the work, writes its bytes, and ends without
// running the parent's exit handlers or flushing its buffers.
[[noreturn]] void RunChild(const std::function<std::vector<uint8_t>()>& work, int out)
{
#ifndef ZOLT_CHILD_UNDER_ASAN
    // The library prints assertion failures; the parent reports one line.
    // (A sanitizer's report is kept.)
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        close(null);
    }
#endif
    std::vector<uint8_t> bytes;
    try {
        bytes = work();
    } catch (...) {
        _exit(3);
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(out, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            _exit(4);
        }
        done += static_cast<size_t>(n);
    }
    _exit(0);
}

int WaitFor(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

std::string Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

} // namespace

bool RunInChild(const std::function<std::vector<uint8_t>()>& work, double seconds, std::vector<uint8_t>* result,
                std::string* reason)
{
    result->clear();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *reason = std::string("could not start a process (") + std::strerror(errno) + ")";
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        *reason = std::string("could not start a process (") + std::strerror(errno) + ")";
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (child == 0) {
        close(fds[0]);
        RunChild(work, fds[1]);
    }
    close(fds[1]);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    bool timedOut = false;
    uint8_t chunk[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd waiting{fds[0], POLLIN, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        result->insert(result->end(), chunk, chunk + n);
    }
    close(fds[0]);
    if (timedOut) {
        kill(child, SIGKILL);
        WaitFor(child);
        result->clear();
        *reason = "took longer than " + Seconds(seconds) + " seconds";
        return false;
    }
    const int status = WaitFor(child);
    if (WIFSIGNALED(status)) {
        result->clear();
        *reason = std::string("crashed (") + strsignal(WTERMSIG(status)) + ")";
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        result->clear();
        *reason = "stopped with status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        return false;
    }
    return true;
}

} // namespace import
