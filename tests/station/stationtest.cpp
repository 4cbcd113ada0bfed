#include <gtest/gtest.h>

#include <QStringList>

#include "station/station.h"

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kStart = 1'700'000'000'000;

QStringList Kinds(const std::vector<StationAlert>& alerts)
{
    QStringList kinds;
    for (const StationAlert& a : alerts)
        kinds << a.strKind + (a.bActive ? QStringLiteral("+") : QStringLiteral("-"));
    return kinds;
}

TEST(Station, EverythingOffChangesNothing)
{
    CStation station;
    EXPECT_EQ(1013.25, station.Corrected(1013.25, false));
    EXPECT_TRUE(station.Update(kStart, 1013.25).empty());
    EXPECT_TRUE(station.Line().isEmpty());
    EXPECT_FALSE(station.Reduced().has_value());
    EXPECT_FALSE(station.Tendency().has_value());
}

TEST(Station, CorrectionInTheInstrumentsUnitAndTheLineUnderTheValue)
{
    CStation station;
    StationSettings s;
    s.dCorrection = 0.304;   // kept to 0.01 hPa
    s.dElevation = 1000.0;
    s.nReduction = StationSettings::kQnh;
    s.bTendency = 1;
    station.SetSettings(s, kStart);
    EXPECT_DOUBLE_EQ(1000.3, station.Corrected(1000.0, false));
    EXPECT_DOUBLE_EQ(100030.0, station.Corrected(100000.0, true));

    station.Update(kStart, 898.76);
    EXPECT_EQ(QStringLiteral("QNH 1013.3 hPa  tendencja: brak 3 h pomiarów"), station.Line());
    for (qint64 t = kStart + kMinute; t <= kStart + 3 * kHour; t += kMinute)
        station.Update(t, 898.76 - 2.3 * double(t - kStart) / double(3 * kHour));
    ASSERT_TRUE(station.Tendency().has_value());
    EXPECT_EQ(7, station.Tendency()->nCode);
    EXPECT_EQ(QStringLiteral("QNH 1010.7 hPa  ↘ −2.3 hPa / 3 h, spada"), station.Line());
    station.Update(kStart + 3 * kHour + kSecond, std::nullopt);
    EXPECT_EQ(QStringLiteral("QNH: brak odczytu  ↘ −2.3 hPa / 3 h, spada"), station.Line());

    s.nReduction = StationSettings::kNoReduction;
    station.SetSettings(s, kStart + 3 * kHour + kSecond);
    EXPECT_EQ(QStringLiteral("↘ −2.3 hPa / 3 h, spada"), station.Line());
}

TEST(StationAlerts, EachFiresOncePerCrossingWithHysteresis)
{
    CStationAlerts alerts;
    StationSettings s;
    s.dAlertLow = 990.0;
    s.dAlertHigh = 1030.0;
    s.dAlertFall = 3.0;
    s.dAlertRise = 3.0;
    s.dAlertHysteresis = 0.5;
    alerts.SetSettings(s, kStart);
    qint64 t = kStart;
    const auto at = [&](std::optional<double> p, std::optional<double> change = std::nullopt) {
        t += kSecond;
        std::optional<PressureTendency> tendency;
        if (change)
            tendency = PressureTendency{*change, 4};
        return Kinds(alerts.Update(t, p, tendency));
    };
    EXPECT_EQ(QStringList(), at(995.0, -2.9));
    const std::vector<StationAlert> low = alerts.Update(t += kSecond, 989.9, PressureTendency{-3.0, 7});
    ASSERT_EQ(2u, low.size());
    EXPECT_EQ(QStringLiteral("Ciśnienie spadło o 3.0 hPa w ciągu 3 godzin (próg alarmu: spadek o 3.0 hPa)."),
              low[0].strText);
    EXPECT_EQ(QStringLiteral("Niskie ciśnienie: 989.9 hPa (próg alarmu 990.0 hPa)."), low[1].strText);
    // Hovering at the thresholds, or no reading at all: nothing more.
    EXPECT_EQ(QStringList(), at(990.2, -2.6));
    EXPECT_EQ(QStringList(), at(989.8, -3.1));
    EXPECT_EQ(QStringList(), at(std::nullopt));
    EXPECT_EQ(QStringList({QStringLiteral("fall-"), QStringLiteral("low-")}), at(990.5, -2.4));
    EXPECT_EQ(QStringList(), at(990.1, -2.9));
    EXPECT_EQ(QStringList({QStringLiteral("rise+"), QStringLiteral("high+")}), at(1030.0, 3.0));
    EXPECT_EQ(QStringList(), at(1029.6, 2.6));
    EXPECT_EQ(QStringList({QStringLiteral("rise-"), QStringLiteral("high-")}), at(1029.5, 2.4));
    EXPECT_TRUE(alerts.IsActive(QStringLiteral("low")) == false);

    // Switched off while active: told as ended, once.
    at(985.0);
    EXPECT_TRUE(alerts.IsActive(QStringLiteral("low")));
    s.dAlertLow = 0.0;
    EXPECT_EQ(QStringList({QStringLiteral("low-")}), Kinds(alerts.SetSettings(s, t)));
    EXPECT_EQ(QStringList(), at(980.0));
}

TEST(StationAlerts, SilenceCountsFromTheStartAndEndsAtAValidReading)
{
    CStationAlerts alerts;
    StationSettings s;
    s.nAlertSilence = 10;
    alerts.SetSettings(s, kStart);
    EXPECT_TRUE(alerts.Update(kStart + 9 * kMinute, std::nullopt, std::nullopt).empty());
    const auto started = alerts.Update(kStart + 10 * kMinute, std::nullopt, std::nullopt);
    ASSERT_EQ(1u, started.size());
    EXPECT_EQ(QStringLiteral("Brak poprawnego odczytu od 10 min (próg alarmu 10 min)."), started[0].strText);
    EXPECT_TRUE(alerts.Update(kStart + 11 * kMinute, std::nullopt, std::nullopt).empty());
    EXPECT_EQ(QStringList({QStringLiteral("silence-")}),
              Kinds(alerts.Update(kStart + 12 * kMinute, 1000.0, std::nullopt)));
    EXPECT_TRUE(alerts.Update(kStart + 21 * kMinute, std::nullopt, std::nullopt).empty());
    EXPECT_EQ(QStringList({QStringLiteral("silence+")}),
              Kinds(alerts.Update(kStart + 22 * kMinute, std::nullopt, std::nullopt)));
}

} // namespace
