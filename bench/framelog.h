#pragma once
// CFrameLog: the frames a benchmark writes on the line, when each frame's
// carriage return was written and when the Advise it caused reached the
// client. Frame k carries the value 1000 + k % 5000 hPa, so the text of an
// advise tells which frame caused it. The writer and the advise client run on
// different threads: every member is safe to call from any thread. The last
// 2^18 frames are kept.

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "latencysamples.h"

class CFrameLog {
public:
    static constexpr int kSerialNumber = 1234;
    static constexpr long long kLowestHpa = 1000;
    static constexpr long long kValues = 5000;   // frame values 1000..5999 hPa

    CFrameLog();

    // The 12 bytes of frame k, carriage return last.
    static std::string FrameFor(long long k);
    // Frame residue (k % kValues) of a "Wynik" text; *ok false when the text is no number.
    static long long ResidueOf(const QString& text, bool* ok);

    // Takes the next frame number and forgets that slot's old receipt.
    long long NextFrame();
    long long FramesStarted() const { return m_next.load(); }

    void Sent(long long k, long long ns) { m_sent[Slot(k)].store(ns); }
    void Received(long long k, long long ns);
    long long LastReceived();
    // True once frame k (or a later one) has been advised.
    bool WaitReceived(long long k, std::chrono::milliseconds limit);
    // Microseconds from the carriage return to the advise; nothing when frame
    // k's advise never came. A writer that stamps after its write returns may
    // be preempted before it does: such an advise counts as 0.
    std::optional<double> LatencyUs(long long k) const;
    // The latencies of the frames in [first, end) whose advise came.
    CLatencySamples LatenciesUs(long long first, long long end) const;
    // Frames in [first, end) whose advise came.
    long long Advised(long long first, long long end) const;

private:
    static std::size_t Slot(long long k);

    std::atomic<long long> m_next{0};
    std::vector<std::atomic<long long>> m_sent;
    std::vector<std::atomic<long long>> m_received;
    std::mutex m_lock;
    std::condition_variable m_arrived;
    long long m_lastReceived = -1;
};
