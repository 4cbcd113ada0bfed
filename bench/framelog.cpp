#include "framelog.h"

#include <algorithm>
#include <cmath>

#include "tools/frameencoder.h"

namespace {
constexpr std::size_t kSlots = std::size_t(1) << 18;
}

CFrameLog::CFrameLog() : m_sent(kSlots), m_received(kSlots) {}

std::string CFrameLog::FrameFor(long long k)
{
    return CFrameEncoder::Encode(FrameContent{kSerialNumber, int((kLowestHpa + k % kValues) * 10)});
}

long long CFrameLog::ResidueOf(const QString& text, bool* ok)
{
    // The item's text is the value with one decimal; the nearest whole
    // hectopascal is the frame's value.
    const double value = text.toDouble(ok);
    return ((std::llround(value) - kLowestHpa) % kValues + kValues) % kValues;
}

std::size_t CFrameLog::Slot(long long k)
{
    return std::size_t(k) & (kSlots - 1);
}

long long CFrameLog::NextFrame()
{
    const long long k = m_next.fetch_add(1);
    m_received[Slot(k)].store(0);
    return k;
}

void CFrameLog::Received(long long k, long long ns)
{
    m_received[Slot(k)].store(ns);
    {
        std::lock_guard lock(m_lock);
        m_lastReceived = std::max(m_lastReceived, k);
    }
    m_arrived.notify_all();
}

long long CFrameLog::LastReceived()
{
    std::lock_guard lock(m_lock);
    return m_lastReceived;
}

bool CFrameLog::WaitReceived(long long k, std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_lock);
    return m_arrived.wait_for(lock, limit, [&] { return m_lastReceived >= k; });
}

std::optional<double> CFrameLog::LatencyUs(long long k) const
{
    const long long received = m_received[Slot(k)].load();
    if (received == 0)
        return std::nullopt;
    return double(std::max(0LL, received - m_sent[Slot(k)].load())) / 1e3;
}

CLatencySamples CFrameLog::LatenciesUs(long long first, long long end) const
{
    CLatencySamples us;
    for (long long k = first; k < end; ++k) {
        if (const std::optional<double> latency = LatencyUs(k))
            us.Add(*latency);
    }
    return us;
}

long long CFrameLog::Advised(long long first, long long end) const
{
    long long count = 0;
    for (long long k = first; k < end; ++k)
        count += m_received[Slot(k)].load() != 0;
    return count;
}
