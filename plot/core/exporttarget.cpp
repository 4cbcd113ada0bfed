#include "plot/core/exporttarget.h"

#include <QFile>

#include <sys/stat.h>

QString CExportTarget::Refusal(const QString& output, const QStringList& inputs)
{
    struct stat out {};
    if (::stat(QFile::encodeName(output).constData(), &out) != 0)
        return {};   // not there yet (or not reachable): no log of ours
    for (const QString& input : inputs) {
        struct stat in {};
        if (::stat(QFile::encodeName(input).constData(), &in) == 0 && in.st_dev == out.st_dev
            && in.st_ino == out.st_ino)
            return QStringLiteral("Nie zapisano „%1”: to ten sam plik co czytany dziennik „%2”; "
                                  "wybierz inną nazwę pliku wyjściowego.").arg(output, input);
    }
    return {};
}
