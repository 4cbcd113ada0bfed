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

#include <QObject>

#include <csignal>
#include <functional>

class QSocketNotifier;

class CStopSignals : public QObject {
    Q_OBJECT
public:
    explicit CStopSignals(std::function<void(int signal)> onStop, QObject* parent = nullptr);
    ~CStopSignals() override;

    bool IsInstalled() const { return m_notifier != nullptr; }

private:
    void OnReadable();

    std::function<void(int)> m_onStop;
    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_previous[3] = {};
};
