#include "tests/support/test_audio.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <string>
#include <sys/stat.h>

namespace {

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

}  // namespace

bool WriteTestMusic(const std::string& path, double seconds, int sampleRate)
{
    char source[128];
    std::snprintf(source, sizeof source, "sine=frequency=440:duration=%.6f:sample_rate=%d", seconds, sampleRate);
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i " + Quoted(source) +
                                " -ac 2 -ar " + std::to_string(sampleRate) + " " + Quoted(path) + " </dev/null";
    if (std::system(command.c_str()) != 0) {
        return false;
    }
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && info.st_size > 0;
}

bool WriteTestModule(const std::string& path)
{
    std::vector<uint8_t> bytes;
    auto putText = [&](const char* text, size_t width) {
        for (size_t i = 0; i < width; ++i) {
            bytes.push_back(i < std::char_traits<char>::length(text) ? static_cast<uint8_t>(text[i]) : 0);
        }
    };
    auto putWord = [&](unsigned value) {  // big-endian 16 bits
        bytes.push_back(static_cast<uint8_t>(value >> 8));
        bytes.push_back(static_cast<uint8_t>(value));
    };
    constexpr unsigned kSampleBytes = 2000;
    putText("zolt test", 20);
    for (int sample = 0; sample < 31; ++sample) {
        putText(sample == 0 ? "tone" : "", 22);
        putWord(sample == 0 ? kSampleBytes / 2 : 0);  // length in words
        bytes.push_back(0);                            // finetune
        bytes.push_back(sample == 0 ? 64 : 0);         // volume
        putWord(0);                                    // loop start
        putWord(1);                                    // loop length: none
    }
    bytes.push_back(1);    // song length: one position
    bytes.push_back(127);  // restart
    for (int position = 0; position < 128; ++position) {
        bytes.push_back(0);
    }
    putText("M.K.", 4);
    // One pattern: 64 rows of 4 cells of 4 bytes. Row 0, channel 0: sample 1
    // at period 428, effect F01 (one tick a row).
    std::vector<uint8_t> pattern(64 * 4 * 4, 0);
    const unsigned period = 428;
    pattern[0] = static_cast<uint8_t>((1 & 0xF0) | ((period >> 8) & 0x0F));
    pattern[1] = static_cast<uint8_t>(period & 0xFF);
    pattern[2] = static_cast<uint8_t>(((1 & 0x0F) << 4) | 0xF);
    pattern[3] = 1;
    bytes.insert(bytes.end(), pattern.begin(), pattern.end());
    for (unsigned i = 0; i < kSampleBytes; ++i) {
        bytes.push_back(static_cast<uint8_t>(static_cast<int8_t>(60.0 * std::sin(2.0 * 3.14159265358979 * i / 16.0))));
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    return std::fclose(file) == 0 && written == bytes.size();
}
