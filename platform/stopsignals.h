#pragma once
// CStopSignals: SIGTERM, SIGINT and SIGHUP become a call on the user-interface
// thread, so that a logout or a service manager ends the program through the
// same path as its "Zamknij" command (settings saved, ports closed).
//
// The signal handler only writes a byte to a socket pair; a QSocketNotifier
// reads it in the event loop, also while a modal dialog runs its own loop, and
// calls the handler there. One instance per process; made and destroyed on the
// user-interface thread; the previous signal dispositions come back when it is
// destroyed.
//
// CatchEarly installs the signal handler alone, at the very start of the
// program, before the application object, the settings and the window exist:
// a signal from then on waits in the socket pair instead of ending the
// process, and the instance made later delivers it as soon as its event loop
// runs. "Previous" then means before CatchEarly.

#include <QObject>

#include <csignal>
#include <functional>

class QSocketNotifier;

class CStopSignals : public QObject {
    Q_OBJECT
public:
    explicit CStopSignals(std::function<void(int signal)> onStop, QObject* parent = nullptr);
    ~CStopSignals() override;

    // False when the socket pair cannot be made (the signals keep their
    // dispositions); calling it again after success does nothing.
    static bool CatchEarly();

    bool IsInstalled() const { return m_notifier != nullptr; }

private:
    void OnReadable();

    std::function<void(int)> m_onStop;
    QSocketNotifier* m_notifier = nullptr;
};
