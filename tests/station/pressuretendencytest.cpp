#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "station/pressurehistory.h"
#include "station/pressurereduction.h"

namespace {

constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kNow = 1'700'000'000'000;   // any moment; the history works in UTC milliseconds

// A reading a minute over the 3 hours before kNow, the pressure given as a
// function of the hours since the start of the span (0 … 3).
CPressureHistory Series(const std::function<double(double)>& pressureAt, qint64 step = kMinute,
                        qint64 from = kNow - 3 * kHour)
{
    CPressureHistory history;
    for (qint64 t = from; t <= kNow; t += step)
        history.Add(t, pressureAt(double(t - (kNow - 3 * kHour)) / double(kHour)));
    return history;
}

// Two straight stretches: `first` hPa over the first 1.5 h, then `second` over the last.
std::function<double(double)> Halves(double first, double second)
{
    return [=](double h) { return 1010.0 + (h <= 1.5 ? first * h / 1.5 : first + second * (h - 1.5) / 1.5); };
}

PressureTendency TendencyOf(double first, double second)
{
    const auto tendency = Series(Halves(first, second)).Tendency(kNow);
    EXPECT_TRUE(tendency.has_value());
    return tendency.value_or(PressureTendency{0.0, -1});
}

// The ICAO standard atmosphere gives 898.76 hPa at 1000 m; its QNH is the
// standard sea-level pressure. The QFF example is worked by hand from the
// hypsometric equation (WMO Guide to Instruments and Methods of Observation,
// WMO-No. 8, Part I, ch. 3, the reduction of pressure to sea level):
// 950.0 hPa at 500 m and 10 °C: mean column temperature 283.15 + 1.625 =
// 284.775 K, g·h/(R·T) = 4903.325 / 81744.66 = 0.0599835, exp = 1.0618190
// (1 + x + x²/2 + x³/6 + x⁴/24), QFF = 1008.73 hPa.
TEST(PressureReduction, MatchesTheStandardAtmosphereAndAHandWorkedQff)
{
    EXPECT_NEAR(1013.25, ReduceQnh(898.76, 1000.0), 0.05);
    EXPECT_NEAR(1008.73, ReduceQff(950.0, 500.0, 10.0), 0.01);
    StationSettings s;
    s.dElevation = 1000.0;
    EXPECT_FALSE(Reduce(s, 898.76).has_value());
    s.nReduction = StationSettings::kQnh;
    EXPECT_NEAR(1013.25, Reduce(s, 898.76).value(), 0.05);
}

TEST(PressureTendency, EachWmoCodeFromItsThreeHourCourse)
{
    EXPECT_EQ(0, TendencyOf(2.0, -1.0).nCode);   // up then down, higher
    EXPECT_EQ(0, TendencyOf(1.0, -1.0).nCode);   // up then down, same
    EXPECT_EQ(1, TendencyOf(2.0, 0.0).nCode);    // up then steady
    EXPECT_EQ(1, TendencyOf(2.0, 0.5).nCode);    // up, then more slowly
    EXPECT_EQ(2, TendencyOf(1.0, 1.0).nCode);    // up steadily
    EXPECT_EQ(3, TendencyOf(0.0, 1.5).nCode);    // steady then up
    EXPECT_EQ(3, TendencyOf(-0.5, 1.5).nCode);   // down then up, higher
    EXPECT_EQ(3, TendencyOf(0.5, 1.5).nCode);    // up, then more rapidly
    EXPECT_EQ(4, TendencyOf(0.0, 0.0).nCode);
    EXPECT_EQ(5, TendencyOf(-1.0, 1.0).nCode);   // down then up, same
    EXPECT_EQ(5, TendencyOf(-2.0, 1.0).nCode);   // down then up, lower
    EXPECT_EQ(6, TendencyOf(-2.0, 0.0).nCode);   // down then steady
    EXPECT_EQ(6, TendencyOf(-2.0, -0.5).nCode);  // down, then more slowly
    EXPECT_EQ(7, TendencyOf(-1.0, -1.0).nCode);  // down steadily
    EXPECT_EQ(8, TendencyOf(0.0, -1.5).nCode);   // steady then down
    EXPECT_EQ(8, TendencyOf(0.5, -1.5).nCode);   // up then down, lower
    EXPECT_EQ(8, TendencyOf(-0.5, -1.5).nCode);  // down, then more rapidly
    const PressureTendency falling = TendencyOf(-1.2, -1.1);
    EXPECT_EQ(QStringLiteral("-2.3"), falling.ChangeText());
    EXPECT_EQ(QStringLiteral("↘"), falling.Arrow());
}

TEST(PressureTendency, SizeWordsChangeExactlyAtTheirTenths)
{
    const struct {
        double change;
        const char* text;
        const char* words;
    } cases[] = {
        {0.0, "0.0", "stałe"},           {0.04, "0.0", "stałe"},
        {0.1, "+0.1", "rośnie powoli"},  {1.5, "+1.5", "rośnie powoli"},
        {1.6, "+1.6", "rośnie"},         {3.5, "+3.5", "rośnie"},
        {3.6, "+3.6", "rośnie szybko"},  {6.0, "+6.0", "rośnie szybko"},
        {6.1, "+6.1", "rośnie bardzo szybko"},
        {-0.1, "-0.1", "spada powoli"},  {-1.5, "-1.5", "spada powoli"},
        {-1.6, "-1.6", "spada"},         {-3.5, "-3.5", "spada"},
        {-3.6, "-3.6", "spada szybko"},  {-6.0, "-6.0", "spada szybko"},
        {-6.1, "-6.1", "spada bardzo szybko"},
    };
    for (const auto& c : cases) {
        // Readings as the instrument gives them: the change is a difference
        // of two pressures, never exactly the decimal it prints as.
        const auto tendency = Series([&](double h) { return 1013.7 + c.change * h / 3.0; }).Tendency(kNow);
        ASSERT_TRUE(tendency.has_value()) << c.change;
        EXPECT_EQ(QString::fromUtf8(c.text), tendency->ChangeText()) << c.change;
        EXPECT_EQ(QString::fromUtf8(c.words), tendency->Words()) << c.change;
    }
}

TEST(PressureTendency, NoneWithoutThreeFullHoursOfReadings)
{
    const auto steady = [](double) { return 1000.0; };
    EXPECT_TRUE(Series(steady).Tendency(kNow).has_value());
    // Started 2 h 50 min ago.
    EXPECT_FALSE(Series(steady, kMinute, kNow - 170 * kMinute).Tendency(kNow).has_value());
    // A 40-minute outage an hour ago.
    CPressureHistory gap;
    for (qint64 t = kNow - 3 * kHour; t <= kNow; t += kMinute) {
        if (t <= kNow - 100 * kMinute || t >= kNow - 60 * kMinute)
            gap.Add(t, 1000.0);
    }
    EXPECT_FALSE(gap.Tendency(kNow).has_value());
    // Nothing for the last 40 minutes.
    EXPECT_FALSE(Series(steady).Tendency(kNow + 40 * kMinute).has_value());
}

TEST(PressureHistory, StaysBoundedAndThinningKeepsTheTendency)
{
    // One reading a second with a wobble: the thinned history gives the
    // change of the reading 3 hours ago to the newest within 0.05 hPa.
    const auto wobble = [](double h) { return 1005.0 - 1.234 * h + 0.3 * std::sin(h * 40.0); };
    const CPressureHistory history = Series(wobble, 1000, kNow - 4 * kHour);
    EXPECT_LT(history.Samples().size(), 3000u);
    const auto tendency = history.Tendency(kNow);
    ASSERT_TRUE(tendency.has_value());
    EXPECT_NEAR(wobble(3.0) - wobble(0.0), tendency->dChangeHpa, 0.05 + 0.05);
    EXPECT_EQ(wobble(3.0), history.Samples().back().pressureHpa);
}

} // namespace
