#pragma once
// Why a port or a log file could not be opened or written, in Polish, from
// the errno value of the failure: the line a message about it carries under
// its own text, in a message box and on the standard error alike.
//
// Pure; any thread.

#include <QString>

enum class ErrorSubject {
    Port,   // a serial device
    File,   // a log file
};

// The cause as a phrase in lower case without a final period, e.g. "folder
// nie istnieje"; a value without a Polish text gets the system's own, with
// its number.
QString ErrorText(int error, ErrorSubject subject);

// `message`, then on a line of its own "Powód: <ErrorText>." or, with a
// `detail` (who holds a busy port), "Powód: <ErrorText> (<detail>)."; `message`
// alone when `error` is 0.
QString WithErrorReason(const QString& message, int error, ErrorSubject subject, const QString& detail = {});
