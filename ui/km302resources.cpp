#include "ui/km302resources.h"

#include <QIcon>
#include <QtGlobal>

// Q_INIT_RESOURCE names a function at global scope; it must not be called
// from inside a namespace.
static void InitResourcesOnce()
{
    Q_INIT_RESOURCE(km302);
}

void InitKm302Resources()
{
    static const bool done = (InitResourcesOnce(), true);
    (void)done;
}

QIcon ProgramIcon()
{
    InitKm302Resources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/km302/km302-32.png"));
    icon.addFile(QStringLiteral(":/km302/km302.png"));
    return icon;
}
