#include "platform/errortext.h"

#include <cerrno>
#include <cstring>

namespace {

QString PortText(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("nie ma takiego urządzenia");
    case EACCES:
    case EPERM:
        return QStringLiteral("brak uprawnień do urządzenia; użytkownik musi należeć do grupy dialout "
                              "(sudo adduser $USER dialout, potem ponowne zalogowanie)");
    case EBUSY:
        return QStringLiteral("port jest zajęty przez inny program");
    case ENOTTY:
        return QStringLiteral("to urządzenie nie jest portem szeregowym");
    case EIO:
        return QStringLiteral("błąd wejścia-wyjścia urządzenia");
    default:
        return {};
    }
}

QString FileText(int error)
{
    switch (error) {
    case EISDIR:
        return QStringLiteral("to jest folder, nie plik");
    case ENOENT:
        return QStringLiteral("folder nie istnieje");
    case ENOTDIR:
        return QStringLiteral("część ścieżki nie jest folderem");
    case EACCES:
    case EPERM:
        return QStringLiteral("brak uprawnień do pliku lub folderu");
    case EBUSY:
        return QStringLiteral("plik jest otwarty do zapisu przez inny program");
    case EINVAL:
        return QStringLiteral("to nie jest zwykły plik");
    case ENOSPC:
        return QStringLiteral("brak miejsca na dysku");
    case EDQUOT:
        return QStringLiteral("przekroczony przydział miejsca na dysku");
    case EFBIG:
        return QStringLiteral("plik osiągnął największy dozwolony rozmiar");
    case EROFS:
        return QStringLiteral("system plików jest tylko do odczytu");
    case EAGAIN:
        return QStringLiteral("urządzenie nie przyjmuje danych");
    case EIO:
        return QStringLiteral("błąd wejścia-wyjścia urządzenia");
    case ENAMETOOLONG:
        return QStringLiteral("za długa nazwa pliku");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("urządzenie jest niedostępne");
    default:
        return {};
    }
}

} // namespace

QString ErrorText(int error, ErrorSubject subject)
{
    const QString text = subject == ErrorSubject::Port ? PortText(error) : FileText(error);
    if (!text.isEmpty())
        return text;
    // No Polish text for the rarer causes: the system's own, with its number.
    return QStringLiteral("błąd systemu nr %1 (%2)").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
}

QString WithErrorReason(const QString& message, int error, ErrorSubject subject, const QString& detail)
{
    if (error == 0)
        return message;
    const QString reason = ErrorText(error, subject);
    return detail.isEmpty() ? QStringLiteral("%1\nPowód: %2.").arg(message, reason)
                            : QStringLiteral("%1\nPowód: %2 (%3).").arg(message, reason, detail);
}
