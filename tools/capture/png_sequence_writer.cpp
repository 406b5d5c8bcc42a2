#include "tools/capture/png_sequence_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool PngSequenceWriter::OpenSequence(const std::string& pattern, const std::string& folderToCreate)
{
    m_still = false;
    std::string problem;
    if (!m_pattern.Parse(pattern, &problem)) {
        m_error = pattern + ": " + problem;
        return false;
    }
    if (!folderToCreate.empty()) {
        if (mkdir(folderToCreate.c_str(), 0777) != 0) {
            m_error = "cannot make the folder " + folderToCreate + ": " + std::strerror(errno);
            return false;
        }
        m_createdFolder = folderToCreate;
    }
    return true;
}

bool PngSequenceWriter::OpenStill(const std::string& path)
{
    m_stillPath = path;
    m_still = true;
    return true;
}

std::string PngSequenceWriter::FileName(int64_t frame) const
{
    return m_still ? m_stillPath : m_pattern.Expand(static_cast<int>(frame));
}

bool PngSequenceWriter::Write(const CapturedFrame& frame)
{
    const std::string path = FileName(frame.index);
    std::string problem;
    if (!m_png.Write(path, static_cast<int>(frame.width), static_cast<int>(frame.height), frame.pixels.data(),
                     frame.pixels.size(), &problem)) {
        m_error = "cannot write " + path + ": " + problem;
        return false;
    }
    m_bytes += m_png.LastFileBytes();
    ++m_written;
    return true;
}

bool PngSequenceWriter::Finish(int64_t frames, bool complete)
{
    (void)frames;
    (void)complete;
    return true;
}

void PngSequenceWriter::Discard()
{
    for (int64_t i = 0; i < m_written; ++i) {
        std::remove(FileName(i).c_str());
    }
    m_written = 0;
    m_bytes = 0;
    if (!m_createdFolder.empty()) {
        rmdir(m_createdFolder.c_str());
        m_createdFolder.clear();
    }
}
