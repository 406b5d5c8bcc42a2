#include "tools/import/memory_limit.h"

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define ZOLT_IMPORT_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOLT_IMPORT_UNDER_ASAN 1
#endif
#endif

namespace import {

uint64_t DefaultMemoryLimit()
{
    constexpr uint64_t kGiB = 1ull << 30;
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    const uint64_t physical = pages > 0 && pageSize > 0 ? static_cast<uint64_t>(pages) * pageSize : 4 * kGiB;
    return std::clamp(physical / 2, 2 * kGiB, 8 * kGiB);
}

void LimitProcessMemory(uint64_t bytes)
{
#ifndef ZOLT_IMPORT_UNDER_ASAN
    rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) == 0 && (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > bytes)) {
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_AS, &limit);
    }
#else
    (void)bytes;
#endif
}

} // namespace import
