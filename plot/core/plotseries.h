#pragma once
// CPlotSeries: one instrument's records from one log file, in file order, with
// a level-of-detail index for fast min/max over any range.
//
// Times are milliseconds of the local wall-clock time written in the file,
// read as if it were UTC (the logs carry no zone). They are kept
// non-decreasing: a record stamped earlier than the one before it (a clock set
// back, the repeated hour when daylight-saving time ends) takes the time of the
// record before it. File order and every value are kept; the repeated stretch
// shows as one instant, and the times after it are the file's own again.
//
// Values are hectopascals (pascals are converted x0.01); NaN marks a record
// without a value (a gap).
//
// Memory: 12 bytes per record plus the index (a 24-byte summary per 64
// records, and one per 16 summaries above that: under 0.5 byte per record),
// and what was reserved: a reader reserves about 2 % over its estimate.
//
// A value object; not shared between threads while it is written.

#include <QString>
#include <QtGlobal>

#include <vector>

class CPlotSeries {
public:
    QString m_strFile;            // path read from
    int m_nSerialNumber = 0;      // 0 when the file does not say
    int m_nDecimals = 1;          // decimals of hPa the file's values carry (3 for pascals)
    std::vector<qint64> m_times;  // written only through Append (the index follows them)
    std::vector<float> m_values;

    // The file's usual interval: the median step between records (from an even
    // sample of at most a few thousand steps; for a long series, as taken when
    // it last doubled or grew by a million records); 1000 when unknown.
    qint64 UsualStepMs() const;
    // A pause longer than this (three usual steps: beyond any timer jitter)
    // is a gap in the records.
    qint64 BreakStepMs() const;

    // Clamps the time to the last one (see above) and keeps the index up to
    // date, in amortised constant time (a block is summed when it completes).
    void Append(qint64 timeMs, float valueHpa);
    void Reserve(qsizetype records);
    // Forgets every record (the file and serial number stay).
    void Clear();
    qsizetype Size() const { return static_cast<qsizetype>(m_times.size()); }
    // Bytes held for the records and the index (capacity, not size).
    qint64 MemoryBytes() const;

    // First index with time >= t, and first index with time > t.
    qsizetype LowerBound(qint64 t) const;
    qsizetype UpperBound(qint64 t) const;

    // Min and max of the values in [first, last) skipping NaN, in O(log n +
    // block) via the index; false when no value there.
    bool MinMax(qsizetype first, qsizetype last, float& min, float& max) const;

    // What the index tells about the records [first, last).
    struct Summary {
        float fMin = 0, fMax = 0;     // valid when nValues > 0
        double dSum = 0;              // of the values
        qint64 nValues = 0;           // records with a value
        qint64 nMaxStepMs = 0;        // longest step into a record of the range
                                      // from the record before it
    };
    Summary Summarise(qsizetype first, qsizetype last) const;
    // Records in [first, last) whose step from the record before is longer than stepMs.
    qint64 CountStepsLongerThan(qsizetype first, qsizetype last, qint64 stepMs) const;
    // First index in [first, last) with a value, or last; the last such index, or -1.
    qsizetype FirstWithValue(qsizetype first, qsizetype last) const;
    qsizetype LastWithValue(qsizetype first, qsizetype last) const;

    struct Block {
        float fMin, fMax;
        double dSum;
        quint32 nValues;
        quint32 nMaxStepMs;           // saturated at 2^32 - 1
    };

private:
    void CompleteBlock();
    qint64 SampleUsualStep() const;
    void AddToBlock(Block& block, qsizetype index) const;
    static void Merge(Block& into, const Block& from);
    qint64 Step(qsizetype index) const;

    // m_levels[0][j] sums records [64j, 64j + 64); m_levels[k][j] sums the 16
    // entries [16j, 16j + 16) of level k - 1. Only complete blocks exist: the
    // records after the last one are scanned one by one.
    std::vector<std::vector<Block>> m_levels;
    qint64 m_nUsualStepMs = 0;   // 0 while the series is short: sampled on each call
};
