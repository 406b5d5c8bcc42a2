// The show clock fed with simulated mixing passes: a fake audio thread hands
// chunks over at chosen times, and the main thread polls the clock at 60 Hz.
#include "sound/show_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChunk = 1024;
constexpr double kChunkMs = 1000.0 * kChunk / kRate;  // 23.22 ms
constexpr double kMarginMs = kChunkMs / 2;
constexpr double kPollMs = 1000.0 / 60.0;

struct Scenario {
    double seconds = 10.0;
    double latencyMs = 0.0;
    // Wall time between mixing pass k-1 and pass k (k >= 1), in ms.
    std::function<double(int)> gapMs = [](int) { return kChunkMs; };
    // The decoder's position after a pass, from the frames handed so far;
    // unset means the decoder cannot tell.
    std::function<double(double)> decoderFrames;
};

struct Poll {
    double wallMs;
    double clockMs;
    // What the listener hears: the chunk handed at T plays from T + latency.
    double audibleMs;
    // End of what had been handed over, minus the latency.
    double handedMs;
};

int64_t ToNs(double ms)
{
    return static_cast<int64_t>(std::llround(ms * 1e6));
}

std::vector<Poll> Simulate(const Scenario& scenario, ShowClock* clock)
{
    clock->Reset(kRate, scenario.latencyMs, kMarginMs);
    std::vector<double> passTimes;
    std::vector<Poll> polls;
    const double startMs = 1000.0;  // an arbitrary origin of the time source
    double nextPassMs = startMs;
    double handedFrames = 0.0;
    double nextPollMs = startMs - 3 * kPollMs;
    const double endMs = startMs + scenario.seconds * 1000.0;
    while (nextPollMs < endMs) {
        if (nextPassMs <= nextPollMs) {
            passTimes.push_back(nextPassMs);
            handedFrames += kChunk;
            const double decoder = scenario.decoderFrames ? scenario.decoderFrames(handedFrames) : -1.0;
            clock->OnMixed(kChunk, ToNs(nextPassMs), decoder);
            nextPassMs += scenario.gapMs(static_cast<int>(passTimes.size()));
            continue;
        }
        Poll poll{};
        poll.wallMs = nextPollMs;
        poll.clockMs = clock->NowMs(ToNs(nextPollMs));
        const double heardFrom = nextPollMs - scenario.latencyMs;
        const auto playing = std::upper_bound(passTimes.begin(), passTimes.end(), heardFrom);
        if (playing != passTimes.begin()) {
            const size_t index = static_cast<size_t>(playing - passTimes.begin()) - 1;
            poll.audibleMs = index * kChunkMs + std::min(heardFrom - passTimes[index], kChunkMs);
        }
        poll.handedMs = 1000.0 * handedFrames / kRate - scenario.latencyMs;
        polls.push_back(poll);
        nextPollMs += kPollMs;
    }
    return polls;
}

struct Summary {
    double largestStepError = 0.0;  // |clock step - wall step| over every poll after the start
    double largestLead = -1e9;      // clock - audible
    double largestLag = -1e9;       // audible - clock
    bool decreased = false;
    bool passedHanded = false;
};

Summary Summarize(const std::vector<Poll>& polls, double settleMs)
{
    Summary summary;
    for (size_t i = 1; i < polls.size(); ++i) {
        const Poll& poll = polls[i];
        if (poll.clockMs < polls[i - 1].clockMs) {
            summary.decreased = true;
        }
        if (poll.clockMs > poll.handedMs + 1e-6 && poll.clockMs > 0.0) {
            summary.passedHanded = true;
        }
        if (poll.wallMs - polls.front().wallMs < settleMs) {
            continue;
        }
        const double step = poll.clockMs - polls[i - 1].clockMs;
        summary.largestStepError = std::max(summary.largestStepError, std::fabs(step - kPollMs));
        summary.largestLead = std::max(summary.largestLead, poll.clockMs - poll.audibleMs);
        summary.largestLag = std::max(summary.largestLag, poll.audibleMs - poll.clockMs);
    }
    return summary;
}

// The offset from the audible position, averaged over a stretch of polls.
double MeanOffset(const std::vector<Poll>& polls, size_t from, size_t count)
{
    double sum = 0.0;
    for (size_t i = from; i < from + count; ++i) {
        sum += polls[i].clockMs - polls[i].audibleMs;
    }
    return sum / count;
}

TEST(ShowClock, StartsAtZeroAndStaysThereUntilTheFirstChunk)
{
    ShowClock clock;
    clock.Reset(kRate, 0.0, kMarginMs);
    EXPECT_EQ(clock.NowMs(ToNs(5000)), 0.0);
    clock.OnMixed(kChunk, ToNs(6000), -1.0);
    EXPECT_EQ(clock.NowMs(ToNs(6000)), 0.0);  // behind by the margin, held at 0
    EXPECT_NEAR(clock.NowMs(ToNs(6020)), 20.0 - kMarginMs, 1e-6);
    EXPECT_EQ(clock.MixedFrames(), kChunk);

    clock.Reset(kRate, 0.0, kMarginMs);
    EXPECT_EQ(clock.NowMs(ToNs(7000)), 0.0);
    EXPECT_EQ(clock.MixedFrames(), 0);
}

TEST(ShowClock, RealTimeChunksGiveEvenStepsBehindTheAudioByTheMargin)
{
    ShowClock clock;
    const std::vector<Poll> polls = Simulate(Scenario(), &clock);
    const Summary summary = Summarize(polls, 200.0);
    EXPECT_LT(summary.largestStepError, 0.01);
    EXPECT_FALSE(summary.decreased);
    EXPECT_FALSE(summary.passedHanded);
    EXPECT_NEAR(polls.back().clockMs - polls.back().audibleMs, -kMarginMs, 0.01);
}

// SDL's silent driver sleeps whole milliseconds after each chunk and never
// makes up lost time: passes come every 23 ms plus scheduling delays.
TEST(ShowClock, SilentDriverPaceWithJitterStaysSmoothCloseAndWithoutDrift)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> delay(0.0, 1.0);
    Scenario scenario;
    scenario.seconds = 60.0;
    scenario.gapMs = [&](int) {
        const double roll = delay(random);
        // Mostly a fraction of a millisecond late, now and then 4 to 8 ms.
        return 23.0 + (roll < 0.05 ? 4.0 + 80.0 * roll : 0.3 * roll);
    };
    ShowClock clock;
    const std::vector<Poll> polls = Simulate(scenario, &clock);
    const Summary summary = Summarize(polls, 500.0);
    EXPECT_LT(summary.largestStepError, 2.0);
    EXPECT_FALSE(summary.decreased);
    EXPECT_FALSE(summary.passedHanded);
    EXPECT_LT(summary.largestLead, 25.0);
    EXPECT_LT(summary.largestLag, 25.0);
    // Over the minute the offset from the sample count moves by far less
    // than one frame.
    const size_t stretch = 300;
    const double early = MeanOffset(polls, 60, stretch);
    const double late = MeanOffset(polls, polls.size() - stretch, stretch);
    EXPECT_LT(std::fabs(late - early), 2.0);
}

TEST(ShowClock, StalledAudioThreadHoldsTheClockAtWhatWasHandedOver)
{
    Scenario scenario;
    scenario.seconds = 4.0;
    scenario.gapMs = [](int pass) { return pass == 60 ? 80.0 : kChunkMs; };
    ShowClock clock;
    const std::vector<Poll> polls = Simulate(scenario, &clock);
    const Summary summary = Summarize(polls, 200.0);
    EXPECT_FALSE(summary.decreased);
    EXPECT_FALSE(summary.passedHanded);
    EXPECT_LT(summary.largestLead, 45.0);
    EXPECT_LT(summary.largestLag, 45.0);
    // Back to even steps well after the stall.
    EXPECT_NEAR(polls.back().clockMs - polls[polls.size() - 2].clockMs, kPollMs, 0.05);
}

TEST(ShowClock, LongGapRestartsTheLineWithoutGoingBack)
{
    Scenario scenario;
    scenario.seconds = 4.0;
    scenario.gapMs = [](int pass) { return pass == 40 ? 1000.0 : kChunkMs; };
    ShowClock clock;
    const std::vector<Poll> polls = Simulate(scenario, &clock);
    const Summary summary = Summarize(polls, 200.0);
    EXPECT_FALSE(summary.decreased);
    EXPECT_FALSE(summary.passedHanded);
    EXPECT_NEAR(polls.back().clockMs - polls.back().audibleMs, -kMarginMs, 0.5);
}

TEST(ShowClock, DeviceLatencyIsTakenOff)
{
    Scenario scenario;
    scenario.seconds = 3.0;
    scenario.latencyMs = 46.0;
    ShowClock clock;
    const std::vector<Poll> polls = Simulate(scenario, &clock);
    const Summary summary = Summarize(polls, 300.0);
    EXPECT_FALSE(summary.passedHanded);
    EXPECT_LT(summary.largestStepError, 0.01);
    EXPECT_NEAR(polls.back().clockMs - polls.back().audibleMs, -kMarginMs, 0.01);
}

// A decoder reading ahead in blocks: its position leads what was mixed by a
// sawtooth, plus what it converts ahead.
double SawtoothLead(double handedFrames)
{
    const double block = 3 * kChunk;
    return 500.0 + block - std::fmod(handedFrames, block);
}

TEST(ShowClock, DecoderAtTheMixerRateLeavesTheFrameCountAlone)
{
    Scenario plain;
    plain.seconds = 30.0;
    Scenario steered = plain;
    steered.decoderFrames = [](double handed) { return handed + SawtoothLead(handed); };
    ShowClock plainClock;
    ShowClock steeredClock;
    const std::vector<Poll> a = Simulate(plain, &plainClock);
    const std::vector<Poll> b = Simulate(steered, &steeredClock);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].clockMs, b[i].clockMs) << "poll " << i;
    }
    EXPECT_EQ(steeredClock.SteeringMs(), 0.0);
}

// A 48 kHz file in a 44.1 kHz mixer: the music runs 0.09 % ahead of the
// frames that carry it. The clock follows the music, smoothly.
TEST(ShowClock, SteersTowardADecoderThatRunsFast)
{
    const double ratio = 1.0009;
    Scenario scenario;
    scenario.seconds = 60.0;
    scenario.decoderFrames = [&](double handed) { return handed * ratio + SawtoothLead(handed); };
    ShowClock clock;
    const std::vector<Poll> polls = Simulate(scenario, &clock);
    const Summary summary = Summarize(polls, 500.0);
    EXPECT_FALSE(summary.decreased);
    EXPECT_LT(summary.largestStepError, 2.0);
    // Unsteered, the clock would be 54 ms behind the music by now.
    const Poll& last = polls.back();
    const double music = last.audibleMs * ratio;
    EXPECT_NEAR(last.clockMs - music, -kMarginMs, 10.0);
    EXPECT_GT(clock.SteeringMs(), 40.0);
}

TEST(ShowClock, SteersTowardASlowDecoderWithoutGoingBack)
{
    const double ratio = 0.998;
    Scenario scenario;
    scenario.seconds = 40.0;
    scenario.decoderFrames = [&](double handed) { return handed * ratio + SawtoothLead(handed); };
    ShowClock clock;
    const std::vector<Poll> polls = Simulate(scenario, &clock);
    const Summary summary = Summarize(polls, 500.0);
    EXPECT_FALSE(summary.decreased);
    EXPECT_LT(summary.largestStepError, 2.0);
    EXPECT_NEAR(polls.back().clockMs - polls.back().audibleMs * ratio, -kMarginMs, 12.0);
}

}  // namespace
