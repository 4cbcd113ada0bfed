#include "ui/displayformat.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/numberformat.h"

namespace {

constexpr double kWattsPerKiloLux = 1.47;
constexpr double kKiloLuxPerWatt = 0.6802721088435374;   // 1 / 1.47

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

// The bare number: two decimals at fine resolution, otherwise one, cut.
QString BareTenths(double value, bool fineResolution)
{
    return Text(fineResolution ? FormatFixed(value, 2) : TruncatedFixed(value, 1));
}

QString WithUnit(double value, int unit, bool fineResolution)
{
    switch (unit) {
    case kUnitWattsPerSquareMetre:
        return Text(FormatPrintf("%.1f W/m2", value));
    case kUnitKiloLux:
        return Text(FormatPrintf("%.2f kLx", value));
    case kUnitCelsius:
        return fineResolution ? Text(FormatPrintf("%.2f °C", value))
                              : Text(TruncatedFixed(value, 1) + " °C");
    case kUnitDegrees:
        return Text(FormatPrintf("%.0f °", value));
    case kUnitHectopascal:
        return Text(FormatPrintf("%.1f hPa", value));
    case kUnitMetresPerSecond:
        return Text(FormatPrintf("%.1f m/s", value));
    case kUnitPercent:
        return Text(FormatPrintf("%.1f %%", value));
    case kUnitPartsPerMillion:
        return Text(FormatPrintf("%.0f ppm", value));
    case kUnitPascal:
        return Text(FormatPrintf("%.1f Pa", value));
    default:
        return {};
    }
}

QString WithoutUnit(double value, int unit, bool fineResolution)
{
    switch (unit) {
    case kUnitKiloLux:
        return Text(FormatFixed(value, 2));
    case kUnitDegrees:
    case kUnitPartsPerMillion:
        return Text(FormatFixed(value, 0));
    case kUnitWattsPerSquareMetre:
    case kUnitCelsius:
    case kUnitHectopascal:
    case kUnitMetresPerSecond:
    case kUnitPercent:
    case kUnitPascal:
        return BareTenths(value, fineResolution);
    default:
        return {};
    }
}

}  // namespace

bool IsKnownUnit(int unit)
{
    return unit >= kUnitWattsPerSquareMetre && unit <= kUnitPascal;
}

double ConvertUnit(double rawValue, int sourceUnit, int displayUnit)
{
    if (sourceUnit == kUnitWattsPerSquareMetre && displayUnit == kUnitKiloLux)
        return rawValue * kKiloLuxPerWatt;
    if (sourceUnit == kUnitKiloLux && displayUnit == kUnitWattsPerSquareMetre)
        return rawValue * kWattsPerKiloLux;
    return rawValue;
}

std::string TruncatedFixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return FormatFixed(value, decimals);
    if (decimals < 0)
        decimals = 6;
    // Cutting the binary value itself would take 2.0 - 0.05 or 1013.3 (stored
    // as 1013.2999...) one step down: the cut works on the decimal digits the
    // value was given with.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::fixed);
    std::string shortest(buffer, result.ptr);
    const std::size_t point = shortest.find('.');
    std::string text = shortest.substr(0, point);
    const std::string fraction = point == std::string::npos ? std::string()
                                                            : shortest.substr(point + 1);
    if (decimals > 0) {
        text += '.';
        const auto wanted = static_cast<std::size_t>(decimals);
        text += fraction.substr(0, wanted);
        text.append(wanted - std::min(wanted, fraction.size()), '0');
    }
    if (text[0] == '-' && text.find_first_of("123456789") == std::string::npos)
        text.erase(0, 1);
    return text;
}

QString FormatDisplayValue(double displayedValue, int displayUnit, bool showUnit,
                           bool fineResolution)
{
    return showUnit ? WithUnit(displayedValue, displayUnit, fineResolution)
                    : WithoutUnit(displayedValue, displayUnit, fineResolution);
}

QString WattsTextWithoutExponent(double displayedValue)
{
    return Text(FormatPrintf("%.1f W/m", displayedValue));
}

QString WattsExponentText()
{
    return QStringLiteral("2");
}

RECT LabelBandRect(const RECT& client, int labelLineHeight)
{
    return {client.left, client.top, client.right, client.top + labelLineHeight};
}

RECT ValueAreaRect(const RECT& client, const RECT& labelBand)
{
    return {client.left, labelBand.bottom, client.right, client.bottom};
}

WattsLayout LayoutWattsText(const RECT& valueArea, int measuredWidth, int measuredHeight)
{
    const int w = measuredWidth;
    const int h = measuredHeight;
    const int cx = (valueArea.left + valueArea.right) / 2;
    const int cy = (valueArea.top + valueArea.bottom) / 2;
    WattsLayout layout;
    layout.text = {cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2};
    layout.exponent = {cx + w / 2 - 200, cy - (6 * h) / 8, cx + w / 2 + 193, cy + (2 * h) / 8};
    return layout;
}
