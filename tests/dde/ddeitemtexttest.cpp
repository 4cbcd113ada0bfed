// The item texts that DDE clients receive, for every unit index the display
// knows, with the truncation and the rounding of ties away from zero.

#include <gtest/gtest.h>

#include "dde/ddeitemtext.h"
#include "tests/dde/qtprinters.h"

namespace {

DdeItemSource Shown(double value, int unit, bool fine = false)
{
    return {.rawValue = value, .displayUnit = unit, .fineResolution = fine, .noValue = false,
            .blinking = false};
}

QString Result(const DdeItemSource& d) { return DdeItemText(kDdeItemResult, d); }
QString Measurement(const DdeItemSource& d) { return DdeItemText(kDdeItemMeasurement, d); }

TEST(DdeItemText, HectopascalsAreTruncatedToTheTenth)
{
    EXPECT_EQ(Result(Shown(1013.25, 5)), "1013.2");
    EXPECT_EQ(Measurement(Shown(1013.25, 5)), "1013.2 hPa");
    // 0.9 - 0.05 is the double just below 0.85.
    EXPECT_EQ(Result(Shown(0.9, 5)), "0.8");
    EXPECT_EQ(Measurement(Shown(0.9, 5)), "0.8 hPa");
    EXPECT_EQ(Result(Shown(0.0, 5)), "-0.1");
    EXPECT_EQ(Result(Shown(25.0, 5)), "24.9");
}

TEST(DdeItemText, ExactTiesAfterTruncationRoundAwayFromZero)
{
    // The sums are exact halves, where the C library's printf rounds to even.
    ASSERT_EQ(TruncateForDde(-12.3), -12.25);
    ASSERT_EQ(TruncateForDde(1013.3), 1013.25);
    EXPECT_EQ(Result(Shown(-12.3, 5)), "-12.3");
    EXPECT_EQ(Measurement(Shown(-12.3, 5)), "-12.3 hPa");
    EXPECT_EQ(Result(Shown(1013.3, 5)), "1013.3");
    EXPECT_EQ(Measurement(Shown(1013.3, 9)), "1013.3 Pa");
}

TEST(DdeItemText, PascalsCarryTheirUnit)
{
    EXPECT_EQ(Result(Shown(101325.0, 9)), "101324.9");
    EXPECT_EQ(Measurement(Shown(101325.0, 9)), "101324.9 Pa");
    EXPECT_EQ(Measurement(Shown(-3.07, 9)), "-3.0 Pa");
}

TEST(DdeItemText, StatusReportsAnErrorWhileNothingValidIsShown)
{
    DdeItemSource d = Shown(1013.2, 5);
    EXPECT_EQ(DdeItemText(kDdeItemStatus, d), "Pomiar OK");
    d.blinking = true;
    EXPECT_EQ(DdeItemText(kDdeItemStatus, d), "Błąd pomiaru");
    d.blinking = false;
    d.noValue = true;
    EXPECT_EQ(DdeItemText(kDdeItemStatus, d), "Błąd pomiaru");
}

TEST(DdeItemText, FineResolutionShowsHundredthsUntruncated)
{
    for (int unit : {1, 3, 5, 6, 7, 9})
        EXPECT_EQ(Result(Shown(2.345, unit, true)), "2.35") << unit;
    EXPECT_EQ(Measurement(Shown(2.345, 3, true)), "2.35 °C");
    // Only the temperature's measurement text knows hundredths.
    EXPECT_EQ(Measurement(Shown(2.38, 5, true)), "2.3 hPa");
    EXPECT_EQ(Measurement(Shown(12.38, 1, true)), "12.3 W/m2");
}

TEST(DdeItemText, EveryUnitHasItsFormat)
{
    EXPECT_EQ(Measurement(Shown(12.38, 1)), "12.3 W/m2");
    EXPECT_EQ(Result(Shown(12.345, 2)), "12.35");
    EXPECT_EQ(Measurement(Shown(12.345, 2)), "12.35 kLx");
    EXPECT_EQ(Result(Shown(21.0, 3)), "20.9");
    EXPECT_EQ(Measurement(Shown(21.0, 3)), "20.9 °C");
    EXPECT_EQ(Result(Shown(2.5, 4)), "3");
    EXPECT_EQ(Measurement(Shown(-2.5, 4)), "-3 °");
    EXPECT_EQ(Measurement(Shown(7.45, 6)), "7.4 m/s");
    EXPECT_EQ(Result(Shown(55.08, 7)), "55.0");
    EXPECT_EQ(Measurement(Shown(55.08, 7)), "55.0 %");
    EXPECT_EQ(Result(Shown(412.5, 8)), "413");
    EXPECT_EQ(Measurement(Shown(412.5, 8)), "413 ppm");
}

TEST(DdeItemText, UnknownUnitsAndItemsAreEmpty)
{
    for (int unit : {0, 10, -1}) {
        EXPECT_TRUE(Result(Shown(1.0, unit)).isEmpty()) << unit;
        EXPECT_TRUE(Measurement(Shown(1.0, unit)).isEmpty()) << unit;
    }
    EXPECT_TRUE(DdeItemText(3, Shown(1.0, 5)).isEmpty());
    EXPECT_TRUE(DdeItemText(-1, Shown(1.0, 5)).isEmpty());
}

}  // namespace
