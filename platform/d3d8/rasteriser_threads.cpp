// Binding the software rasteriser's workers to processors (ZoltSpreadRasteriserThreads).
#include "platform/d3d8/d3d8.h"

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <dirent.h>
#include <sched.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The worker number of a thread named "llvmpipe-N", or -1.
int RasteriserWorker(const char* taskId)
{
    char path[300];
    std::snprintf(path, sizeof(path), "/proc/self/task/%s/comm", taskId);
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) {
        return -1;
    }
    char name[32] = {};
    const bool read = std::fgets(name, sizeof(name), file) != nullptr;
    std::fclose(file);
    constexpr char kPrefix[] = "llvmpipe-";
    if (!read || std::strncmp(name, kPrefix, sizeof(kPrefix) - 1) != 0) {
        return -1;
    }
    char* end = nullptr;
    const long worker = std::strtol(name + sizeof(kPrefix) - 1, &end, 10);
    if (end == name + sizeof(kPrefix) - 1 || (*end != '\n' && *end != '\0') || worker < 0 || worker > 4096) {
        return -1;
    }
    return static_cast<int>(worker);
}

}  // namespace

int ZoltSpreadRasteriserThreads(bool spread)
{
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0) {
        return 0;
    }
    std::vector<int> processors;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            processors.push_back(cpu);
        }
    }
    if (processors.size() < 2) {
        return 0;
    }
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) {
        return 0;
    }
    int bound = 0;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') {
            continue;
        }
        const int worker = RasteriserWorker(entry->d_name);
        if (worker < 0) {
            continue;
        }
        cpu_set_t wanted = allowed;
        if (spread) {
            CPU_ZERO(&wanted);
            CPU_SET(processors[static_cast<size_t>(worker) % processors.size()], &wanted);
        }
        if (sched_setaffinity(static_cast<pid_t>(std::atoi(entry->d_name)), sizeof(wanted), &wanted) == 0) {
            ++bound;
        }
    }
    closedir(tasks);
    return bound;
}

#else

int ZoltSpreadRasteriserThreads(bool)
{
    return 0;
}

#endif
