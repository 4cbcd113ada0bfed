#pragma once
// CXSession: a private X desktop for a test: Xvfb on a display number the
// server picks itself (so parallel tests never meet), 1280x1024x24, no TCP,
// and the openbox window manager on it, as a user's desktop has one. Run
// drives X clients (xdotool, xprop) against that display.
//
// Every wait is bounded. The destructor stops the window manager and then
// the server; a test process that dies without running it takes both with
// it (parent-death signal). Test thread only.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

#include "tests/kit/childprocess.h"

class CXSession {
public:
    CXSession() = default;
    ~CXSession();
    CXSession(const CXSession&) = delete;
    CXSession& operator=(const CXSession&) = delete;

    // Starts the server and the window manager; true once the window manager
    // has taken the screen. The reason of a failure is in Error.
    bool Start();
    // ":<n>", empty before Start succeeded.
    const QString& Display() const { return m_strDisplay; }
    const QString& Error() const { return m_strError; }

    // Runs X client `program` with `args` on this display and returns its
    // standard output, or nothing when it fails to run, exits non-zero or
    // takes longer than `timeoutMs`.
    std::optional<QByteArray> Run(const QString& program, const QStringList& args, int timeoutMs = 5000) const;

private:
    bool Fail(const QString& why);

    CChildProcess m_server;
    CChildProcess m_windowManager;
    QString m_strDisplay;
    QString m_strError;
};
