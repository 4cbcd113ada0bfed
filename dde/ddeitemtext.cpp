#include "dde/ddeitemtext.h"

#include "platform/numberformat.h"

namespace {

// One decimal of the truncated value, or two of the value itself when the
// display works in hundredths.
QString FineOrTruncated(const DdeItemSource& d, const char* fine, const char* truncated)
{
    if (d.fineResolution)
        return QString::fromUtf8(FormatPrintf(fine, d.rawValue));
    return QString::fromUtf8(FormatPrintf(truncated, TruncateForDde(d.rawValue)));
}

QString Printf(const char* format, double value)
{
    return QString::fromUtf8(FormatPrintf(format, value));
}

QString ResultText(const DdeItemSource& d)
{
    switch (d.displayUnit) {
    case 1: case 3: case 5: case 6: case 7: case 9:
        return FineOrTruncated(d, "%.2f", "%.1f");
    case 2:
        return Printf("%.2f", d.rawValue);
    case 4: case 8:
        return Printf("%.0f", d.rawValue);
    default:
        return {};
    }
}

QString MeasurementText(const DdeItemSource& d)
{
    const double truncated = TruncateForDde(d.rawValue);
    switch (d.displayUnit) {
    case 1: return Printf("%.1f W/m2", truncated);
    case 2: return Printf("%.2f kLx", d.rawValue);
    case 3: return FineOrTruncated(d, "%.2f °C", "%.1f °C");
    case 4: return Printf("%.0f °", d.rawValue);
    case 5: return Printf("%.1f hPa", truncated);
    case 6: return Printf("%.1f m/s", truncated);
    case 7: return Printf("%.1f %%", truncated);
    case 8: return Printf("%.0f ppm", d.rawValue);
    case 9: return Printf("%.1f Pa", truncated);
    default: return {};
    }
}

}  // namespace

double TruncateForDde(double value)
{
    return value >= 0.0 ? value - 0.05 : value + 0.05;
}

QString DdeItemText(int item, const DdeItemSource& source)
{
    switch (item) {
    case kDdeItemResult:
        return ResultText(source);
    case kDdeItemMeasurement:
        return MeasurementText(source);
    case kDdeItemStatus:
        return source.noValue || source.blinking ? QStringLiteral("Błąd pomiaru")
                                                 : QStringLiteral("Pomiar OK");
    default:
        return {};
    }
}
