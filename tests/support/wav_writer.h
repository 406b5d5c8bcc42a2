// A 16-bit PCM WAV file in memory, for tests that make their own music.
#pragma once

#include <cstdint>
#include <vector>

// `samples` holds the frames' samples interleaved, `channels` a frame.
std::vector<uint8_t> PcmWav(uint32_t sampleRate, uint16_t channels, const std::vector<int16_t>& samples);
