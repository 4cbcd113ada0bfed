#pragma once
// CLogFile: one log file held open for writing, the part that the text log and
// the binary log share.
//
// Opening (Open): the file is opened for reading and writing, or created when
// it does not exist. While it is open no other writer may open it: an
// exclusive advisory lock (flock) is taken, and a lock held by anyone else
// (another KM302, or the other log of this one pointing at the same file)
// makes Open fail. Other programs may still read the file. Only regular files
// and character devices (which are not locked) are accepted. When the file existed, `ask` decides:
//   - false: the records are appended (the start-up opening);
//   - true: the question `questionId` (string table) is asked with Yes and No;
//     No empties the file, anything else appends (only Yes counts as the
//     user's answer, a box cancelled while the program stops does not).
// The file is never emptied without that explicit No.
//
// Writing (Append): the bytes go to the end of the file in one write and are
// on disk (fdatasync) before Append returns. A failed write or flush cuts the
// file back to its length before the call, so the file only ever holds whole
// records; the file stays open and a later Append tries again.
//
// Owns the descriptor; Close or destruction releases the lock and closes it.
// User-interface thread only.

#include <QByteArray>
#include <QString>

#include "recording/logopenresult.h"

class CLogFile {
public:
    CLogFile() = default;
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Callers close an open file first; an open file is closed here otherwise.
    LogOpenResult Open(const QString& path, bool ask, unsigned questionId);
    // 0 on success, else the errno value of the failure.
    [[nodiscard]] int Append(const QByteArray& bytes);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    // The path given to the last Open.
    const QString& Path() const { return m_path; }
    // Why the last Open failed, an errno value (EISDIR for a folder, EBUSY
    // for a file locked by another writer, EINVAL for what is neither a file
    // nor a device); 0 after a success.
    int LastOpenError() const { return m_nLastError; }

private:
    int m_fd = -1;
    QString m_path;
    int m_nLastError = 0;
};
