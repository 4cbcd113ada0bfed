#include "platform/services.h"

#include <memory>

#include "platform/qtservices.h"

namespace {
IServices* g_installed = nullptr;
}

IServices& Services()
{
    if (g_installed)
        return *g_installed;
    static CQtServices real;
    return real;
}

IServices* SetServices(IServices* services)
{
    IServices* previous = g_installed;
    g_installed = services;
    return previous;
}
