#pragma once
// CBinaryLog: the binary log (".vrd"), the file the charting program reads.
//
// No file header; records follow one another with nothing between them. One
// record, built as ASCII text first (the plain record):
//
//   YYYYMMDDhhmmss                   local time, always 14 digits
//   $
//   20,<serial>,27,<hPa>,1$          data part, only with a valid reading:
//                                    serial "%d"; pressure in hectopascals,
//                                    "%.03f" of Pa x 0.01 or "%.01f" of hPa
//   @                                check mark (0x40, never in the fields above)
//   <c1><c2>                         check bytes: S mod 253 + 1 and S mod 251 + 1,
//                                    S the sum of the bytes before the check mark
//
// Stored form: every byte b of the plain record, check bytes included, is
// written as (256 - b) mod 256. A reader ends a record at the first stored
// 0xC0 (the check mark) and the two bytes after it (CVrdReader).
//
// Each record is written at once and is on disk before WriteRecord returns; a
// failed write leaves the file as it was (CLogFile). WriteRecord returns 0 or
// the errno value of the failure and shows nothing: the caller tells the user.
//
// Owned by the recording controller; user-interface thread only.

#include <QByteArray>
#include <QString>

#include "recording/logfile.h"
#include "recording/logtime.h"

class CBinaryLog {
public:
    // Opens or creates the file; an existing one is appended to, or with
    // `ask` the user chooses (string 110). Nothing is written.
    LogOpenResult Open(const QString& path, bool ask);
    // Does nothing (and succeeds) when no file is open.
    [[nodiscard]] int WriteRecord(bool valueValid, double value, bool pascals, int serialNumber);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    const QString& Path() const { return m_file.Path(); }
    // The errno value of the last failed Open (CLogFile); 0 after a success.
    int LastOpenError() const { return m_file.LastOpenError(); }

    static QByteArray PlainRecord(const LogTime& time, bool valueValid, double value,
                                  bool pascals, int serialNumber);
    // The plain record negated byte by byte, as it is stored.
    static QByteArray StoredRecord(const LogTime& time, bool valueValid, double value,
                                   bool pascals, int serialNumber);
    static QByteArray Negated(QByteArray bytes);

    static constexpr char kCheckMark = '@';
    static constexpr unsigned char kStoredCheckMark = 0xC0;

private:
    CLogFile m_file;
};
