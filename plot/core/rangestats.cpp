#include "plot/core/rangestats.h"

RangeStats StatsInRange(const CPlotSeries& s, qint64 t0, qint64 t1)
{
    RangeStats stats;
    const qsizetype first = s.LowerBound(t0);
    const qsizetype last = s.UpperBound(t1);
    if (first >= last)
        return stats;
    const CPlotSeries::Summary summary = s.Summarise(first, last);
    stats.nCount = summary.nValues;
    stats.nGaps = (last - first) - summary.nValues;
    // A pause into the first record began before the range.
    stats.nGaps += s.CountStepsLongerThan(first + 1, last, s.BreakStepMs());
    if (summary.nValues == 0)
        return stats;
    stats.fMin = summary.fMin;
    stats.fMax = summary.fMax;
    stats.dMean = summary.dSum / double(summary.nValues);
    stats.nFirstMs = s.m_times[std::size_t(s.FirstWithValue(first, last))];
    stats.nLastMs = s.m_times[std::size_t(s.LastWithValue(first, last))];
    return stats;
}
