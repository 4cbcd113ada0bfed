#pragma once
// CPlotStation: what km302-plot reduces a series to sea level with — the
// elevation, the kind of reduction (QNH or QFF) and the air temperature QFF
// uses — read from the [STATION] section of KM302's settings file and/or the
// command line, and the reduced copies of the series it makes.
//
// The logs already carry the corrected reading (KM302 adds its CORRECTION
// before it writes), so nothing is added here: each value is only reduced,
// with the functions of km302_station.
//
// The elevation is known when the file has a valid ELEVATION (−500 … 9000 m,
// decimal point in every locale), or a REDUCTION of QNH or QFF (KM302 leaves
// an elevation of 0 out of the file), or the command line gives one. Without
// it there is nothing to reduce with.
//
// A value object; any thread.

#include <QString>

#include <optional>

#include "plot/core/plotseries.h"
#include "station/stationsettings.h"

class CPlotStation {
public:
    CPlotStation() { m_settings.nReduction = StationSettings::kQnh; }

    bool m_bElevationKnown = false;
    // dElevation, nReduction (QNH when the file switches the reduction off)
    // and dTemperature are used.
    StationSettings m_settings;

    // The [STATION] section of the settings file at `path`; a missing file,
    // section or key leaves the defaults (elevation unknown).
    static CPlotStation FromSettingsFile(const QString& path);
    // KM302's default settings file, KM302.ini in KM302's configuration
    // folder (not the viewer's own).
    static QString Km302SettingsPath();

    // "QNH" or "QFF".
    QString Name() const;
    // Brings `reduced` up to date with `station`: the records `station` gained
    // since the last call are reduced and appended; a series that was emptied
    // or refilled is reduced again from its start.
    void Follow(const CPlotSeries& station, CPlotSeries& reduced) const;

    static constexpr double kMinElevation = -500.0, kMaxElevation = 9000.0;
    static constexpr double kMinTemperature = -80.0, kMaxTemperature = 60.0;
};
