#include "plot/core/columnenvelope.h"

#include <algorithm>

namespace {

// The first index from `from` on with times[index] >= t. The columns' records
// follow one another, so the search gallops from where the last one ended
// and stays near memory already read.
qsizetype LowerBoundFrom(const std::vector<qint64>& times, qsizetype from, qint64 t)
{
    const qsizetype n = qsizetype(times.size());
    qsizetype step = 1;
    qsizetype low = from;
    qsizetype high = from;
    while (high < n && times[std::size_t(high)] < t) {
        low = high + 1;
        high = std::min(n, high + step);
        step *= 2;
    }
    return std::lower_bound(times.begin() + low, times.begin() + high, t) - times.begin();
}

} // namespace

std::vector<ColumnEnvelope> ColumnEnvelopes(const CPlotSeries& s, qint64 t0, qint64 t1, int columns)
{
    std::vector<ColumnEnvelope> envelopes;
    if (columns < 1 || t1 <= t0)
        return envelopes;
    envelopes.resize(std::size_t(columns));
    const qint64 breakStep = s.BreakStepMs();
    const double width = double(t1 - t0) / columns;

    // The last record with a value before the first column: lines come in from it.
    qsizetype first = s.LowerBound(t0);
    qsizetype previous = s.LastWithValue(0, first);
    for (int c = 0; c < columns; ++c) {
        const qint64 end = c + 1 == columns ? t1 : t0 + qint64(width * (c + 1));
        const qsizetype last = LowerBoundFrom(s.m_times, first, end);
        ColumnEnvelope& envelope = envelopes[std::size_t(c)];
        const CPlotSeries::Summary summary = s.Summarise(first, last);
        if (summary.nValues > 0) {
            envelope.bHasValue = true;
            envelope.fMin = summary.fMin;
            envelope.fMax = summary.fMax;
            if (previous >= 0) {
                const qsizetype firstValue = s.FirstWithValue(first, last);
                // Every record between the two values has none; a long step into any
                // record up to this value is a pause.
                envelope.bBreakBefore = firstValue - previous > 1
                    || s.Summarise(previous + 1, firstValue + 1).nMaxStepMs > breakStep;
            }
            previous = s.LastWithValue(first, last);
        }
        first = last;
    }
    return envelopes;
}
