#pragma once
// LogTime: the local time stamp of one log record, to the second, as both logs
// write it. It is made from the clock's reading (Services().GetLocalTime()),
// so the record writers need nothing else from the platform.
//
// A value object; any thread.

#include "platform/wintypes.h"

struct LogTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    LogTime() = default;
    LogTime(int y, int mo, int d, int h, int mi, int s)
        : year(y), month(mo), day(d), hour(h), minute(mi), second(s) {}
    // The clock's reading; milliseconds and the day of the week are dropped.
    // Not explicit: a reading of Services().GetLocalTime() is taken as it is.
    LogTime(const SYSTEMTIME& t)
        : LogTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond) {}
};
