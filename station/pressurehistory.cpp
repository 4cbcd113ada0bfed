#include "station/pressurehistory.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <vector>

#include "recording/vrdreader.h"

namespace {

// The history keeps at most one reading per kThinMs (the newest always as it
// came): the pressure moves by hundredths of a hectopascal in that time, so
// the tendency stays within 0.05 hPa of the one from every reading.
constexpr qint64 kThinMs = 5000;
constexpr qint64 kHalfMs = CPressureHistory::kSpanMs / 2;

// Bytes of the log's tail read first: 3 hours at one record a second, of
// about 40 bytes each ("YYYYMMDDhhmmss$20,<sn>,27,<hPa>,1$" and 3 bytes).
constexpr qint64 kFirstTailBytes = 3 * 3600 * 48;

// Changes smaller than this (after rounding to 0.1 hPa) are steady.
enum class Course { kDown, kSteady, kUp };

long Tenths(double hpa)
{
    return std::lround(hpa * 10.0);
}

Course CourseOf(long tenths)
{
    return tenths > 0 ? Course::kUp : tenths < 0 ? Course::kDown : Course::kSteady;
}

// The WMO characteristic (code table 0200) from the net change and the
// changes over the first and the last half of the 3 hours, in tenths.
int Characteristic(long net, long first, long second)
{
    const Course c1 = CourseOf(first);
    const Course c2 = CourseOf(second);
    if (net == 0) {
        if (c1 == Course::kUp && c2 == Course::kDown)
            return 0;
        if (c1 == Course::kDown && c2 == Course::kUp)
            return 5;
        return 4;
    }
    if (net > 0) {
        if (c2 == Course::kDown)
            return 0;
        if (c1 == Course::kUp && (c2 == Course::kSteady || 2 * second < first))
            return 1;
        if ((c1 != Course::kUp && c2 == Course::kUp) || second > 2 * first)
            return 3;
        return 2;
    }
    // Lower: the mirror image.
    if (c2 == Course::kUp)
        return 5;
    if (c1 == Course::kDown && (c2 == Course::kSteady || 2 * second > first))
        return 6;
    if ((c1 != Course::kDown && c2 == Course::kDown) || second < 2 * first)
        return 8;
    return 7;
}

qint64 UtcMsec(const LogTime& t)
{
    const QDateTime local(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second), Qt::LocalTime);
    return local.isValid() ? local.toMSecsSinceEpoch() : -1;
}

} // namespace

void CPressureHistory::Add(qint64 msecUtc, double pressureHpa)
{
    if (!std::isfinite(pressureHpa))
        return;
    if (!m_samples.empty() && msecUtc < m_samples.back().msecUtc)
        return;
    if (m_samples.size() >= 2 && msecUtc - m_samples[m_samples.size() - 2].msecUtc < kThinMs)
        m_samples.back() = {msecUtc, pressureHpa};
    else
        m_samples.push_back({msecUtc, pressureHpa});
    const qint64 oldest = msecUtc - kSpanMs - kEdgeMs;
    while (!m_samples.empty() && m_samples.front().msecUtc < oldest)
        m_samples.pop_front();
}

void CPressureHistory::Clear()
{
    m_samples.clear();
}

std::optional<PressureTendency> CPressureHistory::Tendency(qint64 nowMsec) const
{
    // The newest reading at or before now.
    const auto after = std::upper_bound(m_samples.begin(), m_samples.end(), nowMsec,
                                        [](qint64 t, const Sample& s) { return t < s.msecUtc; });
    if (after == m_samples.begin())
        return std::nullopt;
    const auto latest = after - 1;
    if (nowMsec - latest->msecUtc > kLongestGapMs)
        return std::nullopt;
    const qint64 start = nowMsec - kSpanMs;
    // The reading at or before the start of the span.
    const auto first = std::upper_bound(m_samples.begin(), after, start,
                                        [](qint64 t, const Sample& s) { return t < s.msecUtc; });
    if (first == m_samples.begin())
        return std::nullopt;
    const auto edge = first - 1;
    if (start - edge->msecUtc > kEdgeMs)
        return std::nullopt;
    for (auto it = edge; it != latest; ++it) {
        if ((it + 1)->msecUtc - it->msecUtc > kLongestGapMs)
            return std::nullopt;
    }
    // The pressure at a moment of the span, between the readings around it.
    const auto at = [&](qint64 t) {
        auto next = std::upper_bound(edge, after, t, [](qint64 v, const Sample& s) { return v < s.msecUtc; });
        const auto prev = next - 1;
        if (next == after || prev->msecUtc == t)
            return prev->pressureHpa;
        const double f = double(t - prev->msecUtc) / double(next->msecUtc - prev->msecUtc);
        return prev->pressureHpa + f * (next->pressureHpa - prev->pressureHpa);
    };
    const double begin = at(start);
    const double middle = at(start + kHalfMs);
    const double end = latest->pressureHpa;
    const long net = Tenths(end - begin);
    PressureTendency tendency;
    tendency.dChangeHpa = double(net) / 10.0;
    tendency.nCode = Characteristic(net, Tenths(middle - begin), Tenths(end - middle));
    return tendency;
}

int CPressureHistory::LoadFromVrd(const QString& path, qint64 nowMsec)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const qint64 size = file.size();
    const qint64 oldest = nowMsec - kSpanMs - kEdgeMs;
    std::vector<Sample> read;
    // Grows the tail until it reaches a record older than the span or the
    // start of the file.
    for (qint64 window = kFirstTailBytes;; window *= 2) {
        const qint64 from = std::max<qint64>(0, size - window);
        if (!file.seek(from))
            return 0;
        const QByteArray tail = file.read(size - from);
        read.clear();
        bool reachedOldest = false;
        CVrdReader::Damage damage;
        CVrdReader::Scan(tail, true, [&](const VrdRecord& record) {
            const qint64 t = UtcMsec(record.time);
            if (t < 0)
                return true;
            if (t < oldest) {
                reachedOldest = true;
                return true;
            }
            if (record.bValid && t <= nowMsec && std::isfinite(record.dPressureHpa))
                read.push_back({t, record.dPressureHpa});
            return true;
        }, damage);
        if (reachedOldest || from == 0)
            break;
    }
    // The readings the program took itself before this stay after the log's.
    const std::deque<Sample> own = std::move(m_samples);
    m_samples.clear();
    int taken = 0;
    for (const Sample& s : read) {
        if (!m_samples.empty() && s.msecUtc < m_samples.back().msecUtc)
            continue;
        Add(s.msecUtc, s.pressureHpa);
        ++taken;
    }
    for (const Sample& s : own)
        Add(s.msecUtc, s.pressureHpa);
    return taken;
}
