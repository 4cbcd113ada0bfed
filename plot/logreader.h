#pragma once
// CLogReader: reads a whole log file into series.
//
// Reads a .vrd or a text/CSV log (told apart by content, not by name). One
// series per serial number for .vrd files holding several instruments, in the
// order they first appear; text logs give one series (serial number from the
// first "KM-302 nr …" line naming one). Damaged records are skipped and
// counted. progress(fraction 0..1) is called now and then; returning false
// cancels (strError then says so and series is empty). Never throws; on
// failure strError is a clear Polish message (missing file, a folder, no
// permission, an empty file, a binary file given as text, no records) and
// series is empty.
//
// Stateless; any thread (the progress callback runs on the calling thread).

#include <QString>

#include <functional>
#include <vector>

#include "plot/plotseries.h"

struct LogReadResult {
    std::vector<CPlotSeries> series;
    qint64 nDamaged = 0;          // records skipped as damaged
    QString strError;
};

class CLogReader {
public:
    static LogReadResult Read(const QString& path, const std::function<bool(double)>& progress = {});
};
