#include "plot/text/statstext.h"

#include "plot/text/timeaxis.h"

#include <cmath>

QString StatsText(const std::vector<RangeStats>& stats)
{
    RangeStats all;
    double sum = 0;
    for (const RangeStats& s : stats) {
        all.nGaps += s.nGaps;
        if (s.nCount == 0)
            continue;
        if (all.nCount == 0) {
            all.fMin = s.fMin;
            all.fMax = s.fMax;
            all.nFirstMs = s.nFirstMs;
            all.nLastMs = s.nLastMs;
        }
        all.fMin = std::min(all.fMin, s.fMin);
        all.fMax = std::max(all.fMax, s.fMax);
        all.nFirstMs = std::min(all.nFirstMs, s.nFirstMs);
        all.nLastMs = std::max(all.nLastMs, s.nLastMs);
        all.nCount += s.nCount;
        // Weighted by count: the mean of all the records, not of the means.
        sum += s.dMean * double(s.nCount);
    }
    const QString gaps = QStringLiteral("przerwy: %1").arg(all.nGaps);
    if (all.nCount == 0)
        return all.nGaps > 0 ? QStringLiteral("Brak rekordów z wartością w widoku · %1").arg(gaps)
                             : QStringLiteral("Brak rekordów w widoku");
    return QStringLiteral("Rekordy: %1 · min %2 · maks %3 · średnia %4 hPa · od %5 do %6 · %7")
        .arg(all.nCount)
        .arg(QString::number(double(all.fMin), 'g', 7), QString::number(double(all.fMax), 'g', 7),
             QString::number(sum / double(all.nCount), 'f', 2), CTimeAxis::FullTime(all.nFirstMs),
             CTimeAxis::FullTime(all.nLastMs), gaps);
}

QString ThreeHourChangeText(const ThreeHourChange& change)
{
    QString what;
    switch (change.kind) {
    case ThreeHourChange::Kind::Change: {
        const double tenths = std::round(change.dHpa * 10.0);
        // Rounded to nothing, the change has no sign.
        const QString sign = tenths > 0 ? QStringLiteral("+") : tenths < 0 ? QStringLiteral("\u2212") : QString();
        what = QStringLiteral("%1%2 hPa").arg(sign, QString::number(std::abs(tenths) / 10.0, 'f', 1));
        break;
    }
    case ThreeHourChange::Kind::NotBack: what = QStringLiteral("brak (zapis nie sięga 3 h wstecz)"); break;
    case ThreeHourChange::Kind::Gap: what = QStringLiteral("brak (przerwa ponad 30 min)"); break;
    case ThreeHourChange::Kind::NoValue: what = QStringLiteral("—"); break;
    }
    return QStringLiteral("zmiana 3 h: %1").arg(what);
}
