#include "plot/core/vrdlogparser.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "recording/binarylog.h"
#include "recording/vrdreader.h"

std::size_t CVrdLogParser::SeriesFor(int serialNumber, std::vector<CPlotSeries>& series)
{
    if (m_nCurrent < m_serials.size() && m_serials[m_nCurrent] == serialNumber)
        return m_nCurrent;
    for (std::size_t i = 0; i < m_serials.size(); ++i) {
        if (m_serials[i] == serialNumber)
            return i;
    }
    // Gaps at the very start wait in a series that takes the first serial number.
    if (m_serials.size() == 1 && !m_hasValue[0]) {
        m_serials[0] = serialNumber;
        series[0].m_nSerialNumber = serialNumber;
        return 0;
    }
    AddSeries(series, serialNumber);
    m_serials.push_back(serialNumber);
    m_hasValue.push_back(false);
    return series.size() - 1;
}

qsizetype CVrdLogParser::Parse(QByteArrayView data, bool final, std::vector<CPlotSeries>& series)
{
    CVrdReader::Damage damage;
    const qsizetype consumed = CVrdReader::Scan(data, final, [&](const VrdRecord& record) {
        const auto& t = record.time;
        const qint64 time = TimeMs(t.year, t.month, t.day, t.hour, t.minute, t.second);
        if (time == kBadTime || (record.bValid && !IsPlausible(record.dPressureHpa))) {
            ++m_nDamaged;
            return true;
        }
        if (record.bValid) {
            m_nCurrent = SeriesFor(record.nSerialNumber, series);
            m_hasValue[m_nCurrent] = true;
            CPlotSeries& target = series[m_nCurrent];
            // Pascals are stored with three decimals of hPa, hectopascals with one.
            const double tenths = record.dPressureHpa * 10;
            if (std::abs(tenths - std::round(tenths)) > 1e-6)
                target.m_nDecimals = 3;
            target.Append(time, static_cast<float>(record.dPressureHpa));
        } else {
            if (m_serials.empty())
                SeriesFor(0, series);
            series[m_nCurrent].Append(time, std::numeric_limits<float>::quiet_NaN());
        }
        return true;
    }, damage);
    m_nDamaged += damage.nStretches;
    return consumed;
}

qsizetype CVrdLogParser::EstimateRecords(QByteArrayView data) const
{
    // Every record ends at a stored check mark; a check byte may look like one too.
    return std::count(data.begin(), data.end(), static_cast<char>(CBinaryLog::kStoredCheckMark));
}
