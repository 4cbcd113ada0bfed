#include "plot/text/valueaxis.h"

#include <algorithm>
#include <cmath>

void CValueAxis::Pad(double& min, double& max)
{
    if (!std::isfinite(min) || !std::isfinite(max))
        return;
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
    // A span too narrow to divide (denormal) has no round step.
    if (!(power > 0) || !std::isfinite(power))
        return 1.0;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= rough)
            return m * power;
    }
    return 10.0 * power;
}

std::vector<double> CValueAxis::Ticks(double min, double max, int maxTicks)
{
    std::vector<double> ticks;
    if (!(max > min) || !std::isfinite(min) || !std::isfinite(max))
        return ticks;
    const double step = Step(min, max, maxTicks);
    // Multiples of the step, computed from an integer index so that 0.1
    // steps do not drift into 1013.3000000001.
    const double first = std::ceil(min / step);
    const double last = std::floor(max / step + 1e-9);
    // The step makes at most maxTicks + 1 of them; more (or none that can be
    // counted) means a span too narrow for the size of its ends, as 1e17 ± 1,
    // where the index cannot step: no ticks then.
    if (!(last - first >= 0) || last - first > std::max(1, maxTicks) + 2.0)
        return ticks;
    const int count = int(last - first) + 1;
    for (int i = 0; i < count; ++i)
        ticks.push_back((first + i) * step);
    return ticks;
}

QString CValueAxis::Label(double value, double step)
{
    const int decimals = step >= 1.0 || !(step > 0) ? 0 : std::min(12, int(std::ceil(-std::log10(step) - 1e-9)));
    return QString::number(value, 'f', decimals);
}
