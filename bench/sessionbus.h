#pragma once
// CSessionBus: keeps the benchmarks off the user's D-Bus session bus. A
// benchmark that uses the bus calls EnsurePrivate first thing in main: the
// first time it replaces the process by `dbus-run-session -- <itself>`, which
// starts a bus of its own and ends it with the benchmark; inside, it returns
// true. Main thread, before any Qt object exists.

class QString;

class CSessionBus {
public:
    // True inside a private session bus. Otherwise, when dbus-run-session
    // cannot be started, prints "<benchName> skipped: ..." and returns false;
    // the caller then ends quietly.
    static bool EnsurePrivate(int argc, char** argv, const char* benchName);

    // True when nobody holds `service` on the session bus; otherwise prints
    // "<benchName> skipped: ..." (needs the application object).
    static bool ServiceFree(const QString& service, const char* benchName);
};
