#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "ui/displayformat.h"

namespace {

struct FormatRow {
    int unit;
    bool showUnit;
    bool fine;
    const char* expected;
};

// 1013.27 tells rounding ("1013.3") from cutting ("1013.2") at one decimal.
TEST(DisplayFormatTest, EveryUnitWithAndWithoutItsUnit)
{
    const FormatRow rows[] = {
        {1, true, false, "1013.3 W/m2"},    {1, false, false, "1013.2"},
        {1, false, true, "1013.27"},
        {2, true, false, "1013.27 kLx"},    {2, false, false, "1013.27"},
        {2, true, true, "1013.27 kLx"},
        {3, true, false, "1013.2 °C"},      {3, true, true, "1013.27 °C"},
        {3, false, false, "1013.2"},        {3, false, true, "1013.27"},
        {4, true, false, "1013 °"},         {4, false, false, "1013"},
        {4, true, true, "1013 °"},
        {5, true, false, "1013.3 hPa"},     {5, true, true, "1013.3 hPa"},
        {5, false, false, "1013.2"},        {5, false, true, "1013.27"},
        {6, true, false, "1013.3 m/s"},     {6, false, false, "1013.2"},
        {6, false, true, "1013.27"},
        {7, true, false, "1013.3 %"},       {7, false, false, "1013.2"},
        {7, false, true, "1013.27"},
        {8, true, false, "1013 ppm"},       {8, false, false, "1013"},
        {9, true, false, "1013.3 Pa"},      {9, true, true, "1013.3 Pa"},
        {9, false, false, "1013.2"},        {9, false, true, "1013.27"},
    };
    for (const FormatRow& row : rows) {
        SCOPED_TRACE(testing::Message() << "unit " << row.unit << " showUnit " << row.showUnit
                                        << " fine " << row.fine);
        EXPECT_EQ(QString::fromUtf8(row.expected),
                  FormatDisplayValue(1013.27, row.unit, row.showUnit, row.fine));
    }
}

TEST(DisplayFormatTest, PercentWithUnitHasASinglePercentSign)
{
    const QString text = FormatDisplayValue(55.25, kUnitPercent, true, false);
    EXPECT_EQ(QStringLiteral("55.3 %"), text);
    EXPECT_EQ(1, text.count(QLatin1Char('%')));
}

TEST(DisplayFormatTest, UnknownUnitsGiveNoText)
{
    for (int unit : {0, 10, -1, 255}) {
        SCOPED_TRACE(unit);
        EXPECT_FALSE(IsKnownUnit(unit));
        EXPECT_TRUE(FormatDisplayValue(1013.27, unit, true, false).isEmpty());
        EXPECT_TRUE(FormatDisplayValue(1013.27, unit, false, false).isEmpty());
    }
    EXPECT_TRUE(IsKnownUnit(kUnitWattsPerSquareMetre));
    EXPECT_TRUE(IsKnownUnit(kUnitPascal));
}

TEST(DisplayFormatTest, HalfwayValuesRoundAwayFromZero)
{
    EXPECT_EQ(QStringLiteral("0.3 hPa"), FormatDisplayValue(0.25, kUnitHectopascal, true, false));
    EXPECT_EQ(QStringLiteral("-12.3 Pa"), FormatDisplayValue(-12.25, kUnitPascal, true, false));
    EXPECT_EQ(QStringLiteral("0.13"), FormatDisplayValue(0.125, kUnitHectopascal, false, true));
}

TEST(DisplayFormatTest, NegativeBareValueIsCutTowardZero)
{
    EXPECT_EQ(QStringLiteral("-0.2"), FormatDisplayValue(-0.26, kUnitHectopascal, false, false));
    EXPECT_EQ(QStringLiteral("-1013.2"), FormatDisplayValue(-1013.29, kUnitPascal, false, false));
    // Rounded with the unit: the sign of a value that rounds to zero stays.
    EXPECT_EQ(QStringLiteral("-0.3 hPa"), FormatDisplayValue(-0.26, kUnitHectopascal, true, false));
}

// Every value given in tenths keeps its last digit when cut; subtracting 0.05
// before rounding would show a quarter of them one tenth low (2.0 as "1.9").
TEST(DisplayFormatTest, CuttingKeepsValuesGivenInTenths)
{
    for (int n = -20000; n <= 20000; ++n) {
        const double value = n / 10.0;
        const int magnitude = std::abs(n);
        const std::string expected = std::string(n < 0 ? "-" : "") + std::to_string(magnitude / 10)
                                     + "." + std::to_string(magnitude % 10);
        ASSERT_EQ(expected, TruncatedFixed(value, 1)) << "n = " << n;
    }
}

TEST(DisplayFormatTest, CuttingToZeroShowsNoSign)
{
    EXPECT_EQ("0.0", TruncatedFixed(0.0, 1));
    EXPECT_EQ("0.0", TruncatedFixed(-0.0, 1));
    EXPECT_EQ("0.0", TruncatedFixed(0.04, 1));
    EXPECT_EQ("0.0", TruncatedFixed(-0.04, 1));
    EXPECT_EQ("0.0", TruncatedFixed(1e-300, 1));
}

TEST(DisplayFormatTest, CuttingCopesWithExtremes)
{
    EXPECT_EQ("7.00", TruncatedFixed(7.0, 2));
    const std::string largest = TruncatedFixed(std::numeric_limits<double>::max(), 1);
    EXPECT_EQ("17976931348623157", largest.substr(0, 17));
    EXPECT_EQ(311u, largest.size());
    EXPECT_EQ("-inf", TruncatedFixed(-std::numeric_limits<double>::infinity(), 1));
    EXPECT_EQ("nan", TruncatedFixed(std::numeric_limits<double>::quiet_NaN(), 1));
}

TEST(DisplayFormatTest, WattsAndKiloLuxConvertIntoEachOther)
{
    EXPECT_DOUBLE_EQ(10.0, ConvertUnit(14.7, kUnitWattsPerSquareMetre, kUnitKiloLux));
    EXPECT_DOUBLE_EQ(14.7, ConvertUnit(10.0, kUnitKiloLux, kUnitWattsPerSquareMetre));
    EXPECT_EQ(QStringLiteral("10.00 kLx"),
              FormatDisplayValue(ConvertUnit(14.7, kUnitWattsPerSquareMetre, kUnitKiloLux),
                                 kUnitKiloLux, true, false));
}

TEST(DisplayFormatTest, OtherUnitPairsLeaveTheValue)
{
    const int pairs[][2] = {{1, 1}, {2, 2}, {5, 9}, {1, 3}, {0, 2}, {2, 10}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(testing::Message() << pair[0] << " -> " << pair[1]);
        EXPECT_EQ(1013.27, ConvertUnit(1013.27, pair[0], pair[1]));
    }
}

TEST(DisplayFormatTest, WattsLayoutCentresTheTextAndRaisesTheExponent)
{
    const WattsLayout layout = LayoutWattsText({0, 23, 600, 300}, 301, 69);
    // cx 300, cy 161; w/2 = 150, h/2 = 34, 6h/8 = 51, 2h/8 = 17.
    EXPECT_EQ((RECT{150, 127, 450, 195}), layout.text);
    EXPECT_EQ((RECT{250, 110, 643, 178}), layout.exponent);
    EXPECT_EQ(QStringLiteral("12.3 W/m"), WattsTextWithoutExponent(12.25));
}

TEST(DisplayFormatTest, WattsLayoutDividesTowardZero)
{
    // cx = -101 / 2 = -50 and cy = -49 / 2 = -24, not -51 and -25.
    const WattsLayout layout = LayoutWattsText({-101, -50, 0, 1}, 7, 9);
    EXPECT_EQ((RECT{-53, -28, -47, -20}), layout.text);
    EXPECT_EQ((RECT{-247, -30, 146, -22}), layout.exponent);
}

}  // namespace
