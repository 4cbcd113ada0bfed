#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "plot/core/csvexport.h"

TEST(CsvExport, RecordsOfTheRangeWithIsoTimesAndTheFilesPrecision)
{
    CPlotSeries hpa;
    hpa.m_nSerialNumber = 1234;
    const qint64 t = 1'709'647'629'000;   // 2024-03-05 14:07:09
    hpa.Append(t - 1000, 999.0f);          // before the range
    hpa.Append(t, 1013.2f);
    hpa.Append(t + 1000, NAN);
    hpa.Append(t + 2500, -3.5f);
    hpa.Append(t + 4000, 1.0f);            // after it
    CPlotSeries pascals;
    pascals.m_nDecimals = 3;
    pascals.Append(t + 3000, 1013.25f);

    EXPECT_EQ(QByteArray("czas,seria,cisnienie_hpa\n"
                         "2024-03-05T14:07:09,1234,1013.2\n"
                         "2024-03-05T14:07:10,1234,\n"
                         "2024-03-05T14:07:11.500,1234,-3.5\n"
                         "2024-03-05T14:07:12,,1013.250\n"),
              ExportCsv({&hpa, &pascals}, t, t + 3000));
    EXPECT_EQ(QByteArray("czas,seria,cisnienie_hpa\n"), ExportCsv({&hpa}, t + 5000, t + 9000));
}

// A locale with a decimal comma (the viewer runs in the user's) changes no
// number of the file.
TEST(CsvExport, DecimalPointInAPolishLocale)
{
    CPlotSeries s;
    s.m_nSerialNumber = 1234;
    s.Append(1'796'776'912'000, 1013.1f);   // 2026-12-09 00:41:52
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(nullptr, std::setlocale(LC_ALL, "pl_PL.UTF-8"));
    const QByteArray csv = ExportCsv({&s}, 0, 1'796'776'912'000);
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(QByteArray("czas,seria,cisnienie_hpa\n2026-12-09T00:41:52,1234,1013.1\n"), csv);
}
