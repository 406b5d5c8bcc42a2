#include "tools/capture/frame_pool.h"

FramePool::FramePool(size_t count, size_t pixelsPerFrame)
{
    count = count < 1 ? 1 : count;
    m_queued.assign(count, nullptr);
    m_empty.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        m_frames.push_back(std::make_unique<CapturedFrame>());
        m_frames.back()->pixels.reserve(pixelsPerFrame);
        m_empty.push_back(m_frames.back().get());
    }
}

CapturedFrame* FramePool::AcquireEmpty()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_empty.empty() || m_stopped; });
    if (m_stopped) {
        return nullptr;
    }
    CapturedFrame* frame = m_empty.back();
    m_empty.pop_back();
    return frame;
}

void FramePool::Queue(CapturedFrame* frame)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queued[(m_head + m_count) % m_queued.size()] = frame;
        ++m_count;
    }
    m_changed.notify_all();
}

void FramePool::Close()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
    }
    m_changed.notify_all();
}

CapturedFrame* FramePool::TakeQueued()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_count > 0 || m_closed || m_stopped; });
    if (m_stopped || m_count == 0) {
        return nullptr;
    }
    CapturedFrame* frame = m_queued[m_head];
    m_head = (m_head + 1) % m_queued.size();
    --m_count;
    return frame;
}

void FramePool::Recycle(CapturedFrame* frame)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_empty.push_back(frame);
    }
    m_changed.notify_all();
}

void FramePool::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopped = true;
    }
    m_changed.notify_all();
}

bool FramePool::Stopped() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stopped;
}
