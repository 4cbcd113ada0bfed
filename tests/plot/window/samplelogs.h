#pragma once
// Small logs written with KM302's own record formats, for the viewer's tests:
// a .vrd of one instrument and a tab-separated text log, records a second
// apart from 2024-03-05 14:00:00, value 1010.0 + i % 10 (hPa), and the record
// at `gapAt` written without a value.

#include <QString>

#include <utility>
#include <vector>

class CSampleLogs {
public:
    static constexpr int kSerial = 4711;
    static void WriteVrd(const QString& path, int records, int gapAt = -1);
    // Appends to the file; a header goes first only when `header`.
    static void AppendText(const QString& path, int first, int records, bool header, int gapAt = -1);
    // A .vrd of the given (seconds after 14:00:00, hPa) records; with
    // `pascals` written as an instrument in Pa writes them (0.01 hPa kept).
    static void WriteVrd(const QString& path, const std::vector<std::pair<int, float>>& records,
                         bool pascals = false);
    static qint64 TimeOf(int index);   // milliseconds, wall-clock time read as UTC
    static float ValueOf(int index) { return 1010.0f + float(index % 10); }
};
