#pragma once
// CVrdReader: reads the records of a binary log (".vrd", layout in
// binarylog.h), for the tests and for a chart viewer.
//
// The stored bytes are split at each stored check mark (0xC0) and the two
// bytes after it; both check bytes are verified and the fields are parsed
// strictly (14 time-stamp digits, "$", and either nothing or the data part
// "20,<serial>,27,<hPa>,1$"). Bytes that form no such record are counted as
// damaged: when a stretch fails, the reader looks for a valid record that
// ends at the same check mark (a torn record followed by a whole one loses
// only the torn part), otherwise it skips to the byte after the check bytes.
// A tail without its check mark and check bytes is damaged too.
//
// Scan does the same over any part of a file without keeping the records (a
// year of records would not fit in memory as VrdRecord), and can leave an
// unfinished tail for later, for a file that is still being written.
//
// A value object; any thread.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <vector>

#include "recording/logtime.h"

struct VrdRecord {
    LogTime time;                // year, month, day, hour, minute, second as stored
    bool bValid = false;         // the record carries a reading (the data part)
    int nSerialNumber = 0;       // only with a reading
    double dPressureHpa = 0.0;   // only with a reading
    qsizetype nOffset = 0;       // where the stored record starts
};

class CVrdReader {
public:
    // Replaces what was read before.
    void Parse(QByteArrayView stored);
    // false (and nothing read) when the file cannot be read.
    bool ReadFile(const QString& path);

    const std::vector<VrdRecord>& Records() const { return m_records; }
    // Stretches of bytes that belong to no valid record, and their total size.
    int DamagedStretches() const { return m_nDamagedStretches; }
    qsizetype DamagedBytes() const { return m_nDamagedBytes; }

    // The fields of one plain record (check mark and check bytes included);
    // false when the check bytes or the fields are wrong.
    static bool ParsePlain(QByteArrayView plain, VrdRecord& record);

    struct Damage {
        qint64 nStretches = 0;
        qint64 nBytes = 0;
    };
    // Calls onRecord for each valid record of `stored` in order (nOffset
    // relative to `stored`) and adds the damaged stretches to `damage`; stops
    // after a record for which onRecord returns false. Unless `final`, a tail
    // that may still become a record when more bytes arrive is left unread.
    // Returns how many bytes were consumed.
    static qsizetype Scan(QByteArrayView stored, bool final,
                          const std::function<bool(const VrdRecord&)>& onRecord, Damage& damage);

private:
    std::vector<VrdRecord> m_records;
    int m_nDamagedStretches = 0;
    qsizetype m_nDamagedBytes = 0;
};
