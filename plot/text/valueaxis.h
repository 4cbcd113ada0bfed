#pragma once
// CValueAxis: the pressure axis — a range with a little room around the
// values, and ticks at round numbers (1, 2 or 5 times a power of ten) with as
// many decimals as the step needs.
//
// Pure logic, any thread.

#include <QString>

#include <vector>

class CValueAxis {
public:
    // The values [min, max] widened by 5 % on each side; a single value (or
    // a flat line) gets ±1 hPa so that it is drawn mid-height.
    static void Pad(double& min, double& max);
    // Round-number ticks inside [min, max], at most about `maxTicks`.
    static std::vector<double> Ticks(double min, double max, int maxTicks);
    // A tick's text with "." and the decimals its step needs ("1013.5").
    static QString Label(double value, double step);
    // The distance between the ticks Ticks returns for the same arguments.
    static double Step(double min, double max, int maxTicks);
};
