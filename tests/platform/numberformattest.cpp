#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "platform/numberformat.h"

namespace {

// Exact decimal expansion, rounded half away from zero by hand: the reference
// that FormatFixed is held against.
std::string ReferenceFixed(double value, int decimals)
{
    char buffer[1500];
    std::snprintf(buffer, sizeof buffer, "%.1100f", std::fabs(value));   // exact for every double
    std::string digits(buffer);
    // The decimal point of whatever locale is in force.
    const std::size_t point = digits.find_first_not_of("0123456789");
    digits[point] = '.';
    const bool up = digits[point + 1 + static_cast<std::size_t>(decimals)] >= '5';
    digits.resize(decimals == 0 ? point : point + 1 + static_cast<std::size_t>(decimals));
    if (up) {
        std::size_t i = digits.size();
        while (i-- > 0) {
            if (digits[i] == '.')
                continue;
            if (digits[i] != '9') {
                ++digits[i];
                break;
            }
            digits[i] = '0';
            if (i == 0)
                digits.insert(digits.begin(), '1');
        }
    }
    return (std::signbit(value) ? "-" : "") + digits;
}

TEST(FormatFixed, ExactTiesRoundAwayFromZero)
{
    EXPECT_EQ(FormatFixed(-12.25, 1), "-12.3");
    EXPECT_EQ(FormatFixed(0.25, 1), "0.3");
    EXPECT_EQ(FormatFixed(1013.25, 1), "1013.3");
    EXPECT_EQ(FormatFixed(101325 * 0.01, 3), "1013.250");
    EXPECT_EQ(FormatFixed(0.125, 2), "0.13");
    EXPECT_EQ(FormatFixed(-0.125, 2), "-0.13");
    EXPECT_EQ(FormatFixed(1013.125, 2), "1013.13");   // hPa with three decimals, then two
    EXPECT_EQ(FormatFixed(1013.0625, 3), "1013.063");
}

TEST(FormatFixed, NoDecimalsRoundsTiesAwayAndCarries)
{
    EXPECT_EQ(FormatFixed(2.5, 0), "3");
    EXPECT_EQ(FormatFixed(-2.5, 0), "-3");
    EXPECT_EQ(FormatFixed(0.5, 0), "1");
    EXPECT_EQ(FormatFixed(-0.5, 0), "-1");
    EXPECT_EQ(FormatFixed(9.5, 0), "10");
    EXPECT_EQ(FormatFixed(-999.5, 0), "-1000");
    EXPECT_EQ(FormatFixed(9.75, 1), "9.8");
    EXPECT_EQ(FormatFixed(99.96875, 4), "99.9688");
    EXPECT_EQ(FormatFixed(0.96875, 4), "0.9688");
    EXPECT_EQ(FormatFixed(9.999755859375, 11), "9.99975585938");
}

TEST(FormatFixed, NearTiesRoundToTheNearerSide)
{
    EXPECT_EQ(FormatFixed(std::nextafter(0.25, 0.0), 1), "0.2");
    EXPECT_EQ(FormatFixed(std::nextafter(0.25, 1.0), 1), "0.3");
    EXPECT_EQ(FormatFixed(std::nextafter(-12.25, 0.0), 1), "-12.2");
    EXPECT_EQ(FormatFixed(std::nextafter(-12.25, -100.0), 1), "-12.3");
    EXPECT_EQ(FormatFixed(std::nextafter(2.5, 0.0), 0), "2");
    // 1013.15 is not a tie in binary: it lies just below the half.
    EXPECT_EQ(FormatFixed(1013.15, 1), "1013.1");
    EXPECT_EQ(FormatFixed(0.05, 1), "0.1");
}

TEST(FormatFixed, SignsZerosAndSpecialValuesAsPrintf)
{
    EXPECT_EQ(FormatFixed(0.0, 1), "0.0");
    EXPECT_EQ(FormatFixed(-0.0, 1), "-0.0");
    EXPECT_EQ(FormatFixed(-0.01, 1), "-0.0");
    EXPECT_EQ(FormatFixed(-0.04, 0), "-0");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::denorm_min(), 1), "0.0");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 1), "inf");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 3), "-inf");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 1), "nan");
    EXPECT_EQ(FormatFixed(0.125, -1), "0.125000");   // negative precision: printf's default
}

TEST(FormatFixed, LargeValues)
{
    EXPECT_EQ(FormatFixed(1e20, 1), "100000000000000000000.0");
    EXPECT_EQ(FormatFixed(-1e20, 0), "-100000000000000000000");
    // 2^52 - 1.5: the largest ties at zero decimals; glibc gives the even ...94.
    EXPECT_EQ(FormatFixed(4503599627370494.5, 0), "4503599627370495");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::max(), 2),
              ReferenceFixed(std::numeric_limits<double>::max(), 2));
}

TEST(FormatFixed, AgreesWithExactReferenceOnRandomValues)
{
    std::mt19937_64 random(20240611);
    std::uniform_int_distribution<int> decimalsDist(0, 8);
    int checked = 0;
    for (int i = 0; i < 30000; ++i) {
        const int decimals = decimalsDist(random);
        double value = 0;
        switch (i % 3) {
        case 0: {   // an exact tie: odd m times 2^-(decimals + 1)
            const std::uint64_t m = (random() >> 20) | 1;
            value = std::ldexp(static_cast<double>(m), -(decimals + 1));
            break;
        }
        case 1: {   // next to a tie, on either side
            const std::uint64_t m = (random() >> 30) | 1;
            const double tie = std::ldexp(static_cast<double>(m), -(decimals + 1));
            value = std::nextafter(tie, (random() & 1) ? 0.0 : 1e30);
            break;
        }
        default: {  // anything from 1e-12 to 1e22
            std::uniform_real_distribution<double> exponent(-12, 22);
            value = std::pow(10.0, exponent(random)) * (1 + (random() % 1000) / 1000.0);
            break;
        }
        }
        if (random() & 1)
            value = -value;
        ASSERT_EQ(FormatFixed(value, decimals), ReferenceFixed(value, decimals))
            << "value " << value << " decimals " << decimals;
        ++checked;
    }
    EXPECT_EQ(checked, 30000);
}

TEST(FormatPrintf, FixedConversionsRoundTiesAwayWithinTheirFields)
{
    EXPECT_EQ(FormatPrintf("%.1f hPa", 1013.25), "1013.3 hPa");
    EXPECT_EQ(FormatPrintf("%.01f", -12.25), "-12.3");
    EXPECT_EQ(FormatPrintf("%.03f", 1013.0625), "1013.063");
    EXPECT_EQ(FormatPrintf("[%6.1f]", -0.25), "[  -0.3]");
    EXPECT_EQ(FormatPrintf("[%-6.1f]", 0.25), "[0.3   ]");
    EXPECT_EQ(FormatPrintf("[%+.1f|% .1f]", 0.25, 0.25), "[+0.3| 0.3]");
    EXPECT_EQ(FormatPrintf("[%08.2f]", -1.125), "[-0001.13]");
    EXPECT_EQ(FormatPrintf("[%*.*f]", 7, 2, 0.125), "[   0.13]");
    EXPECT_EQ(FormatPrintf("[%-*.1f]", -5, 0.25), "[0.3  ]");
    EXPECT_EQ(FormatPrintf("%#.0f %.0f", 2.5, 3.5), "3. 4");
    EXPECT_EQ(FormatPrintf("%f %f", 0.0000005, 0.0000015), "0.000000 0.000002");
    EXPECT_EQ(FormatPrintf("%F %5.1f", -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::infinity()),
              "-INF   inf");
}

TEST(FormatPrintf, OtherConversionsAreThoseOfPrintf)
{
    EXPECT_EQ(FormatPrintf("%04d.%02d.%02d %02d:%02d:%02d", 2024, 3, 5, 7, 8, 9),
              "2024.03.05 07:08:09");
    EXPECT_EQ(FormatPrintf("%s.%.3d", "KM302.ini", 1), "KM302.ini.001");
    EXPECT_EQ(FormatPrintf("%s#%li", "Ciśnienie", 1234L), "Ciśnienie#1234");
    EXPECT_EQ(FormatPrintf("%lld %llu %zu %x %X %o %c", -5LL, 7ULL, std::size_t{9}, 255u, 255u,
                           8u, 'k'),
              "-5 7 9 ff FF 10 k");
    EXPECT_EQ(FormatPrintf("100%% %.1f %%", 7.25), "100% 7.3 %");
    EXPECT_EQ(FormatPrintf("%.2e %g", 12345.678, 0.5), "1.23e+04 0.5");
    EXPECT_EQ(FormatPrintf("no conversions"), "no conversions");
    EXPECT_EQ(FormatPrintf("%s", ""), "");
}

TEST(FormatPrintf, DecimalPointStaysAPointInAnyLocale)
{
    const char* locales[] = {"pl_PL.UTF-8", "pl_PL.utf8", "de_DE.UTF-8", "de_DE.utf8"};
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const char* found = nullptr;
    for (const char* name : locales) {
        if (std::setlocale(LC_NUMERIC, name)) {
            found = name;
            break;
        }
    }
    ASSERT_NE(found, nullptr) << "no locale with a decimal comma: scripts/install-deps generates pl_PL.UTF-8";
    const std::string fixed = FormatFixed(1013.25, 1);
    const std::string other = FormatPrintf("%.1f %.2e %g", 0.25, 1.5, 2.5);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(fixed, "1013.3");
    EXPECT_EQ(other, "0.3 1.50e+00 2.5");
}

}  // namespace
