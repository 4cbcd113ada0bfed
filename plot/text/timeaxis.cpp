#include "plot/text/timeaxis.h"

#include <QDateTime>
#include <QTimeZone>

#include <array>

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
constexpr qint64 kMonth = 30 * kDay;
constexpr qint64 kYear = 365 * kDay;
// Times beyond a million years either side of the epoch get no ticks: no log
// holds them, and the arithmetic below stays far from overflowing.
constexpr qint64 kFarthest = 1'000'000 * kYear;
// 1970-01-05, the first Monday after the epoch: weeks start there.
constexpr qint64 kMondayOffset = 4 * kDay;

enum class Kind { Fixed, Month, Year };
struct Step {
    Kind kind;
    qint64 n;   // milliseconds, months or years
    qint64 Approx() const
    {
        return kind == Kind::Fixed ? n : kind == Kind::Month ? n * kMonth : n * kYear;
    }
};

constexpr std::array kSteps{
    Step{Kind::Fixed, 1}, Step{Kind::Fixed, 2}, Step{Kind::Fixed, 5}, Step{Kind::Fixed, 10},
    Step{Kind::Fixed, 20}, Step{Kind::Fixed, 50}, Step{Kind::Fixed, 100}, Step{Kind::Fixed, 200},
    Step{Kind::Fixed, 500}, Step{Kind::Fixed, kSecond}, Step{Kind::Fixed, 2 * kSecond},
    Step{Kind::Fixed, 5 * kSecond}, Step{Kind::Fixed, 10 * kSecond},
    Step{Kind::Fixed, 15 * kSecond}, Step{Kind::Fixed, 30 * kSecond}, Step{Kind::Fixed, kMinute},
    Step{Kind::Fixed, 2 * kMinute}, Step{Kind::Fixed, 5 * kMinute},
    Step{Kind::Fixed, 10 * kMinute}, Step{Kind::Fixed, 15 * kMinute},
    Step{Kind::Fixed, 30 * kMinute}, Step{Kind::Fixed, kHour}, Step{Kind::Fixed, 2 * kHour},
    Step{Kind::Fixed, 3 * kHour}, Step{Kind::Fixed, 6 * kHour}, Step{Kind::Fixed, 12 * kHour},
    Step{Kind::Fixed, kDay}, Step{Kind::Fixed, 2 * kDay}, Step{Kind::Fixed, 7 * kDay},
    Step{Kind::Fixed, 14 * kDay}, Step{Kind::Month, 1}, Step{Kind::Month, 2},
    Step{Kind::Month, 3}, Step{Kind::Month, 6}, Step{Kind::Year, 1}, Step{Kind::Year, 2},
    Step{Kind::Year, 5}, Step{Kind::Year, 10}, Step{Kind::Year, 20}, Step{Kind::Year, 50},
    Step{Kind::Year, 100}, Step{Kind::Year, 200}, Step{Kind::Year, 500},
    Step{Kind::Year, 1000},
};

Step ChooseStep(qint64 span, int maxTicks)
{
    const qint64 budget = qMax(1, maxTicks);
    for (const Step& step : kSteps) {
        if (span / step.Approx() <= budget)
            return step;
    }
    return kSteps.back();
}

QDateTime Utc(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
}

qint64 FloorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::vector<qint64> TickTimes(const Step& step, qint64 t0, qint64 t1)
{
    std::vector<qint64> times;
    if (step.kind == Kind::Fixed) {
        const qint64 offset = step.n >= 7 * kDay ? kMondayOffset : 0;
        qint64 t = (FloorDiv(t0 - offset - 1, step.n) + 1) * step.n + offset;
        for (; t <= t1; t += step.n)
            times.push_back(t);
        return times;
    }
    // A step of n years is a step of 12 n months, aligned the same way.
    const qint64 months = step.kind == Kind::Month ? step.n : 12 * step.n;
    const QDate first = Utc(t0).date();
    qint64 index = qint64(first.year()) * 12 + first.month() - 1;
    index = (FloorDiv(index - 1, months) + 1) * months;
    for (;; index += months) {
        const QDate d(int(FloorDiv(index, 12)), int(index - FloorDiv(index, 12) * 12) + 1, 1);
        if (!d.isValid())
            break;
        const qint64 t = QDateTime(d, QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
        if (t > t1)
            break;
        if (t >= t0)
            times.push_back(t);
    }
    return times;
}

QString MonthName(int month)
{
    static const std::array<const char*, 12> kNames{"sty", "lut", "mar", "kwi", "maj", "cze",
                                                    "lip", "sie", "wrz", "paź", "lis", "gru"};
    return QString::fromUtf8(kNames[size_t(month - 1)]);
}

}  // namespace

qint64 CTimeAxis::StepMs(qint64 span, int maxTicks)
{
    return ChooseStep(span, maxTicks).Approx();
}

std::vector<TimeTick> CTimeAxis::Ticks(qint64 t0, qint64 t1, int maxTicks)
{
    std::vector<TimeTick> ticks;
    if (t1 <= t0 || t0 < -kFarthest || t1 > kFarthest)
        return ticks;
    const Step step = ChooseStep(t1 - t0, maxTicks);
    // Beyond the longest step's budget the count is no longer bounded by it.
    if ((t1 - t0) / step.Approx() > 2 * qint64(qMax(1, maxTicks)) + 2)
        return ticks;
    QDate lastDate;
    for (qint64 t : TickTimes(step, t0, t1)) {
        const QDateTime dt = Utc(t);
        TimeTick tick;
        tick.nTimeMs = t;
        const qint64 approx = step.Approx();
        if (step.kind == Kind::Year) {
            tick.strLabel = dt.toString(QStringLiteral("yyyy"));
        } else if (step.kind == Kind::Month) {
            tick.strLabel = MonthName(dt.date().month());
            if (!lastDate.isValid() || lastDate.year() != dt.date().year())
                tick.strContext = dt.toString(QStringLiteral("yyyy"));
        } else if (approx >= kDay) {
            tick.strLabel = dt.toString(QStringLiteral("dd.MM"));
            if (!lastDate.isValid() || lastDate.year() != dt.date().year())
                tick.strContext = dt.toString(QStringLiteral("yyyy"));
        } else {
            tick.strLabel = dt.toString(approx >= kMinute   ? QStringLiteral("HH:mm")
                                        : approx >= kSecond ? QStringLiteral("HH:mm:ss")
                                                            : QStringLiteral("HH:mm:ss.zzz"));
            if (lastDate != dt.date())
                tick.strContext = dt.toString(QStringLiteral("dd.MM.yyyy"));
        }
        lastDate = dt.date();
        ticks.push_back(tick);
    }
    return ticks;
}

QString CTimeAxis::FullTime(qint64 timeMs)
{
    const QDateTime dt = Utc(timeMs);
    return dt.toString(timeMs % kSecond != 0 ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                             : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
