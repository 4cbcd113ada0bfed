#include "station/stationsettings.h"

#include <cmath>
#include <initializer_list>

namespace {

bool Within(double value, double low, double high)
{
    // NaN fails both comparisons.
    return value >= low && value <= high;
}

} // namespace

StationSettings StationSettings::Sanitized() const
{
    const StationSettings d;
    StationSettings s = *this;
    if (!Within(s.dElevation, -500.0, 9000.0))
        s.dElevation = d.dElevation;
    if (!Within(s.dCorrection, -50.0, 50.0))
        s.dCorrection = d.dCorrection;
    s.dCorrection = std::round(s.dCorrection * 100.0) / 100.0;
    if (s.nReduction != kNoReduction && s.nReduction != kQnh && s.nReduction != kQff)
        s.nReduction = d.nReduction;
    if (!Within(s.dTemperature, -80.0, 60.0))
        s.dTemperature = d.dTemperature;
    if (s.bTendency != 0 && s.bTendency != 1)
        s.bTendency = d.bTendency;
    // An alert threshold of a pressure or a change: 0 off, never negative;
    // nothing beyond what a barometer could show.
    for (double* threshold : {&s.dAlertFall, &s.dAlertRise})
        if (!Within(*threshold, 0.0, 100.0))
            *threshold = 0.0;
    for (double* threshold : {&s.dAlertLow, &s.dAlertHigh})
        if (!Within(*threshold, 0.0, 2000.0))
            *threshold = 0.0;
    if (!Within(s.dAlertHysteresis, 0.0, 50.0))
        s.dAlertHysteresis = d.dAlertHysteresis;
    // Up to a week.
    if (s.nAlertSilence < 0 || s.nAlertSilence > 7 * 24 * 60)
        s.nAlertSilence = d.nAlertSilence;
    return s;
}
