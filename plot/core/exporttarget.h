#pragma once
// CExportTarget: whether an export may write the file it was given. Never
// one of the logs it reads: a log written over by its own chart or records
// is lost, and KM302 may still be writing it. Compared as files (device and
// inode, symbolic links followed), so another name, a link or a hard link of
// a log is refused too.
//
// Pure logic over the file system; any thread.

#include <QString>
#include <QStringList>

class CExportTarget {
public:
    // Empty when `output` may be written; else the Polish reason it may not.
    static QString Refusal(const QString& output, const QStringList& inputs);
};
