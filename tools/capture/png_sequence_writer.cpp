#include "tools/capture/png_sequence_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <stb/stb_image_write.h>

namespace {

constexpr size_t kLongestName = 4096;

uint64_t FileSize(const char* path)
{
    struct stat info {};
    return stat(path, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

}  // namespace

bool PngSequenceWriter::OpenSequence(const std::string& pattern, const std::string& folderToCreate)
{
    m_pattern = pattern;
    m_still = false;
    m_name.assign(kLongestName, '\0');
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
    m_pattern = path;
    m_still = true;
    m_name.assign(kLongestName, '\0');
    return true;
}

std::string PngSequenceWriter::FileName(int64_t frame) const
{
    if (m_still) {
        return m_pattern;
    }
    char name[kLongestName];
    std::snprintf(name, sizeof name, m_pattern.c_str(), static_cast<int>(frame));
    return name;
}

bool PngSequenceWriter::Write(const CapturedFrame& frame)
{
    const char* path = m_pattern.c_str();
    if (!m_still) {
        const int length = std::snprintf(m_name.data(), m_name.size(), m_pattern.c_str(), static_cast<int>(frame.index));
        if (length < 0 || static_cast<size_t>(length) >= m_name.size()) {
            m_error = "the file name made from " + m_pattern + " is too long";
            return false;
        }
        path = m_name.data();
    }
    const size_t count = static_cast<size_t>(frame.width) * frame.height;
    m_rgb.resize(count * 3);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t pixel = frame.pixels[i];
        m_rgb[i * 3 + 0] = static_cast<uint8_t>(pixel >> 16);
        m_rgb[i * 3 + 1] = static_cast<uint8_t>(pixel >> 8);
        m_rgb[i * 3 + 2] = static_cast<uint8_t>(pixel);
    }
    errno = 0;
    if (stbi_write_png(path, static_cast<int>(frame.width), static_cast<int>(frame.height), 3, m_rgb.data(),
                       static_cast<int>(frame.width * 3)) == 0) {
        m_error = std::string("cannot write ") + path + (errno != 0 ? std::string(": ") + std::strerror(errno) : "");
        // A file opened but not completed is not left behind.
        std::remove(path);
        return false;
    }
    m_bytes += FileSize(path);
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
