#pragma once
// The status bar's line about the records in view, for one or several
// series taken together:
//   "Rekordy: 3600 · min 1012.1 · maks 1013.4 · średnia 1012.87 hPa ·
//    od 2024-03-05 14:00:00 do 2024-03-05 14:59:59 · przerwy: 2"
// or "Brak rekordów w widoku" (with the gaps, when there are any).
//
// Pure logic, any thread.

#include <QString>

#include <vector>

#include "plot/core/rangestats.h"
#include "plot/core/threehourchange.h"

QString StatsText(const std::vector<RangeStats>& stats);
// The 3-hour change at the pointer, for the end of that line:
//   "zmiana 3 h: −2.3 hPa", "zmiana 3 h: +0.4 hPa", "zmiana 3 h: 0.0 hPa",
//   "zmiana 3 h: brak (zapis nie sięga 3 h wstecz)",
//   "zmiana 3 h: brak (przerwa ponad 30 min)", "zmiana 3 h: —" (no value there).
QString ThreeHourChangeText(const ThreeHourChange& change);
