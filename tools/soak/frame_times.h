// The drawing time of every frame of a soak run, kept as a histogram of
// whole microseconds made before the run, so that recording a frame never
// allocates and a run of any length holds the same memory: the median and
// the 99th percentile come out exact to the microsecond, and each effect's
// frames are summed apart to find the slowest effect.
#pragma once

#include <cstdint>
#include <vector>

class FrameTimes {
public:
    // Frames of up to `rangeMicroseconds` are placed exactly; slower ones
    // count at that bound for the percentiles (the slowest is kept exactly).
    FrameTimes(int effectCount, int64_t rangeMicroseconds = 1000000);

    // One frame's drawing time; `effect` is the index of the effect shown,
    // -1 for a frame without one.
    void Add(double microseconds, int effect);

    int64_t Count() const { return m_count; }
    double MeanMicroseconds() const;
    // The smallest time that at least `fraction` of the frames took at most
    // (0.5: the median), in whole microseconds.
    int64_t PercentileMicroseconds(double fraction) const;
    double SlowestMicroseconds() const { return m_slowest; }
    // The frame number (from 0, in the order added) of the slowest frame.
    int64_t SlowestFrame() const { return m_slowestFrame; }
    // The effect whose frames took longest on average, -1 when no frame
    // showed an effect.
    int SlowestEffect() const;
    double EffectMeanMicroseconds(int effect) const;
    int64_t EffectFrames(int effect) const;

private:
    std::vector<uint32_t> m_bins;
    std::vector<double> m_effectSums;
    std::vector<int64_t> m_effectCounts;
    int64_t m_count = 0;
    double m_sum = 0.0;
    double m_slowest = 0.0;
    int64_t m_slowestFrame = -1;
};
