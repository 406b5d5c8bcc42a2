// clockprobe MUSIC_FILE [SECONDS]
//
// Plays a music file through the sound library and measures the show clock
// as the player reads it: polled 60 times a second, how far each step lies
// from the wall time elapsed, whether it ever goes back, and how far it lies
// from the audio position. The audio position is rebuilt from the moments
// the mixed-frame count changes (watched every quarter millisecond): a chunk
// handed over at T is heard from T plus the device latency.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "sound/fsound.h"

namespace {

struct Chunk {
    double wallMs;
    double startMs;  // audio position at the start of the chunk
    double lengthMs;
};

struct Poll {
    double wallMs;
    double clockMs;
};

double Percentile(std::vector<double> values, double share)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(share * (values.size() - 1) + 0.5));
    return values[index];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: clockprobe MUSIC_FILE [SECONDS]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 20.0;
    if (!FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS)) {
        std::fprintf(stderr, "clockprobe: no audio output, not even the silent one\n");
        return 1;
    }
    FSoundOutputInfo info{};
    FSOUND_Zolt_GetOutputInfo(&info);
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(argv[1], FSOUND_LOOP_OFF | FSOUND_2D, 0);
    if (stream == nullptr) {
        std::fprintf(stderr, "clockprobe: cannot open %s\n", argv[1]);
        FSOUND_Close();
        return 1;
    }
    const double lengthMs = FSOUND_Stream_GetLengthMs(stream);
    const double runMs = std::min(seconds * 1000.0, lengthMs - 100.0);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    auto wallMs = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
    std::vector<Chunk> chunks;
    std::vector<Poll> polls;
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    int64_t lastFrames = 0;
    double nextPollMs = 0.0;
    const double pollMs = 1000.0 / 60.0;
    for (double now = wallMs(); now < runMs; now = wallMs()) {
        const int64_t frames = FSOUND_Zolt_GetMixedFrames(stream);
        if (frames != lastFrames) {
            chunks.push_back({now, 1000.0 * lastFrames / info.rate, 1000.0 * (frames - lastFrames) / info.rate});
            lastFrames = frames;
        }
        if (now >= nextPollMs) {
            polls.push_back({now, FSOUND_Zolt_GetTimeMs(stream)});
            nextPollMs += pollMs;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
    const double steeringMs = FSOUND_Zolt_GetSteeringMs(stream);
    FSOUND_Stream_Close(stream);
    FSOUND_Close();

    // Skip the first second: the clock starts behind by its margin.
    std::vector<double> steps;
    std::vector<double> stepErrors;
    std::vector<double> offsets;
    std::vector<double> offsetWall;
    int decreases = 0;
    size_t chunk = 0;
    for (size_t i = 1; i < polls.size(); ++i) {
        if (polls[i].clockMs < polls[i - 1].clockMs) {
            ++decreases;
        }
        if (polls[i].wallMs < 1000.0) {
            continue;
        }
        const double step = polls[i].clockMs - polls[i - 1].clockMs;
        steps.push_back(step);
        stepErrors.push_back(std::fabs(step - (polls[i].wallMs - polls[i - 1].wallMs)));
        const double heardAt = polls[i].wallMs - info.latencyMs;
        while (chunk + 1 < chunks.size() && chunks[chunk + 1].wallMs <= heardAt) {
            ++chunk;
        }
        if (chunk < chunks.size() && chunks[chunk].wallMs <= heardAt) {
            const Chunk& c = chunks[chunk];
            const double audible = c.startMs + std::min(heardAt - c.wallMs, c.lengthMs);
            offsets.push_back(polls[i].clockMs - audible);
            offsetWall.push_back(polls[i].wallMs);
        }
    }
    auto meanOffsetBetween = [&](double fromMs, double toMs) {
        double sum = 0.0;
        int count = 0;
        for (size_t i = 0; i < offsets.size(); ++i) {
            if (offsetWall[i] >= fromMs && offsetWall[i] < toMs) {
                sum += offsets[i];
                ++count;
            }
        }
        return count > 0 ? sum / count : 0.0;
    };

    std::printf("driver %s, %d Hz, %d-frame chunks, assumed latency %.1f ms\n", info.driver, info.rate,
                info.chunkFrames, info.latencyMs);
    std::printf("measured %.1f s: %zu polls at 60 Hz, %zu chunks, %d decreases\n", runMs / 1000.0, polls.size(),
                chunks.size(), decreases);
    if (steps.empty() || offsets.empty()) {
        std::printf("too short to measure\n");
        return 0;
    }
    const double actualChunkMs = (chunks.back().wallMs - chunks.front().wallMs) / (chunks.size() - 1);
    std::printf("chunk every %.3f ms of wall time for %.3f ms of audio (pace %.3f%%)\n", actualChunkMs,
                chunks.back().lengthMs, 100.0 * chunks.back().lengthMs / actualChunkMs);
    std::printf("step per poll: smallest %.3f ms, largest %.3f ms\n", *std::min_element(steps.begin(), steps.end()),
                *std::max_element(steps.begin(), steps.end()));
    std::printf("step minus wall time elapsed: median %.3f ms, 99th percentile %.3f ms, largest %.3f ms\n",
                Percentile(stepErrors, 0.5), Percentile(stepErrors, 0.99),
                *std::max_element(stepErrors.begin(), stepErrors.end()));
    std::printf("clock minus audio position: smallest %.2f ms, largest %.2f ms, median %.2f ms\n",
                *std::min_element(offsets.begin(), offsets.end()), *std::max_element(offsets.begin(), offsets.end()),
                Percentile(offsets, 0.5));
    const double early = meanOffsetBetween(1000.0, 6000.0);
    const double late = meanOffsetBetween(runMs - 5000.0, runMs);
    std::printf("mean offset seconds 1-6: %.3f ms, last 5 s: %.3f ms (drift %.3f ms)\n", early, late, late - early);
    std::printf("steering toward the decoder: %.2f ms\n", steeringMs);
    return 0;
}
