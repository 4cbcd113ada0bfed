#pragma once
// IRecordingReporter: how a recording session tells its user what happened to
// the logs' files. The window shows boxes, the headless program writes lines.
// The session decides what happened and whether it is news (`first`); the
// reporter decides how it is told.

#include <QString>

#include <vector>

enum class LogKind { Text, Binary };

struct LogWriteFailure {
    QString path;
    int error = 0;        // errno value
    bool first = true;    // the file's first failure since it was last written
};

class IRecordingReporter {
public:
    virtual ~IRecordingReporter() = default;
    // A switched-on log whose file did not open; `first` unless its last
    // attempt failed too.
    virtual void OpenFailed(LogKind log, const QString& path, int error, bool first) = 0;
    // A log opened after its file had failed to (with that failure's errno).
    virtual void OpenedAgain(const QString& path, int previousError) = 0;
    // What one step (an opening or a tick) could not write, one entry per
    // file, told after the step: the recording timer already runs.
    virtual void WriteFailed(const std::vector<LogWriteFailure>& failures) = 0;
    // A file written again after a failure.
    virtual void WriteResumed(const QString& path) = 0;
};
