#pragma once
// The change of the pressure over the 3 hours up to a record of a series, as
// weather services give the tendency: the value of the record minus the last
// value at or before 3 hours earlier. There is none when the series does not
// reach that far back, or when between the two the values pause for more than
// 30 minutes (records without a value count as a pause) — never a guess.
//
// Pure function; any thread.

#include <QtGlobal>

#include "plot/core/plotseries.h"

struct ThreeHourChange {
    enum class Kind { Change, NotBack, Gap, NoValue };
    Kind kind = Kind::NoValue;
    double dHpa = 0.0;   // when kind is Change

    static constexpr qint64 kSpanMs = 3 * 3600 * 1000;
    static constexpr qint64 kLongestPauseMs = 30 * 60 * 1000;
};

ThreeHourChange ThreeHourChangeAt(const CPlotSeries& series, qsizetype index);
