#pragma once
// What the pressure display shows, computed without a window: the unit
// conversion, the value text of each unit, the truncation of the bare number,
// and the layout arithmetic of the label band, the value area and the W/m²
// exponent. CPressureDisplay's painter calls these in the order of its steps;
// tests call them directly.
//
// Numbers are printf conversions with "." as the decimal point and ties
// rounded away from zero (platform/numberformat.h). Texts are UTF-8 QStrings;
// the degree sign is U+00B0.
//
// Pure functions; any thread.

#include <QString>

#include <string>

#include "platform/wintypes.h"

// Unit indices. The program itself shows only hectopascals and pascals.
constexpr int kUnitWattsPerSquareMetre = 1;
constexpr int kUnitKiloLux = 2;
constexpr int kUnitCelsius = 3;
constexpr int kUnitDegrees = 4;
constexpr int kUnitHectopascal = 5;
constexpr int kUnitMetresPerSecond = 6;
constexpr int kUnitPercent = 7;
constexpr int kUnitPartsPerMillion = 8;
constexpr int kUnitPascal = 9;

// True for 1..9; any other display unit leaves the value area empty.
bool IsKnownUnit(int unit);

// The raw value, given in `sourceUnit`, in `displayUnit`: W/m² shown as kLx
// is divided by 1.47, kLx shown as W/m² multiplied by 1.47; every other pair
// (equal units included) leaves the value as it is.
double ConvertUnit(double rawValue, int sourceUnit, int displayUnit);

// The value cut (not rounded) to `decimals` decimals, as "%.<decimals>f" would
// print it. The cut is made in the shortest decimal text that reads back as
// the same double, so 2.0 stays "2.0" although the double nearest 2.0 - 0.05
// would print as "1.9"; a value cut to zero prints without a sign ("0.0" for
// -0.04 and for 0.0). Infinities and NaN print as printf prints them.
std::string TruncatedFixed(double value, int decimals);

// The value text of the value area for the displayed (converted) value, by the
// display unit, the show-unit flag and the fine-resolution flag. Empty for a
// unit outside 1..9. For W/m² with the unit shown this is the full text
// "%.1f W/m2" that the exponent layout measures; see WattsTextWithoutExponent.
QString FormatDisplayValue(double displayedValue, int displayUnit, bool showUnit,
                           bool fineResolution);

// What is drawn of the W/m² text before the raised "2": "%.1f W/m".
QString WattsTextWithoutExponent(double displayedValue);
// The raised exponent drawn after it.
QString WattsExponentText();

// The label band: the client rectangle's full width, from its top, as high as
// one line of the label font.
RECT LabelBandRect(const RECT& client, int labelLineHeight);
// The value area: the client rectangle below the label band.
RECT ValueAreaRect(const RECT& client, const RECT& labelBand);

// Where the W/m² text goes in the value area, given the measured width w and
// height h of the full "... W/m2" text. Integer arithmetic, every division
// truncating toward zero:
//   cx, cy: the centre of the value area;
//   text: (cx - w/2, cy - h/2) to (cx + w/2, cy + h/2); "... W/m" is drawn in it
//         left-aligned and vertically centred, starting where the full text would;
//   exponent: (cx + w/2 - 200, cy - 6h/8) to (cx + w/2 + 193, cy + 2h/8); the "2"
//         is centred in it: 3.5 pixels left of the full text's right end and
//         raised by a quarter of the line height.
struct WattsLayout {
    RECT text;
    RECT exponent;
};
WattsLayout LayoutWattsText(const RECT& valueArea, int measuredWidth, int measuredHeight);
