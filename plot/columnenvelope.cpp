#include "plot/columnenvelope.h"

#include <algorithm>

std::vector<ColumnEnvelope> ColumnEnvelopes(const CPlotSeries& s, qint64 t0, qint64 t1, int columns)
{
    std::vector<ColumnEnvelope> envelopes;
    if (columns < 1 || t1 <= t0)
        return envelopes;
    envelopes.resize(std::size_t(columns));
    const qint64 breakStep = s.BreakStepMs();
    const qsizetype n = s.Size();
    const double width = double(t1 - t0) / columns;

    // The last record with a value before the first column: lines come in from it.
    qsizetype first = s.LowerBound(t0);
    qsizetype previous = s.LastWithValue(0, first);
    for (int c = 0; c < columns; ++c) {
        const qint64 end = c + 1 == columns ? t1 : t0 + qint64(width * (c + 1));
        // Records of the column follow the previous column's; the search starts there.
        const auto from = s.m_times.begin() + first;
        const qsizetype last = std::lower_bound(from, s.m_times.begin() + n, end) - s.m_times.begin();
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
