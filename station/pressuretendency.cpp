#include "station/pressuretendency.h"

#include <cmath>
#include <cstdlib>

namespace {

// The change in whole tenths of a hectopascal: the words and the sign are
// decided on these integers, never on a float at a boundary.
long Tenths(double hpa)
{
    return std::lround(hpa * 10.0);
}

} // namespace

QString PressureTendency::ChangeText() const
{
    const long tenths = Tenths(dChangeHpa);
    const QString size = QStringLiteral("%1.%2").arg(std::labs(tenths) / 10).arg(std::labs(tenths) % 10);
    if (tenths > 0)
        return QLatin1Char('+') + size;
    if (tenths < 0)
        return QLatin1Char('-') + size;
    return size;
}

QString PressureTendency::Words() const
{
    const long tenths = Tenths(dChangeHpa);
    const long size = std::labs(tenths);
    if (size == 0)
        return QStringLiteral("stałe");
    const QString words = tenths > 0 ? QStringLiteral("rośnie") : QStringLiteral("spada");
    if (size <= 15)
        return words + QStringLiteral(" powoli");
    if (size <= 35)
        return words;
    if (size <= 60)
        return words + QStringLiteral(" szybko");
    return words + QStringLiteral(" bardzo szybko");
}

QString PressureTendency::Arrow() const
{
    const long tenths = Tenths(dChangeHpa);
    if (tenths > 0)
        return QStringLiteral("↗");
    if (tenths < 0)
        return QStringLiteral("↘");
    return QStringLiteral("→");
}
