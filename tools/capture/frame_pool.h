// Frames handed from the render loop to the writer thread. A fixed set of
// picture buffers, allocated once, goes round: the render loop fills an
// empty one and queues it, the writer takes queued ones in order and gives
// them back. The render loop waits only when every buffer is queued, so
// memory stays bounded and nothing is allocated per frame.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct CapturedFrame {
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, top row first
    unsigned width = 0;
    unsigned height = 0;
    int64_t index = 0;
};

class FramePool {
public:
    FramePool(size_t count, size_t pixelsPerFrame);

    // Render side. An empty buffer, waiting while all are queued; null once
    // the pool was stopped.
    CapturedFrame* AcquireEmpty();
    void Queue(CapturedFrame* frame);
    // No more frames will be queued; the writer drains what is left.
    void Close();

    // Writer side. The oldest queued frame, waiting while none is queued;
    // null once closed and drained, or stopped.
    CapturedFrame* TakeQueued();
    void Recycle(CapturedFrame* frame);
    // The writer cannot go on: wakes both sides, which then get null.
    void Stop();
    bool Stopped() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<CapturedFrame>> m_frames;
    std::vector<CapturedFrame*> m_empty;   // a stack: any order will do
    std::vector<CapturedFrame*> m_queued;  // a ring: frames leave in order
    size_t m_head = 0;
    size_t m_count = 0;
    bool m_closed = false;
    bool m_stopped = false;
};
