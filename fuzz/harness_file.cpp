#include "fuzz/harness_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {
std::string g_path;
} // namespace

const std::string& MakeHarnessFile(const char* extension)
{
    const char* tmp = std::getenv("TMPDIR");
    g_path = std::string(tmp != nullptr ? tmp : "/tmp") + "/zolt-fuzz-" + std::to_string(getpid()) + extension;
    std::atexit([] { std::remove(g_path.c_str()); });
    return g_path;
}

bool WriteHarnessFile(const uint8_t* data, size_t size)
{
    std::FILE* file = std::fopen(g_path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}
