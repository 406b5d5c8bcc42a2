// The show clock: a smooth, monotonic music position in milliseconds, built
// from the sample frames handed to the audio device and the times at which
// they were handed over.
//
// The mixer hands audio over in chunks (about 23 ms each), so the frame count
// alone moves in steps. Between chunks the clock advances by the elapsed wall
// time along a time base that is filtered over many chunks, so one late or
// early chunk does not jerk the picture. The clock runs behind the handed-over
// frames by the device's latency plus a small margin that absorbs scheduling
// jitter, and it never passes the end of what the device has been given.
//
// When the decoder's own position is known, the clock is also steered gently
// toward it: a file whose rate differs from the mixer's plays slightly faster
// or slower than its frame count says, and the picture must follow what is
// heard. The decoder's position runs ahead of what was mixed by a varying
// amount (it reads and converts in blocks), so only the change of the lowest
// lead over blocks of a few seconds is taken as drift.
//
// One thread (the audio thread) calls OnMixed; one other thread (the main
// thread) calls NowMs. Reset is called while no OnMixed can run.
#pragma once

#include <atomic>
#include <cstdint>

class ShowClock {
public:
    ShowClock();
    virtual ~ShowClock() = default;

    // Starts over at position 0. sampleRate is the device's frames per second;
    // latencyMs the delay between handing a frame over and hearing it;
    // marginMs how far the clock stays behind to absorb jitter.
    void Reset(int sampleRate, double latencyMs, double marginMs);

    // Audio thread: a buffer of `frames` frames was handed over at `nowNs`.
    // decoderFrames is the decoder's position after that buffer, in device
    // frames, or negative when the decoder cannot tell.
    void OnMixed(int frames, int64_t nowNs, double decoderFrames);

    // Main thread: the music position in milliseconds at `nowNs`. Never
    // decreases between calls.
    double NowMs(int64_t nowNs);

    // Frames handed over since Reset.
    int64_t MixedFrames() const { return m_mixedFrames.load(std::memory_order_acquire); }
    // The present correction toward the decoder, in milliseconds.
    double SteeringMs() const;

private:
    struct Snapshot {
        double anchorFrames;  // position the time base passes at baseNs
        double endFrames;     // end of what the device has been given
        double baseNs;
        double nsPerFrame;    // the device's learnt pace
        bool valid;
    };
    void Publish(double anchorFrames, double endFrames, double baseNs, double nsPerFrame);
    Snapshot Read() const;
    void Steer(int frames, double endFrames, double decoderFrames);

    int m_rate;
    double m_latencyFrames;
    double m_marginFrames;

    // Written by the audio thread only.
    int64_t m_chunks;
    double m_handed;        // frames handed over before the latest buffer
    double m_lastFrames;    // size of the previous buffer
    double m_baseNs;        // filtered time at which the line passes m_handed
    double m_nsPerFrame;    // learnt pace of the device
    double m_correction;    // frames added to steer toward the decoder
    double m_blockMin;      // lowest decoder lead in the current block
    double m_blockFrames;
    double m_baselineLead;
    double m_target;        // correction the decoder asks for now
    double m_lastMeasured;  // drift measured at the end of the last block
    double m_driftPerFrame; // its change per frame mixed
    bool m_haveBaseline;
    bool m_haveTarget;
    bool m_correcting;

    // Published by the audio thread, read by the main thread (sequence lock).
    std::atomic<uint32_t> m_sequence;
    std::atomic<double> m_anchor;
    std::atomic<double> m_end;
    std::atomic<double> m_base;
    std::atomic<double> m_pace;
    std::atomic<bool> m_valid;
    std::atomic<int64_t> m_mixedFrames;
    std::atomic<double> m_steering;

    // Main thread only: the last position returned, in frames.
    double m_lastPosition;
};
