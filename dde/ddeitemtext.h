#pragma once
// The texts of the three DDE items, from what the pressure display shows:
//   item 0 "Wynik"   the bare number,
//   item 1 "Pomiar"  the number with its unit,
//   item 2 "Status"  "Błąd pomiaru" or "Pomiar OK".
// Numbers use "." and round an exact tie away from zero. Values shown with one
// decimal are truncated first (TruncateForDde), so for hectopascals the item
// is 1013.2 where the display, which rounds, shows 1013.3.
//
// Pure functions; any thread.

#include <QString>

// The five values of the display that the items are made from.
struct DdeItemSource {
    double rawValue = 0.0;
    int displayUnit = 0;        // 1 W/m², 2 kLx, 3 °C, 4 degrees, 5 hPa, 6 m/s, 7 %, 8 ppm, 9 Pa
    bool fineResolution = false;
    bool noValue = true;
    bool blinking = false;
};

constexpr int kDdeItemResult = 0;        // "Wynik"
constexpr int kDdeItemMeasurement = 1;   // "Pomiar"
constexpr int kDdeItemStatus = 2;        // "Status"
constexpr int kDdeItemCount = 3;

// 0.05 less for a value of zero or more, 0.05 more for a negative one, so that
// one decimal shows the tenth the value has reached rather than the nearest.
double TruncateForDde(double value);

// The text of `item` (0..2); empty for another item or a unit outside 1..9.
QString DdeItemText(int item, const DdeItemSource& source);
