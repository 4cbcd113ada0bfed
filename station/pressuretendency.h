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
// How the code is taken (CPressureHistory): d1 is the change over the first
// 1.5 hours, d2 over the last 1.5 hours, each rounded to 0.1 hPa; a half
// with less than 0.1 hPa is steady.
//   same (net 0.0): d1 up and d2 down 0; d1 down and d2 up 5; otherwise 4
//   higher: d2 down 0; d1 up and d2 steady or d2 < d1/2 1; d1 steady or down
//           and d2 up, or d2 > 2·d1 3; otherwise 2
//   lower:  d2 up 5; d1 down and d2 steady or |d2| < |d1|/2 6; d1 steady or
//           up and d2 down, or |d2| > 2·|d1| 8; otherwise 7
//
// Size of the change (rounded to 0.1 hPa, compared in whole tenths): 0.0
// "stałe", 0.1–1.5 "rośnie/spada powoli", 1.6–3.5 "rośnie/spada", 3.6–6.0
// "rośnie/spada szybko", above 6.0 "rośnie/spada bardzo szybko".

#include <QString>

struct PressureTendency {
    double dChangeHpa = 0.0;   // now minus 3 hours ago, hPa, rounded to 0.1
    int nCode = 4;             // 0 … 8

    // The change to one decimal with its sign, decimal point: "-2.3", "+0.4", "0.0".
    QString ChangeText() const;
    // The Polish words for the change: "stałe", "rośnie powoli", "spada",
    // "spada szybko", "spada bardzo szybko", …
    QString Words() const;
    // "↗", "↘" or "→".
    QString Arrow() const;
};
