#pragma once
// StationSettings: what the program makes of the instrument's reading as a
// weather station, the [STATION] section of the settings. Every key absent
// means everything off: the reading is shown, logged and published as the
// instrument sends it.
//
//  key               read as   default  range
//  ELEVATION         double    0        -500 … 9000 m above mean sea level
//  CORRECTION        double    0        -50 … 50 hPa, 0.01 steps, added to every reading
//  REDUCTION         int       0        0 none, 1 QNH, 2 QFF
//  TEMPERATURE       double    15       -80 … 60 °C, the air temperature QFF uses
//  TENDENCY          int       0        1: the 3-hour tendency
//  ALERT_FALL        double    0        0 … 100 hPa in 3 h (0 off)
//  ALERT_RISE        double    0        0 … 100 hPa in 3 h (0 off)
//  ALERT_LOW         double    0        0 … 2000 hPa of the shown, corrected value (0 off)
//  ALERT_HIGH        double    0        0 … 2000 hPa of the shown, corrected value (0 off)
//  ALERT_HYSTERESIS  double    0.5      hPa, 0 … 50
//  ALERT_SILENCE     int       0        0 … 10080 minutes without a valid reading (0 off)
//
// Numbers are written with a decimal point whatever the locale. A value out of
// its range is taken as its default (Sanitized), so a damaged file switches a
// feature off rather than reducing with a wrong elevation.
//
// A plain value; any thread.

struct StationSettings {
    enum Reduction { kNoReduction = 0, kQnh = 1, kQff = 2 };

    double dElevation = 0.0;
    double dCorrection = 0.0;
    int nReduction = kNoReduction;
    double dTemperature = 15.0;
    int bTendency = 0;
    double dAlertFall = 0.0;
    double dAlertRise = 0.0;
    double dAlertLow = 0.0;
    double dAlertHigh = 0.0;
    double dAlertHysteresis = 0.5;
    int nAlertSilence = 0;

    bool operator==(const StationSettings&) const = default;

    // Each value outside its range replaced by its default; the correction
    // rounded to 0.01 hPa.
    StationSettings Sanitized() const;
    // The line under the value is shown (reduction or tendency on).
    bool ShowsLine() const { return nReduction != kNoReduction || bTendency != 0; }
    // The tendency is computed: shown, or needed by a fall or rise alert.
    bool NeedsTendency() const { return bTendency != 0 || dAlertFall > 0 || dAlertRise > 0; }
    bool AnyAlert() const
    {
        return dAlertFall > 0 || dAlertRise > 0 || dAlertLow > 0 || dAlertHigh > 0 || nAlertSilence > 0;
    }
};
