#include "plot/core/threehourchange.h"

#include <cmath>

ThreeHourChange ThreeHourChangeAt(const CPlotSeries& s, qsizetype index)
{
    ThreeHourChange r;
    if (index < 0 || index >= s.Size() || std::isnan(s.m_values[size_t(index)]))
        return r;
    const qint64 end = s.m_times[size_t(index)];
    // The last record at or before the time 3 hours earlier.
    const qsizetype before = s.UpperBound(end - ThreeHourChange::kSpanMs) - 1;
    const qsizetype base = before < 0 ? -1 : s.LastWithValue(0, before + 1);
    if (base < 0) {
        r.kind = ThreeHourChange::Kind::NotBack;
        return r;
    }
    qint64 last = s.m_times[size_t(base)];
    for (qsizetype i = base + 1; i <= index; ++i) {
        if (std::isnan(s.m_values[size_t(i)]))
            continue;
        if (s.m_times[size_t(i)] - last > ThreeHourChange::kLongestPauseMs) {
            r.kind = ThreeHourChange::Kind::Gap;
            return r;
        }
        last = s.m_times[size_t(i)];
    }
    r.kind = ThreeHourChange::Kind::Change;
    r.dHpa = double(s.m_values[size_t(index)]) - double(s.m_values[size_t(base)]);
    return r;
}
