#include "station/pressurereduction.h"

#include <cmath>

namespace {

constexpr double kLapseRate = 0.0065;          // K/m, the standard atmosphere
constexpr double kSeaLevelTemperature = 288.15; // K
constexpr double kQnhExponent = 5.25588;
constexpr double kGravity = 9.80665;           // m/s²
constexpr double kGasConstant = 287.05;        // J/(kg·K), dry air
constexpr double kZeroCelsius = 273.15;

} // namespace

double ReduceQnh(double pressureHpa, double elevationM)
{
    return pressureHpa * std::pow(1.0 - kLapseRate * elevationM / kSeaLevelTemperature, -kQnhExponent);
}

double ReduceQff(double pressureHpa, double elevationM, double temperatureC)
{
    const double meanTemperature = temperatureC + kZeroCelsius + kLapseRate * elevationM / 2.0;
    return pressureHpa * std::exp(kGravity * elevationM / (kGasConstant * meanTemperature));
}

std::optional<double> Reduce(const StationSettings& settings, double pressureHpa)
{
    switch (settings.nReduction) {
    case StationSettings::kQnh:
        return ReduceQnh(pressureHpa, settings.dElevation);
    case StationSettings::kQff:
        return ReduceQff(pressureHpa, settings.dElevation, settings.dTemperature);
    default:
        return std::nullopt;
    }
}

const char* ReductionName(int reduction)
{
    switch (reduction) {
    case StationSettings::kQnh:
        return "QNH";
    case StationSettings::kQff:
        return "QFF";
    default:
        return "";
    }
}
