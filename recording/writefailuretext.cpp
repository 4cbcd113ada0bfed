#include "recording/writefailuretext.h"

#include <cerrno>
#include <cstring>

namespace {

QString CauseOf(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("brak miejsca na dysku");
    case EDQUOT:
        return QStringLiteral("przekroczony przydział miejsca na dysku");
    case EFBIG:
        return QStringLiteral("plik osiągnął największy dozwolony rozmiar");
    case EIO:
        return QStringLiteral("błąd wejścia-wyjścia urządzenia");
    case EROFS:
        return QStringLiteral("system plików jest tylko do odczytu");
    case EAGAIN:
        return QStringLiteral("urządzenie nie przyjmuje danych");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("urządzenie jest niedostępne");
    default:
        // No Polish text for the rarer causes: the system's own, with its number.
        return QStringLiteral("błąd systemu nr %1 (%2)")
            .arg(error)
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

} // namespace

QString WriteFailureText(const QString& path, int error)
{
    return QStringLiteral("Błąd zapisu do pliku %1:\n%2.").arg(path, CauseOf(error));
}
