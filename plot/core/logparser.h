#pragma once
// CLogParser: turns the bytes of a log, piece by piece, into series. The base
// of the text and the binary (.vrd) parsers; the whole-file reader and the
// follower of a growing file feed it.
//
// Parse takes the bytes that follow what it consumed last time and appends
// whole records to the series; a record not yet complete is left unconsumed
// unless `final` (the end of the file: then it is parsed or counted as
// damaged). The series it adds take the parser's file path; it finds its own
// series again by position, so the caller keeps the vector between calls and
// does not reorder it.
//
// Not thread-safe; one file at a time.

#include <QByteArrayView>
#include <QString>

#include <limits>
#include <memory>
#include <vector>

#include "plot/core/plotseries.h"

class CLogParser {
public:
    enum class Kind {
        Empty,     // no bytes to tell
        Vrd,       // stored binary log records
        Text,      // text or CSV log (Windows-1250 text)
        Binary,    // bytes that are neither
    };
    // The kind of log whose first bytes (a few kilobytes are enough) are `head`.
    static Kind Detect(QByteArrayView head);
    // A parser for a Vrd or Text log; none for the other kinds.
    static std::unique_ptr<CLogParser> Create(Kind kind, const QString& path);

    virtual ~CLogParser() = default;
    // Returns the bytes consumed.
    virtual qsizetype Parse(QByteArrayView data, bool final, std::vector<CPlotSeries>& series) = 0;
    // A fair upper bound of the records in `data` (for reserving memory).
    virtual qsizetype EstimateRecords(QByteArrayView data) const = 0;
    qint64 Damaged() const { return m_nDamaged; }
    // Room for this many records in the first series made (the others grow as they go).
    void ReserveFirst(qsizetype records) { m_nReserve = records; }

protected:
    explicit CLogParser(QString path) : m_strPath(std::move(path)) {}
    // Milliseconds of a wall-clock time read as UTC; kBadTime when the fields
    // are not a real date and time.
    static constexpr qint64 kBadTime = std::numeric_limits<qint64>::min();
    // Whether a value in hPa can be a reading: finite and within ±1e7 hPa,
    // far beyond any barometer. Others make the record damaged.
    static bool IsPlausible(double hpa) { return hpa >= -1e7 && hpa <= 1e7; }
    qint64 TimeMs(int year, int month, int day, int hour, int minute, int second);

    // Appends a series for this file.
    CPlotSeries& AddSeries(std::vector<CPlotSeries>& series, int serialNumber);

    QString m_strPath;
    qint64 m_nDamaged = 0;

private:
    qsizetype m_nReserve = 0;
    int m_nCachedDate = -1;         // yyyymmdd of the day below
    qint64 m_nCachedDayMs = 0;
};
