#include "printingservices.h"

#include <cstdio>

int CPrintingServices::MessageBox(const QString& text, UINT)
{
    std::printf("message box: %s\n", text.toUtf8().constData());
    std::fflush(stdout);
    return IDOK;
}
