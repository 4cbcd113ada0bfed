#include "sessionbus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {
// Set before the re-run: an inherited DBUS_SESSION_BUS_ADDRESS alone may be
// the user's bus.
constexpr const char* kMarker = "KM302_BENCH_PRIVATE_BUS";
}

bool CSessionBus::EnsurePrivate(int argc, char** argv, const char* benchName)
{
    if (std::getenv(kMarker) && !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    setenv(kMarker, "1", 1);
    std::vector<char*> args{const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
    args.insert(args.end(), argv, argv + argc);
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::printf("%s skipped: no dbus-run-session (package dbus) to start a session bus of its own\n",
                benchName);
    return false;
}

bool CSessionBus::ServiceFree(const QString& service, const char* benchName)
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus) {
        std::printf("%s skipped: the session bus does not answer\n", benchName);
        return false;
    }
    if (bus->isServiceRegistered(service)) {
        std::printf("%s skipped: %s is held by another program\n", benchName, qPrintable(service));
        return false;
    }
    return true;
}
