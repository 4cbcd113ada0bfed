#include "ui/km302resources.h"

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
