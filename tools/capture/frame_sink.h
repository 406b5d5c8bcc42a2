// Where captured frames go: a video file or PNG pictures. Write is called on
// the writer thread, one frame at a time in order; Finish or Discard once
// afterwards on the thread that made the sink.
#pragma once

#include <cstdint>
#include <string>

#include "tools/capture/frame_pool.h"

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // False when the output cannot take the frame (the reason in Error()).
    virtual bool Write(const CapturedFrame& frame) = 0;
    // Completes the output after `frames` frames; `complete` is false when
    // the capture was interrupted, and the output then ends with the last
    // frame written. False on failure (the reason in Error()).
    virtual bool Finish(int64_t frames, bool complete) = 0;
    // Closes and removes everything written.
    virtual void Discard() = 0;
    // Bytes on disk after Finish.
    virtual uint64_t BytesWritten() const = 0;

    const std::string& Error() const { return m_error; }

protected:
    std::string m_error;
};
