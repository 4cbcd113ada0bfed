#include "plot/text/statstext.h"

#include "plot/text/timeaxis.h"

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
