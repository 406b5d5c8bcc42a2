#include "scene/chains_together.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <system_error>
#include <thread>

#ifndef __EMSCRIPTEN__
#include <unistd.h>
#endif

#include "scene/mesh.h"

namespace {

#ifndef __EMSCRIPTEN__

// One helper thread, started on first use and joined when the program ends.
// The work of a call is a list of meshes; both threads take the next mesh
// from a shared counter until none is left, so a large mesh on one side does
// not leave the other idle.
class ChainHelper {
public:
    ~ChainHelper()
    {
        if (!m_thread.joinable()) {
            return;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    // False when there is no helper to share with (the caller runs alone).
    bool Run(CMesh* const* meshes, size_t count)
    {
        if (!Started()) {
            return false;
        }
        m_meshes = meshes;
        m_count = count;
        m_next.store(0, std::memory_order_relaxed);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_busy = true;
            ++m_round;
        }
        m_wake.notify_one();
        TakeMeshes();
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [this] { return !m_busy; });
        return true;
    }

private:
    bool Started()
    {
        // A forked child has no copy of the helper thread.
        const pid_t pid = getpid();
        if (m_thread.joinable()) {
            return pid == m_owner;
        }
        if (m_failed || std::thread::hardware_concurrency() < 2) {
            return false;
        }
        try {
            m_thread = std::thread([this] { Serve(); });
        } catch (const std::system_error&) {
            m_failed = true;
            return false;
        }
        m_owner = pid;
        return true;
    }

    void Serve()
    {
        uint64_t seen = 0;
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stopping || m_round != seen; });
            if (m_stopping) {
                return;
            }
            seen = m_round;
            lock.unlock();
            TakeMeshes();
            lock.lock();
            m_busy = false;
            m_done.notify_one();
        }
    }

    void TakeMeshes()
    {
        for (;;) {
            const size_t i = m_next.fetch_add(1, std::memory_order_relaxed);
            if (i >= m_count) {
                return;
            }
            m_meshes[i]->RunEvaluation();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::thread m_thread;
    pid_t m_owner = 0;
    bool m_failed = false;
    bool m_stopping = false;
    bool m_busy = false;
    uint64_t m_round = 0;
    CMesh* const* m_meshes = nullptr;
    size_t m_count = 0;
    std::atomic<size_t> m_next{0};
};

// Serialises callers: scenes drawn from more than one thread share the helper.
std::mutex g_helperUse;

ChainHelper& Helper()
{
    static ChainHelper helper;
    return helper;
}

#endif

std::atomic<bool> g_together{true};

void RunAlone(CMesh* const* meshes, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        meshes[i]->RunEvaluation();
    }
}

} // namespace

void EvaluateChainsTogether(std::vector<CMesh*>* meshes)
{
    const auto kept = std::remove_if(meshes->begin(), meshes->end(),
                                     [](CMesh* mesh) { return mesh == nullptr || !mesh->BeginEvaluation(); });
    meshes->erase(kept, meshes->end());
    const size_t count = meshes->size();
    bool shared = false;
#ifndef __EMSCRIPTEN__
    if (count >= 2 && g_together.load(std::memory_order_relaxed)) {
        std::lock_guard<std::mutex> lock(g_helperUse);
        shared = Helper().Run(meshes->data(), count);
    }
#endif
    if (!shared) {
        RunAlone(meshes->data(), count);
    }
    for (CMesh* mesh : *meshes) {
        mesh->EndEvaluation();
    }
}

void SetChainsRunTogether(bool enabled)
{
    g_together.store(enabled, std::memory_order_relaxed);
}
