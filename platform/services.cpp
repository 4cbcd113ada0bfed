#include "platform/services.h"

#include "platform/consoleservices.h"

namespace {
IServices* g_installed = nullptr;
}

IServices& Services()
{
    if (g_installed)
        return *g_installed;
    static CConsoleServices console;
    return console;
}

IServices* SetServices(IServices* services)
{
    IServices* previous = g_installed;
    g_installed = services;
    return previous;
}
