// The rasteriser's workers are spread one to a processor: each thread named
// "llvmpipe-N" is bound to the N-th processor the process may use (round the
// set again past its end), other threads keep their affinity, set free the
// workers may use every processor again, and a process allowed a single
// processor binds nothing. Threads of our own stand in for
// the driver's, so the test does not depend on which driver runs; the
// driver's own workers are checked too where there are some.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "tests/support/headless_device.h"

namespace {

std::vector<int> Processors(const cpu_set_t& set)
{
    std::vector<int> processors;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set))
            processors.push_back(cpu);
    return processors;
}

std::vector<int> ThreadProcessors(pid_t tid)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    EXPECT_EQ(sched_getaffinity(tid, sizeof(set), &set), 0);
    return Processors(set);
}

// The process's threads whose names begin with "llvmpipe-", with their ids.
std::vector<std::pair<std::string, pid_t>> DriverWorkers()
{
    std::vector<std::pair<std::string, pid_t>> workers;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return workers;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string path = std::string("/proc/self/task/") + entry->d_name + "/comm";
        FILE* file = std::fopen(path.c_str(), "r");
        char name[32] = {};
        if (file == nullptr)
            continue;
        if (std::fgets(name, sizeof(name), file) != nullptr && std::strncmp(name, "llvmpipe-", 9) == 0) {
            name[std::strcspn(name, "\n")] = '\0';
            workers.emplace_back(name, static_cast<pid_t>(std::atoi(entry->d_name)));
        }
        std::fclose(file);
    }
    closedir(tasks);
    return workers;
}

// A thread that names itself and waits until it is let go.
class NamedThread {
public:
    explicit NamedThread(const char* name)
        : m_thread([this, name] {
              pthread_setname_np(pthread_self(), name);
              std::unique_lock<std::mutex> lock(m_mutex);
              m_tid = gettid();
              m_changed.notify_all();
              m_changed.wait(lock, [this] { return m_done; });
          })
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_tid != 0; });
    }
    ~NamedThread()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    pid_t Tid() const { return m_tid; }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    pid_t m_tid = 0;
    bool m_done = false;
    std::thread m_thread;
};

TEST(RasteriserThreads, EachWorkerIsBoundToAProcessorOfItsOwn)
{
    cpu_set_t allowedSet;
    CPU_ZERO(&allowedSet);
    ASSERT_EQ(sched_getaffinity(0, sizeof(allowedSet), &allowedSet), 0);
    const std::vector<int> allowed = Processors(allowedSet);
    if (allowed.size() < 2)
        GTEST_SKIP() << "the process may use one processor only";

    // The device spreads the driver's workers when it is made.
    HeadlessDevice device;
    ASSERT_TRUE(device);
    for (const auto& [name, tid] : DriverWorkers()) {
        const int worker = std::atoi(name.c_str() + 9);
        EXPECT_EQ(ThreadProcessors(tid), std::vector<int>{allowed[static_cast<size_t>(worker) % allowed.size()]})
            << name;
    }
    const size_t driverWorkers = DriverWorkers().size();

    // Worker numbers past the processors' count go round the set again;
    // names that only look alike are not the driver's workers.
    const size_t past = allowed.size() * 2 + 1;
    const std::string pastName = "llvmpipe-" + std::to_string(past);
    NamedThread first("llvmpipe-0");
    NamedThread beyond(pastName.c_str());
    NamedThread noNumber("llvmpipe-");
    NamedThread trailing("llvmpipe-1x");
    NamedThread other("renderer-1");
    EXPECT_EQ(ZoltSpreadRasteriserThreads(true), static_cast<int>(driverWorkers) + 2);
    EXPECT_EQ(ThreadProcessors(first.Tid()), std::vector<int>{allowed[0]});
    EXPECT_EQ(ThreadProcessors(beyond.Tid()), std::vector<int>{allowed[past % allowed.size()]});
    EXPECT_EQ(ThreadProcessors(noNumber.Tid()), allowed);
    EXPECT_EQ(ThreadProcessors(trailing.Tid()), allowed);
    EXPECT_EQ(ThreadProcessors(other.Tid()), allowed);
    EXPECT_EQ(ThreadProcessors(0), allowed) << "the drawing thread keeps its processors";

    // Set free, the workers may use every processor again.
    EXPECT_EQ(ZoltSpreadRasteriserThreads(false), static_cast<int>(driverWorkers) + 2);
    EXPECT_EQ(ThreadProcessors(first.Tid()), allowed);
    EXPECT_EQ(ThreadProcessors(beyond.Tid()), allowed);
    for (const auto& [name, tid] : DriverWorkers())
        EXPECT_EQ(ThreadProcessors(tid), allowed) << name;
    EXPECT_EQ(ZoltSpreadRasteriserThreads(true), static_cast<int>(driverWorkers) + 2);

    // A process held to one processor has nothing to spread.
    NamedThread lone("llvmpipe-1");
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(allowed[0], &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
    EXPECT_EQ(ZoltSpreadRasteriserThreads(true), 0);
    ASSERT_EQ(sched_setaffinity(0, sizeof(allowedSet), &allowedSet), 0);
    EXPECT_EQ(ThreadProcessors(lone.Tid()), allowed);
}

}  // namespace
