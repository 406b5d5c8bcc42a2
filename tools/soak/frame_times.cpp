#include "tools/soak/frame_times.h"

#include <algorithm>
#include <cmath>

FrameTimes::FrameTimes(int effectCount, int64_t rangeMicroseconds)
    // Filled with zeros now: the pages are resident before the first frame,
    // so the run's memory does not creep up as new bins are reached.
    : m_bins(static_cast<size_t>(std::max<int64_t>(1, rangeMicroseconds)) + 1, 0u),
      m_effectSums(static_cast<size_t>(std::max(0, effectCount)), 0.0),
      m_effectCounts(static_cast<size_t>(std::max(0, effectCount)), 0)
{
}

void FrameTimes::Add(double microseconds, int effect)
{
    if (!(microseconds >= 0.0)) {
        microseconds = 0.0;
    }
    const double last = static_cast<double>(m_bins.size() - 1);
    const auto bin = static_cast<size_t>(std::min(std::floor(microseconds), last));
    ++m_bins[bin];
    if (m_count == 0 || microseconds > m_slowest) {
        m_slowest = microseconds;
        m_slowestFrame = m_count;
    }
    ++m_count;
    m_sum += microseconds;
    if (effect >= 0 && static_cast<size_t>(effect) < m_effectSums.size()) {
        m_effectSums[static_cast<size_t>(effect)] += microseconds;
        ++m_effectCounts[static_cast<size_t>(effect)];
    }
}

double FrameTimes::MeanMicroseconds() const
{
    return m_count > 0 ? m_sum / static_cast<double>(m_count) : 0.0;
}

int64_t FrameTimes::PercentileMicroseconds(double fraction) const
{
    if (m_count == 0) {
        return 0;
    }
    // The rank of the frame that `fraction` of the frames do not exceed.
    const auto rank = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(fraction * static_cast<double>(m_count))));
    int64_t seen = 0;
    for (size_t bin = 0; bin < m_bins.size(); ++bin) {
        seen += m_bins[bin];
        if (seen >= rank) {
            return static_cast<int64_t>(bin);
        }
    }
    return static_cast<int64_t>(m_bins.size() - 1);
}

int FrameTimes::SlowestEffect() const
{
    int slowest = -1;
    for (size_t i = 0; i < m_effectCounts.size(); ++i) {
        if (m_effectCounts[i] > 0 &&
            (slowest < 0 || EffectMeanMicroseconds(static_cast<int>(i)) > EffectMeanMicroseconds(slowest))) {
            slowest = static_cast<int>(i);
        }
    }
    return slowest;
}

double FrameTimes::EffectMeanMicroseconds(int effect) const
{
    const int64_t frames = EffectFrames(effect);
    return frames > 0 ? m_effectSums[static_cast<size_t>(effect)] / static_cast<double>(frames) : 0.0;
}

int64_t FrameTimes::EffectFrames(int effect) const
{
    if (effect < 0 || static_cast<size_t>(effect) >= m_effectCounts.size()) {
        return 0;
    }
    return m_effectCounts[static_cast<size_t>(effect)];
}
