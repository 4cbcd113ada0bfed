#pragma once
// CTextLog: the text (or CSV) log, one line per recording tick.
//
// File layout, Windows-1250 bytes, every line ended by CR LF, no byte-order
// mark, no quoting; `sep` is a tab, or "," for separator code 1, ";" for 2:
//
//   [CR LF]                          comment block: only after the user chose to append
//   <comment text> CR LF             comment block: only when the text is not empty
//   KM-302 nr <serial> CR LF         comment block: only when asked for ("???" below 1)
//   Data i Godzina <sep> Ciśnienie hPa|Pa CR LF    header, see below
//   YYYY.MM.DD hh:mm:ss <sep> <value> CR LF        one record per tick
//
// The value is "%.01f" in the unit the header names (ties away from zero,
// decimal point "."), or "???" when there is no valid reading. A header goes
// before the first record after every Open and before any record whose unit
// differs from the last header's; nothing else repeats it, not even a loss of
// communication. Records take the local time when they are written.
//
// Each record (with its header) and each comment block is written at once and
// is on disk before the call returns; a failed write leaves the file as it was
// (CLogFile). Write operations return 0 or the errno value of the failure, and
// show nothing: the caller tells the user.
//
// Owned by the recording controller; user-interface thread only.

#include <QByteArray>
#include <QString>

#include <optional>

#include "recording/logfile.h"
#include "recording/logtime.h"

class CTextLog {
public:
    // Opens or creates the file; an existing one is appended to, or with
    // `ask` the user chooses (string 109). The next record gets a header.
    LogOpenResult Open(const QString& path, bool ask);
    [[nodiscard]] int WriteStartComment(bool appendedByAnswer, const QString& comment,
                                        bool withSerialNumber, int serialNumber);
    // Does nothing (and succeeds) when no file is open.
    [[nodiscard]] int WriteRecord(bool valueValid, double value, bool pascals, int separatorCode);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    const QString& Path() const { return m_file.Path(); }
    // The errno value of the last failed Open (CLogFile); 0 after a success.
    int LastOpenError() const { return m_file.LastOpenError(); }

    // The bytes of one record line and of the header line, CR LF included.
    static QByteArray RecordLine(const LogTime& time, bool valueValid, double value,
                                 char separator);
    static QByteArray HeaderLine(bool pascals, char separator);
    static char SeparatorOf(int separatorCode);

private:
    CLogFile m_file;
    std::optional<bool> m_headerPascals;   // unit of the last header; none after Open
};
