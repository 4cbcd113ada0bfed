#pragma once
// CPressureHistory: the valid readings of the last 3 hours (UTC milliseconds,
// corrected hPa), from which the 3-hour tendency is taken.
//
// There is a tendency only when the readings cover the whole 3 hours: one
// reading at most kEdgeMs before the start of the span and none of the gaps
// between readings inside it longer than kLongestGapMs (a long outage leaves
// no tendency until 3 hours after it). Never a guess.
//
// After a restart the history is read back from the binary log (its last 3
// hours, local time stamps), when that log is on; otherwise it starts empty
// and fills from the program's own readings.
//
// A value object; user-interface thread.

#include <QString>

#include <deque>
#include <optional>

#include "station/pressuretendency.h"

class CPressureHistory {
public:
    static constexpr qint64 kSpanMs = 3 * 3600 * 1000;
    static constexpr qint64 kEdgeMs = 10 * 60 * 1000;
    static constexpr qint64 kLongestGapMs = 30 * 60 * 1000;

    // A valid reading; one older than the newest is ignored. Readings older
    // than the span (and its edge) are dropped.
    void Add(qint64 msecUtc, double pressureHpa);
    void Clear();
    // The tendency at `nowMsec`, or nothing when the readings do not cover
    // the 3 hours before it.
    std::optional<PressureTendency> Tendency(qint64 nowMsec) const;
    // Reads the records of the last 3 hours before `nowMsec` from the end of
    // a binary log (only its tail is read, however long the file); returns
    // how many readings were taken. A missing or damaged file gives what it
    // can, never more than its valid records.
    int LoadFromVrd(const QString& path, qint64 nowMsec);

    struct Sample {
        qint64 msecUtc;
        double pressureHpa;
    };
    const std::deque<Sample>& Samples() const { return m_samples; }

private:
    std::deque<Sample> m_samples;
};
