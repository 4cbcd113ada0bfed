#include "recording/writefailuretext.h"

#include "platform/errortext.h"

QString WriteFailureText(const QString& path, int error)
{
    return QStringLiteral("Błąd zapisu do pliku %1:\n%2.").arg(path, ErrorText(error, ErrorSubject::File));
}
