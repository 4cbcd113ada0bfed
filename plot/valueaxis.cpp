#include "plot/valueaxis.h"

#include <cmath>

void CValueAxis::Pad(double& min, double& max)
{
    if (!(max > min)) {
        min -= 1.0;
        max += 1.0;
        return;
    }
    const double room = (max - min) * 0.05;
    min -= room;
    max += room;
}

double CValueAxis::Step(double min, double max, int maxTicks)
{
    const double span = max - min;
    if (!(span > 0) || !std::isfinite(span))
        return 1.0;
    const double rough = span / std::max(1, maxTicks);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= rough)
            return m * power;
    }
    return 10.0 * power;
}

std::vector<double> CValueAxis::Ticks(double min, double max, int maxTicks)
{
    std::vector<double> ticks;
    const double step = Step(min, max, maxTicks);
    if (!(max > min))
        return ticks;
    // Multiples of the step, computed from an integer index so that 0.1
    // steps do not drift into 1013.3000000001.
    for (double i = std::ceil(min / step); i * step <= max + step * 1e-9; i += 1.0)
        ticks.push_back(i * step);
    return ticks;
}

QString CValueAxis::Label(double value, double step)
{
    const int decimals = step >= 1.0 ? 0 : int(std::ceil(-std::log10(step) - 1e-9));
    return QString::number(value, 'f', decimals);
}
