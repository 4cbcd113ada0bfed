#pragma once
// CTimeAxis: where the ticks of a time axis go and what they say.
//
// Times are milliseconds of the wall-clock time written in the logs, read as
// if it were UTC (the logs carry no zone), so a tick at a whole hour is at a
// whole hour of the clock that wrote the file. Steps run from 1 ms to
// centuries in the 1-2-5 way for seconds, the clock's way for minutes and
// hours (15 min, 6 h), whole days, weeks starting on Monday, calendar months
// and years. Labels are Polish style: "14:07:09", "05.03", "03.2024", "2024";
// the date of a sub-day tick goes in a second row, under the first tick and
// under each tick that starts a new day, so any span says where it lies.
//
// Pure logic, any thread.

#include <QString>
#include <QtGlobal>

#include <vector>

struct TimeTick {
    qint64 nTimeMs = 0;
    QString strLabel;     // time of day, day, month or year, as the step needs
    QString strContext;   // the date (or the year) when it changes; else empty
};

class CTimeAxis {
public:
    // The ticks inside [t0, t1], at most about `maxTicks` of them (at least 2
    // are aimed for); empty when t1 <= t0.
    static std::vector<TimeTick> Ticks(qint64 t0, qint64 t1, int maxTicks);
    // The step Ticks uses, in milliseconds (a month counts as 30 days, a year
    // as 365), for a span and a tick budget.
    static qint64 StepMs(qint64 span, int maxTicks);
    // A time in full, "2024-03-05 14:07:09", with ".zzz" when it has
    // milliseconds: the readout and the statistics use it.
    static QString FullTime(qint64 timeMs);
};
