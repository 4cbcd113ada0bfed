#pragma once
// Statistics of the records of a series in a time range, from the series'
// index (O(log n) for a range without pauses). Pure function; any thread.

#include <QtGlobal>

#include "plot/core/plotseries.h"

struct RangeStats {
    qint64 nCount = 0;            // records with a value in the range
    float fMin = 0, fMax = 0;
    double dMean = 0;
    qint64 nFirstMs = 0, nLastMs = 0;   // times of the first and last record with a value
    qint64 nGaps = 0;             // records without a value, plus pauses longer than BreakStepMs()
};

// Records with t0 <= time <= t1.
RangeStats StatsInRange(const CPlotSeries& s, qint64 t0, qint64 t1);
