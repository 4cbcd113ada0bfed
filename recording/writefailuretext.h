#pragma once
// The text of the message box (stop icon) that tells the user a record could
// not be written to a log file: the file and the cause, in Polish.
//
// Pure; any thread.

#include <QString>

// `error` is the errno value of the failed write or flush.
QString WriteFailureText(const QString& path, int error);
