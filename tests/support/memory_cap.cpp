#include "tests/support/memory_cap.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#define ZOLT_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOLT_ADDRESS_SANITIZER 1
#endif
#endif

#ifndef ZOLT_ADDRESS_SANITIZER
namespace {

uint64_t MappedBytes()
{
    unsigned long long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm != nullptr) {
        if (std::fscanf(statm, "%llu", &pages) != 1) {
            pages = 0;
        }
        std::fclose(statm);
    }
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

} // namespace
#endif

int RunWithMemoryCap(uint64_t extraBytes, const std::function<int()>& work)
{
#ifdef ZOLT_ADDRESS_SANITIZER
    (void)extraBytes;
    return work();
#else
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const rlim_t cap = MappedBytes() + extraBytes;
        const rlimit limit{cap, cap};
        setrlimit(RLIMIT_AS, &limit);
        _exit(work() & 0xFF);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
#endif
}
