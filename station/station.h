#pragma once
// CStation: the instrument's reading as a weather station reads it: the
// calibration correction, the reduction to sea level, the 3-hour tendency and
// the alerts, after the settings' [STATION] section. With everything off it
// changes nothing: Corrected returns the value as sent and the line is empty.
//
// The measurement corrects each valid value before it is shown (so that the
// display, the logs, D-Bus and MQTT carry the corrected value) and then calls
// Update once a refresh with the shown value; the program shows Line under
// the value and tells the alerts Update returns.
//
// A value object; user-interface thread.

#include <QString>

#include <optional>
#include <vector>

#include "station/pressurehistory.h"
#include "station/pressuretendency.h"
#include "station/stationalerts.h"
#include "station/stationsettings.h"

class CStation {
public:
    // Alerts that end because the settings switched them off.
    std::vector<StationAlert> SetSettings(const StationSettings& settings, qint64 nowMsec);
    const StationSettings& Settings() const { return m_settings; }

    // The value with the correction added, in the instrument's unit (the
    // correction is in hPa: 100 times it for an instrument that sends Pa).
    double Corrected(double value, bool pascals) const;

    // One refresh at `nowMsec`: the shown, corrected value in hPa when the
    // reading is valid. Returns the alerts that start or end.
    std::vector<StationAlert> Update(qint64 nowMsec, std::optional<double> pressureHpa);

    // The reduced value of the last valid reading (nothing when the reduction
    // is off or the reading is not valid).
    std::optional<double> Reduced() const { return m_reduced; }
    // The tendency at the last Update (nothing when it is off or the
    // readings do not cover 3 hours).
    std::optional<PressureTendency> Tendency() const { return m_tendency; }
    // The line under the value, e.g. "QNH 1016.4 hPa  ↘ −2.3 hPa / 3 h, spada";
    // empty when neither the reduction nor the tendency is on.
    QString Line() const;

    CPressureHistory& History() { return m_history; }
    const CStationAlerts& Alerts() const { return m_alerts; }

private:
    StationSettings m_settings;
    CPressureHistory m_history;
    CStationAlerts m_alerts;
    std::optional<double> m_pressure;   // the last reading, corrected hPa
    std::optional<double> m_reduced;
    std::optional<PressureTendency> m_tendency;
};
