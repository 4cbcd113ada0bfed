#pragma once
// PressureTendency: the net change of the pressure over the last 3 hours and
// the WMO characteristic of pressure tendency (code table 0200), with the
// words weather services use for the size of the change.
//
//  code  the last 3 hours                                       now against 3 h ago
//   0    increasing, then decreasing                            same or higher
//   1    increasing, then steady; or increasing more slowly     higher
//   2    increasing (steadily or unsteadily)                    higher
//   3    decreasing or steady, then increasing; or increasing,
//        then increasing more rapidly                           higher
//   4    steady                                                 same
//   5    decreasing, then increasing                            same or lower
//   6    decreasing, then steady; or decreasing more slowly     lower
//   7    decreasing (steadily or unsteadily)                    lower
//   8    steady or increasing, then decreasing; or decreasing,
//        then decreasing more rapidly                           lower
//
// Size of the change (rounded to 0.1 hPa): below 0.1 steady, 0.1–1.5
// slowly, 1.6–3.5 (no word), 3.6–6.0 quickly, above 6.0 very rapidly.

#include <QString>

struct PressureTendency {
    double dChangeHpa = 0.0;   // now minus 3 hours ago, hPa
    int nCode = 4;             // 0 … 8

    // The change to one decimal with its sign, decimal point: "-2.3", "+0.4", "0.0".
    QString ChangeText() const;
    // The Polish words for the change: "stałe", "rośnie powoli", "spada",
    // "spada szybko", "spada bardzo szybko", …
    QString Words() const;
    // "↗", "↘" or "→".
    QString Arrow() const;
};
