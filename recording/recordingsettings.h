#pragma once
// The recording settings (section LOG of the settings file), one value for
// the settings table, both programs and the dialog "Rejestracja do pliku".
// The switches are the file's integers (any value other than 0 is on) and go
// back as they came.

#include <QString>

#include "recording/recordinginterval.h"

struct RecordingSettings {
    int fileLog = 0;          // FILE_LOG: the text log is on
    int fileLogBin = 0;       // FILE_LOG_BIN: the binary log is on
    QString fileName;         // FILE_NAME: the text log's path
    QString fileNameBin;      // FILE_NAME_BIN: the binary log's path
    int sepFormat = 0;        // FILE_SEP_FORMAT: 1 comma, 2 semicolon, else tab
    int interval = 60;        // FILE_INTERVAL, seconds (kept in range where used)
    int checkComment = 0;     // FILE_CHECK_COMMENT: a comment when recording starts
    int checkCommentSn = 0;   // FILE_CHECK_COMMENT_SN: the serial number in it

    bool TextLogOn() const { return fileLog && !fileName.isEmpty(); }
    bool BinaryLogOn() const { return fileLogBin && !fileNameBin.isEmpty(); }
    // The interval the recording timer runs at, 1 s to 23:59:59.
    int IntervalSeconds() const { return ClampRecordingInterval(interval); }

    bool operator==(const RecordingSettings&) const = default;
};
