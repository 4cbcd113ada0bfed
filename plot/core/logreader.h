#pragma once
// CLogReader: reads a whole log file into series.
//
// Reads a .vrd or a text/CSV log (told apart by content, not by name, so a
// rotated "cisnienie.vrd.1" is a .vrd), also gzip-compressed (logrotate's
// `compress`: told by content too, inflated as it is read, never held whole;
// compressed data that breaks off counts as one damaged stretch). One
// series per serial number for .vrd files holding several instruments, in the
// order they first appear; text logs give one series (serial number from the
// first "KM-302 nr …" line naming one). Damaged records are skipped and
// counted. progress(fraction 0..1) is called now and then; returning false
// cancels (strError then says so and series is empty). Never throws; on
// failure strError is a clear Polish message (missing file, a folder, a pipe
// or other special file, no permission, an empty file, a binary file given as
// text, no records) and series is empty. Only regular files are opened, and
// never in a way that waits (a named pipe would wait for a writer forever).
//
// Stateless; any thread (the progress callback runs on the calling thread).

#include <QString>

#include <functional>
#include <vector>

#include "plot/core/plotseries.h"

struct LogReadResult {
    std::vector<CPlotSeries> series;
    qint64 nDamaged = 0;          // records skipped as damaged
    QString strError;
};

class CLogReader {
public:
    static LogReadResult Read(const QString& path, const std::function<bool(double)>& progress = {});
    // The descriptor of a regular file opened for reading without waiting, or
    // -1 with the Polish reason in `error`. The caller closes it.
    static int OpenRegular(const QString& path, QString& error);
    // Whether the file is gzip-compressed (a file that cannot be opened is not).
    static bool IsCompressed(const QString& path);
};
