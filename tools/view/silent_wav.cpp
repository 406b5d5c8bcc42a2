#include "tools/view/silent_wav.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace {

void Put(std::vector<uint8_t>* out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out->push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

} // namespace

bool WriteSilentWav(const std::string& path, int seconds)
{
    constexpr uint32_t kRate = 11025, kBytesPerFrame = 2;
    const uint32_t dataBytes = kRate * kBytesPerFrame * static_cast<uint32_t>(seconds);
    std::vector<uint8_t> header;
    header.insert(header.end(), {'R', 'I', 'F', 'F'});
    Put(&header, 36 + dataBytes, 4);
    header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put(&header, 16, 4);
    Put(&header, 1, 2); // PCM
    Put(&header, 1, 2); // mono
    Put(&header, kRate, 4);
    Put(&header, kRate * kBytesPerFrame, 4);
    Put(&header, kBytesPerFrame, 2);
    Put(&header, 16, 2);
    header.insert(header.end(), {'d', 'a', 't', 'a'});
    Put(&header, dataBytes, 4);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    const std::vector<char> silence(dataBytes, 0);
    file.write(silence.data(), static_cast<std::streamsize>(silence.size()));
    file.close();
    return static_cast<bool>(file);
}
