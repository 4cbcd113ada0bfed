#pragma once
// The min/max envelope of a series per pixel column, for drawing a chart that
// stays fast at any zoom. Pure functions; any thread.

#include <QtGlobal>

#include <vector>

#include "plot/core/plotseries.h"

struct ColumnEnvelope {
    float fMin = 0, fMax = 0;     // of the values whose time falls in the column
    bool bHasValue = false;
    bool bBreakBefore = false;    // a record without a value, or a pause longer than
                                  // BreakStepMs(), lies between this column's values and the
                                  // previous column that has values (or, for the first
                                  // such column, the last value before t0): draw no line across
};

// Per pixel column of the time range [t0, t1) split into `columns` equal parts;
// touches about as many index blocks as columns, not records. Empty when
// columns < 1 or t1 <= t0.
std::vector<ColumnEnvelope> ColumnEnvelopes(const CPlotSeries& s, qint64 t0, qint64 t1, int columns);
