#pragma once
// Station pressure reduced to mean sea level.
//
// QNH, the ICAO standard atmosphere (no temperature):
//     QNH = p · (1 − 0.0065·h / 288.15)^−5.25588
// QFF, the hypsometric equation with the air temperature t (°C) at the
// station and the standard lapse rate over half the height:
//     QFF = p · exp(g·h / (R·(t + 273.15 + 0.0065·h/2))),  g = 9.80665, R = 287.05
// p is the corrected station pressure in hPa, h the elevation in metres.
//
// Pure functions; any thread.

#include <optional>

#include "station/stationsettings.h"

double ReduceQnh(double pressureHpa, double elevationM);
double ReduceQff(double pressureHpa, double elevationM, double temperatureC);
// The reduction the settings ask for; nothing when it is off.
std::optional<double> Reduce(const StationSettings& settings, double pressureHpa);
// "QNH", "QFF", or empty when the reduction is off.
const char* ReductionName(int reduction);
