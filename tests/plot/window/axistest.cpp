#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include <cmath>
#include <limits>

#include "plot/text/timeaxis.h"
#include "plot/text/valueaxis.h"

namespace {

qint64 At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toMSecsSinceEpoch();
}

struct SpanCase {
    qint64 t0, t1;
    const char* firstLabel;
    const char* firstContext;
};

}  // namespace

// From seconds to years every tick lies in the span, ticks are evenly spaced
// round times, their count stays in budget, and the first label names the
// right thing for the span.
TEST(TimeAxis, TicksFromSecondsToYears)
{
    const SpanCase cases[] = {
        {At(2024, 3, 5, 14, 7, 3), At(2024, 3, 5, 14, 7, 13), "14:07:03", "05.03.2024"},
        {At(2024, 3, 5, 14, 7, 9), At(2024, 3, 5, 15, 2, 0), "14:10", "05.03.2024"},
        {At(2024, 3, 5, 13, 0, 1), At(2024, 3, 6, 13, 0, 0), "15:00", "05.03.2024"},
        {At(2024, 3, 5), At(2024, 4, 20), "11.03", "2024"},
        {At(2024, 3, 5), At(2025, 3, 5), "maj", "2024"},
        {At(2001, 6, 1), At(2026, 1, 1), "2005", ""},
    };
    for (const SpanCase& c : cases) {
        SCOPED_TRACE(c.firstLabel);
        const auto ticks = CTimeAxis::Ticks(c.t0, c.t1, 10);
        ASSERT_GE(ticks.size(), 2u);
        EXPECT_LE(ticks.size(), 11u);  // both ends may hold a tick
        EXPECT_EQ(ticks.front().strLabel, QString::fromUtf8(c.firstLabel));
        EXPECT_EQ(ticks.front().strContext, QString::fromUtf8(c.firstContext));
        for (const TimeTick& t : ticks) {
            EXPECT_GE(t.nTimeMs, c.t0);
            EXPECT_LE(t.nTimeMs, c.t1);
        }
    }
}

// The date row names each new day under sub-day ticks, and only then; week
// ticks fall on Mondays; a span before 1970 works like any other.
TEST(TimeAxis, DateRowWeeksAndEarlyYears)
{
    const auto hours = CTimeAxis::Ticks(At(2024, 3, 5, 18), At(2024, 3, 6, 6), 6);
    int dated = 0;
    for (const TimeTick& t : hours) {
        if (!t.strContext.isEmpty())
            ++dated;
        if (t.strLabel == QLatin1String("00:00")) {
            EXPECT_EQ(t.strContext, QLatin1String("06.03.2024"));
        }
    }
    EXPECT_EQ(dated, 2);

    for (const TimeTick& t : CTimeAxis::Ticks(At(2024, 1, 1), At(2024, 4, 1), 8))
        EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(t.nTimeMs, QTimeZone::utc()).date().dayOfWeek(), 1);

    const auto early = CTimeAxis::Ticks(At(1969, 12, 31, 23, 59, 50), At(1970, 1, 1, 0, 0, 10), 5);
    ASSERT_FALSE(early.empty());
    EXPECT_EQ(early.front().nTimeMs % 5000, 0);
    EXPECT_TRUE(CTimeAxis::Ticks(100, 100, 10).empty());
    EXPECT_EQ(CTimeAxis::FullTime(At(2024, 3, 5, 14, 7, 9)), QLatin1String("2024-03-05 14:07:09"));
}

// Value ticks are round numbers with the decimals of their step; a flat line
// still gets a range to be drawn in.
TEST(ValueAxis, RoundTicksAndLabels)
{
    const auto ticks = CValueAxis::Ticks(1012.93, 1013.71, 8);
    ASSERT_FALSE(ticks.empty());
    EXPECT_NEAR(ticks.front(), 1013.0, 1e-9);
    const double step = CValueAxis::Step(1012.93, 1013.71, 8);
    EXPECT_NEAR(step, 0.1, 1e-12);
    EXPECT_EQ(CValueAxis::Label(ticks[3], step), QLatin1String("1013.3"));
    EXPECT_EQ(CValueAxis::Label(1000.0, 50.0), QLatin1String("1000"));

    double min = 1013.2, max = 1013.2;
    CValueAxis::Pad(min, max);
    EXPECT_LT(min, 1013.2);
    EXPECT_GT(max, 1013.2);
}

// Spans no log gives (non-finite, astronomically wide, or too narrow for the
// size of their ends) give a bounded number of ticks at once, never a loop.
TEST(ValueAxis, DegenerateSpansGiveFewTicks)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double cases[][2] = {{NAN, 1013.0},    {1013.0, NAN},  {1013.0, inf}, {-inf, inf},
                               {-1e300, 1e300},  {1013.0, 1e300}, {1e17, 1e17 + 64},
                               {1e-320, 2e-320}, {-1e308, 1e308}};
    for (const auto& c : cases) {
        double min = c[0], max = c[1];
        CValueAxis::Pad(min, max);
        const auto ticks = CValueAxis::Ticks(min, max, 8);
        EXPECT_LE(ticks.size(), 10u) << c[0] << " " << c[1];
        for (const double t : ticks)
            EXPECT_TRUE(std::isfinite(t) && t >= min && t <= max) << c[0] << " " << c[1];
        (void)CValueAxis::Label(ticks.empty() ? 0.0 : ticks.front(), CValueAxis::Step(min, max, 8));
    }
    const qint64 far = std::numeric_limits<qint64>::max();
    for (const auto& [t0, t1] : {std::pair{-far - 1, far}, std::pair{qint64(0), far},
                                 std::pair{far - 10, far}, std::pair{-far - 1, -far + 10}})
        EXPECT_LE(CTimeAxis::Ticks(t0, t1, 10).size(), 24u) << t0 << " " << t1;
}
