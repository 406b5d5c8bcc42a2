#include "tools/common/png_file.h"

#include <stb/stb_image_write.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void AppendBytes(void* context, void* data, int size)
{
    auto* bytes = static_cast<std::vector<uint8_t>*>(context);
    const auto* begin = static_cast<const uint8_t*>(data);
    bytes->insert(bytes->end(), begin, begin + size);
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

// The process's file-creation mask, read without changing it: a umask(0)
// round trip would for a moment let other threads (the capture draws while
// it writes) create files open to everyone.
mode_t CreationMask()
{
    static const mode_t mask = [] {
        if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            unsigned value = 0;
            bool found = false;
            while (!found && std::fgets(line, sizeof line, status) != nullptr) {
                found = std::sscanf(line, "Umask: %o", &value) == 1;
            }
            std::fclose(status);
            if (found) {
                return static_cast<mode_t>(value);
            }
        }
        const mode_t current = umask(0);
        umask(current);
        return current;
    }();
    return mask;
}

} // namespace

bool PngFileWriter::Write(const std::string& path, int width, int height, const uint32_t* pixels, size_t pixelCount,
                          std::string* problem)
{
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (width <= 0 || height <= 0 || pixels == nullptr || pixelCount < count) {
        *problem = "no picture to write";
        return false;
    }
    m_rgb.resize(count * 3);
    for (size_t i = 0; i < count; ++i) {
        m_rgb[i * 3 + 0] = static_cast<uint8_t>(pixels[i] >> 16);
        m_rgb[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        m_rgb[i * 3 + 2] = static_cast<uint8_t>(pixels[i]);
    }
    m_png.clear();
    if (stbi_write_png_to_func(AppendBytes, &m_png, width, height, 3, m_rgb.data(), width * 3) == 0 ||
        m_png.empty()) {
        *problem = "cannot encode the picture";
        return false;
    }

    // The temporary file lies in the same folder so that the rename stays
    // on one file system and replaces the target in one step.
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        *problem = std::strerror(errno);
        return false;
    }
    bool written = WriteAll(fd, m_png);
    int error = errno;
    // mkstemp makes the file readable by its owner only; a picture is
    // readable like any other file the user writes.
    fchmod(fd, 0666 & ~CreationMask());
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && std::rename(temporary.c_str(), path.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        unlink(temporary.c_str());
        *problem = std::strerror(error);
        return false;
    }
    return true;
}

bool WriteRgbPng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels,
                 std::string* problem)
{
    PngFileWriter writer;
    return writer.Write(path, width, height, pixels.data(), pixels.size(), problem);
}
