// Captured frames as PNG pictures: a numbered sequence, file n holding frame
// n (the name made from a printf pattern with one integer field), or one
// still at a fixed name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/capture/frame_sink.h"
#include "tools/common/frame_pattern.h"
#include "tools/common/png_file.h"

class PngSequenceWriter : public FrameSink {
public:
    // A sequence: `pattern` holds one integer field (FramePattern).
    // `folderToCreate`, when not empty, is made first (and removed again by
    // Discard).
    bool OpenSequence(const std::string& pattern, const std::string& folderToCreate);
    // One picture at `path`.
    bool OpenStill(const std::string& path);

    bool Write(const CapturedFrame& frame) override;
    bool Finish(int64_t frames, bool complete) override;
    void Discard() override;
    uint64_t BytesWritten() const override { return m_bytes; }

    // The file that holds frame n.
    std::string FileName(int64_t frame) const;

private:
    FramePattern m_pattern;
    std::string m_stillPath;
    bool m_still = false;
    std::string m_createdFolder;
    PngFileWriter m_png;
    int64_t m_written = 0;
    uint64_t m_bytes = 0;
};
