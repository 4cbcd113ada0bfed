#include "plot/core/plotstation.h"

#include <QCoreApplication>
#include <QScopeGuard>

#include <cmath>

#include "settings/metersettings.h"
#include "settings/settingsfile.h"
#include "station/pressurereduction.h"

namespace {

const QString kSection = QStringLiteral("STATION");

// A number written with a decimal point (QString::toDouble never follows the
// locale), within [min, max].
std::optional<double> Number(const CSettingsFile& file, const QString& key, double min, double max)
{
    bool ok = false;
    const double v = file.GetString(kSection, key, QString()).toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < min || v > max)
        return std::nullopt;
    return v;
}

}  // namespace

CPlotStation CPlotStation::FromSettingsFile(const QString& path)
{
    CPlotStation station;
    CSettingsFile file(4);
    if (!file.Load(path))
        return station;
    const int reduction = file.GetInt(kSection, QStringLiteral("REDUCTION"), StationSettings::kNoReduction);
    const bool reduces = reduction == StationSettings::kQnh || reduction == StationSettings::kQff;
    if (reduces)
        station.m_settings.nReduction = reduction;
    const auto elevation = Number(file, QStringLiteral("ELEVATION"), kMinElevation, kMaxElevation);
    station.m_settings.dElevation = elevation.value_or(0.0);
    station.m_bElevationKnown = elevation.has_value() || reduces;
    station.m_settings.dTemperature =
        Number(file, QStringLiteral("TEMPERATURE"), kMinTemperature, kMaxTemperature).value_or(15.0);
    return station;
}

QString CPlotStation::Km302SettingsPath()
{
    // The configuration folder follows the application's name: KM302's, for
    // the moment of the call.
    const QString own = QCoreApplication::applicationName();
    const auto restore = qScopeGuard([&] { QCoreApplication::setApplicationName(own); });
    QCoreApplication::setApplicationName(QStringLiteral("KM302"));
    return SettingsFilePath();
}

QString CPlotStation::Name() const
{
    return QString::fromLatin1(ReductionName(m_settings.nReduction));
}

void CPlotStation::Follow(const CPlotSeries& station, CPlotSeries& reduced) const
{
    const qsizetype done = reduced.Size();
    const bool same = done <= station.Size()
                      && (done == 0 || reduced.m_times.back() == station.m_times[size_t(done - 1)]);
    if (!same || reduced.m_strFile != station.m_strFile
        || reduced.m_nSerialNumber != station.m_nSerialNumber) {
        reduced.Clear();
        reduced.m_strFile = station.m_strFile;
        reduced.m_nSerialNumber = station.m_nSerialNumber;
        reduced.Reserve(station.Size());
    }
    reduced.m_nDecimals = station.m_nDecimals;
    for (qsizetype i = reduced.Size(); i < station.Size(); ++i) {
        const float v = station.m_values[size_t(i)];
        reduced.Append(station.m_times[size_t(i)],
                       std::isnan(v) ? v : float(Reduce(m_settings, double(v)).value_or(double(v))));
    }
}
