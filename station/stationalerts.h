#pragma once
// CStationAlerts: the station's alerts, each told once when its condition
// starts and once when it ends, never once a frame.
//
//  kind      starts when                                ends when
//  fall      3-hour change ≤ −ALERT_FALL                 change > −ALERT_FALL + hysteresis
//  rise      3-hour change ≥ ALERT_RISE                  change < ALERT_RISE − hysteresis
//  low       shown value ≤ ALERT_LOW                     value ≥ ALERT_LOW + hysteresis
//  high      shown value ≥ ALERT_HIGH                    value ≤ ALERT_HIGH − hysteresis
//  silence   ALERT_SILENCE minutes without a valid       a valid reading
//            reading (counted from the start, too)
//
// Without a valid reading the value alerts keep their state; without a
// tendency the tendency alerts keep theirs.
//
// A value object; user-interface thread.

#include <QString>

#include <optional>
#include <vector>

#include "station/pressuretendency.h"
#include "station/stationsettings.h"

struct StationAlert {
    QString strKind;     // "fall", "rise", "low", "high", "silence"
    bool bActive;        // started (true) or ended (false)
    QString strText;     // one Polish sentence for people
};

class CStationAlerts {
public:
    // Settings changed: alerts switched off end (told), thresholds apply from
    // the next Update.
    std::vector<StationAlert> SetSettings(const StationSettings& settings, qint64 nowMsec);
    // One refresh at `nowMsec`: the shown, corrected value in hPa when the
    // reading is valid, and the tendency when there is one.
    std::vector<StationAlert> Update(qint64 nowMsec, std::optional<double> pressureHpa,
                                     std::optional<PressureTendency> tendency);
    bool IsActive(const QString& kind) const;

private:
    StationSettings m_settings;
    qint64 m_lastValidMsec = -1;
    bool m_bFall = false;
    bool m_bRise = false;
    bool m_bLow = false;
    bool m_bHigh = false;
    bool m_bSilence = false;
};
