#include "sound/show_clock.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The time base is a second-order delay-locked loop over the pass times: it
// learns both where the line lies and how fast the device really consumes
// frames (SDL's silent driver runs a little off real time), so a late or
// early pass moves the line only by a small share of its error.
constexpr double kLoopBandwidthHz = 0.35;
constexpr double kPi = 3.14159265358979323846;
// The learnt pace stays within this share of the nominal rate.
constexpr double kMaxPaceError = 0.05;
// A chunk this many chunk lengths away from the line restarts it (the stream
// was paused, or the audio thread stalled for long).
constexpr double kSnapChunks = 4.0;

// Steering toward the decoder. The first chunks are skipped while the
// decoder fills its buffers; leads are then compared block by block.
constexpr int64_t kWarmupChunks = 8;
constexpr double kBlockSeconds = 4.0;
// Drift below this is left alone, so a file at the mixer's own rate follows
// its frame count exactly.
constexpr double kDeadbandMs = 2.0;
// The correction changes by at most this share of the frames mixed, so the
// picture runs at most half a percent fast or slow while catching up.
constexpr double kSlewRate = 0.005;
// Drift beyond one percent is taken for noise in the decoder's position.
constexpr double kMaxDrift = 0.01;

constexpr double kNsPerSecond = 1e9;

}  // namespace

ShowClock::ShowClock()
    : m_sequence(0), m_anchor(0.0), m_end(0.0), m_base(0.0), m_pace(0.0), m_valid(false), m_mixedFrames(0), m_steering(0.0)
{
    Reset(44100, 0.0, 0.0);
}

void ShowClock::Reset(int sampleRate, double latencyMs, double marginMs)
{
    m_rate = sampleRate > 0 ? sampleRate : 44100;
    m_latencyFrames = std::max(0.0, latencyMs) * m_rate / 1000.0;
    m_marginFrames = std::max(0.0, marginMs) * m_rate / 1000.0;
    m_chunks = 0;
    m_handed = 0.0;
    m_lastFrames = 0.0;
    m_baseNs = 0.0;
    m_nsPerFrame = kNsPerSecond / m_rate;
    m_correction = 0.0;
    m_blockMin = std::numeric_limits<double>::infinity();
    m_blockFrames = 0.0;
    m_baselineLead = 0.0;
    m_target = 0.0;
    m_lastMeasured = 0.0;
    m_driftPerFrame = 0.0;
    m_haveBaseline = false;
    m_haveTarget = false;
    m_correcting = false;
    m_valid.store(false, std::memory_order_relaxed);
    m_mixedFrames.store(0, std::memory_order_release);
    m_steering.store(0.0, std::memory_order_relaxed);
    m_lastPosition = 0.0;
}

void ShowClock::OnMixed(int frames, int64_t nowNs, double decoderFrames)
{
    if (frames <= 0) {
        return;
    }
    const double now = static_cast<double>(nowNs);
    const double nominalNsPerFrame = kNsPerSecond / m_rate;
    if (m_chunks == 0) {
        m_baseNs = now;
        m_nsPerFrame = nominalNsPerFrame;
    } else {
        m_handed += m_lastFrames;
        const double chunkNs = m_lastFrames * m_nsPerFrame;
        const double predicted = m_baseNs + chunkNs;
        const double error = now - predicted;
        if (std::fabs(error) > kSnapChunks * chunkNs) {
            m_baseNs = now;
        } else {
            const double omega = 2.0 * kPi * kLoopBandwidthHz * chunkNs / kNsPerSecond;
            m_baseNs = predicted + std::sqrt(2.0) * omega * error;
            m_nsPerFrame += omega * omega * error / m_lastFrames;
            m_nsPerFrame = std::clamp(m_nsPerFrame, nominalNsPerFrame * (1.0 - kMaxPaceError),
                                      nominalNsPerFrame * (1.0 + kMaxPaceError));
        }
    }
    m_lastFrames = frames;
    ++m_chunks;

    const double end = m_handed + frames;
    Steer(frames, end, decoderFrames);
    m_mixedFrames.store(static_cast<int64_t>(end), std::memory_order_release);
    Publish(m_handed + m_correction, end + m_correction, m_baseNs, m_nsPerFrame);
}

void ShowClock::Steer(int frames, double endFrames, double decoderFrames)
{
    if (decoderFrames >= 0.0 && m_chunks > kWarmupChunks) {
        m_blockMin = std::min(m_blockMin, decoderFrames - endFrames);
        m_blockFrames += frames;
        if (m_blockFrames >= kBlockSeconds * m_rate) {
            if (m_haveBaseline) {
                const double measured = m_blockMin - m_baselineLead;
                // The drift keeps its pace between blocks; a block's lowest
                // lead stands, on average, for its middle.
                if (m_haveTarget) {
                    m_driftPerFrame = std::clamp((measured - m_lastMeasured) / m_blockFrames, -kMaxDrift, kMaxDrift);
                }
                m_lastMeasured = measured;
                m_target = measured + m_driftPerFrame * m_blockFrames / 2.0;
                m_haveTarget = true;
            } else {
                m_baselineLead = m_blockMin;
                m_haveBaseline = true;
            }
            m_blockMin = std::numeric_limits<double>::infinity();
            m_blockFrames = 0.0;
        }
    }
    if (!m_haveTarget) {
        return;
    }
    m_target += m_driftPerFrame * frames;
    const double difference = m_target - m_correction;
    if (!m_correcting && std::fabs(difference) > kDeadbandMs * m_rate / 1000.0) {
        m_correcting = true;
    }
    if (m_correcting) {
        const double limit = kSlewRate * frames;
        const double step = std::clamp(difference, -limit, limit);
        m_correction += step;
        if (step == difference) {
            m_correcting = false;
        }
        m_steering.store(m_correction * 1000.0 / m_rate, std::memory_order_relaxed);
    }
}

void ShowClock::Publish(double anchorFrames, double endFrames, double baseNs, double nsPerFrame)
{
    const uint32_t sequence = m_sequence.load(std::memory_order_relaxed);
    m_sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    m_anchor.store(anchorFrames, std::memory_order_relaxed);
    m_end.store(endFrames, std::memory_order_relaxed);
    m_base.store(baseNs, std::memory_order_relaxed);
    m_pace.store(nsPerFrame, std::memory_order_relaxed);
    m_valid.store(true, std::memory_order_relaxed);
    m_sequence.store(sequence + 2, std::memory_order_release);
}

ShowClock::Snapshot ShowClock::Read() const
{
    Snapshot snapshot;
    uint32_t before;
    uint32_t after;
    do {
        before = m_sequence.load(std::memory_order_acquire);
        snapshot.anchorFrames = m_anchor.load(std::memory_order_relaxed);
        snapshot.endFrames = m_end.load(std::memory_order_relaxed);
        snapshot.baseNs = m_base.load(std::memory_order_relaxed);
        snapshot.nsPerFrame = m_pace.load(std::memory_order_relaxed);
        snapshot.valid = m_valid.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        after = m_sequence.load(std::memory_order_relaxed);
    } while ((before & 1u) != 0 || before != after);
    return snapshot;
}

double ShowClock::NowMs(int64_t nowNs)
{
    const Snapshot snapshot = Read();
    if (snapshot.valid) {
        double position = snapshot.anchorFrames + (static_cast<double>(nowNs) - snapshot.baseNs) / snapshot.nsPerFrame -
                          (m_latencyFrames + m_marginFrames);
        position = std::min(position, snapshot.endFrames - m_latencyFrames);
        m_lastPosition = std::max(position, m_lastPosition);
    }
    return m_lastPosition * 1000.0 / m_rate;
}

double ShowClock::SteeringMs() const
{
    return m_steering.load(std::memory_order_relaxed);
}
