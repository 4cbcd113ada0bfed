#pragma once
// CMosquittoBroker: Debian's mosquitto run by a test on a free port of
// 127.0.0.1 with a configuration of its own, stopped with the object.

#include <QString>
#include <QStringList>

#include "tests/kit/childprocess.h"
#include "tests/kit/scratchfolder.h"

class CMosquittoBroker {
public:
    // Starts it with these lines added to the configuration; true once it
    // accepts connections.
    bool Start(const QStringList& extraLines = {});
    // Stops it (SIGTERM) and starts it again on the same port.
    void Stop();
    bool Restart();
    // SIGSTOP: a broker that keeps the connections and answers nothing;
    // SIGKILL: gone without closing anything cleanly; SIGUSR1: its database
    // saved (with "persistence true").
    void Signal(int nSignal) { m_process.Signal(nSignal); }
    // A password file with one user, for the line "password_file <path>".
    QString MakePasswordFile(const QString& user, const QString& password);
    // A certificate authority of the test's own, `name`, and a server
    // certificate it signed for `altNames` (openssl's subjectAltName, e.g.
    // "DNS:localhost,IP:127.0.0.1"), made with openssl in the broker's folder.
    bool MakeAuthority(const QString& name, const QString& altNames);
    // The authority's PEM file, as a client's CA file.
    QString AuthorityPath(const QString& name) const;
    // The lines for Start that make the listener speak TLS with the server
    // certificate of the authority `name`.
    QStringList TlsLines(const QString& name) const;
    int Port() const { return m_nPort; }
    // The broker's processor time and memory, for the benchmarks.
    CProcStats Stats() const { return m_process.Stats(); }
    QString Log() const;

private:
    CScratchFolder m_folder;
    CChildProcess m_process;
    bool Run();

    int m_nPort = 0;
    QString m_confPath;
};
