#pragma once
// CScratchFolder: a temporary folder of a test, removed with the object, with
// whole-file reads and writes. Test thread only.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class CScratchFolder {
public:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    // The file's bytes; empty when it cannot be read.
    static QByteArray Read(const QString& path);
    // Replaces the file's bytes; nothing happens when it cannot be written.
    static void Write(const QString& path, const QByteArray& bytes);

private:
    QTemporaryDir m_dir;
};
