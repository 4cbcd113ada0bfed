#include "tests/kit/mosquittobroker.h"

#include <QThread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    int nPort = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0)
        nPort = ntohs(a.sin_port);
    ::close(fd);
    return nPort;
}

bool Accepts(int nPort)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(quint16(nPort));
    const bool bOk = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return bOk;
}

} // namespace

bool CMosquittoBroker::Start(const QStringList& extraLines)
{
    m_nPort = FreePort();
    const passwd* pw = ::getpwuid(::getuid());
    QStringList conf = {QStringLiteral("listener %1 127.0.0.1").arg(m_nPort),
                        QStringLiteral("user %1").arg(QString::fromLocal8Bit(pw ? pw->pw_name : "root")),
                        QStringLiteral("persistence false"), QStringLiteral("log_type all")};
    conf += extraLines;
    if (!extraLines.join('\n').contains(QStringLiteral("allow_anonymous")))
        conf += QStringLiteral("allow_anonymous true");
    m_confPath = m_folder.Path(QStringLiteral("mosquitto.conf"));
    CScratchFolder::Write(m_confPath, conf.join('\n').toUtf8() + '\n');
    return Run();
}

void CMosquittoBroker::Stop()
{
    m_process.Signal(SIGTERM);
    m_process.WaitExit(10000);
}

bool CMosquittoBroker::Restart()
{
    Stop();
    return Run();
}

bool CMosquittoBroker::Run()
{
    const int logFd = ::open(m_folder.Path(QStringLiteral("mosquitto.log")).toLocal8Bit().constData(),
                             O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const bool bStarted = m_process.Start("/usr/sbin/mosquitto", {"-c", m_confPath.toStdString()}, {}, logFd, logFd);
    ::close(logFd);
    if (!bStarted)
        return false;
    // Polls until it listens: a bounded wait on the broker's start, nothing asserted on time.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Accepts(m_nPort))
            return true;
        if (!m_process.IsRunning())
            return false;
        QThread::msleep(10);
    }
    return false;
}

QString CMosquittoBroker::MakePasswordFile(const QString& user, const QString& password)
{
    const QString path = m_folder.Path(QStringLiteral("passwords"));
    CScratchFolder::Write(path, QByteArray());
    CChildProcess passwd;
    if (!passwd.Start("/usr/bin/mosquitto_passwd",
                      {"-b", path.toStdString(), user.toStdString(), password.toStdString()}) ||
        passwd.WaitExit(10000) != 0)
        return QString();
    return path;
}

bool CMosquittoBroker::MakeAuthority(const QString& name, const QString& altNames)
{
    const auto path = [&](const char* suffix) { return m_folder.Path(name + QLatin1String(suffix)).toStdString(); };
    const auto openssl = [](const std::vector<std::string>& args) {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        CChildProcess p;
        const bool bStarted = p.Start("/usr/bin/openssl", args, {}, null, null);
        ::close(null);
        return bStarted && p.WaitExit(10000) == 0;
    };
    CScratchFolder::Write(m_folder.Path(name + QStringLiteral("-san")), "subjectAltName=" + altNames.toUtf8() + '\n');
    const std::vector<std::string> ec {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    std::vector<std::string> ca {"req", "-x509"}, request {"req"};
    ca.insert(ca.end(), ec.begin(), ec.end());
    request.insert(request.end(), ec.begin(), ec.end());
    ca.insert(ca.end(), {"-keyout", path("-ca.key"), "-out", path("-ca.pem"), "-days", "2", "-subj",
                         "/CN=KM302 " + name.toStdString()});
    request.insert(request.end(), {"-keyout", path("-server.key"), "-out", path("-server.csr"), "-subj", "/CN=localhost"});
    return openssl(ca) && openssl(request)
           && openssl({"x509", "-req", "-in", path("-server.csr"), "-CA", path("-ca.pem"), "-CAkey", path("-ca.key"),
                       "-CAcreateserial", "-out", path("-server.pem"), "-days", "2", "-extfile", path("-san")});
}

QString CMosquittoBroker::AuthorityPath(const QString& name) const
{
    return m_folder.Path(name + QStringLiteral("-ca.pem"));
}

QStringList CMosquittoBroker::TlsLines(const QString& name) const
{
    return {QStringLiteral("cafile ") + AuthorityPath(name),
            QStringLiteral("certfile ") + m_folder.Path(name + QStringLiteral("-server.pem")),
            QStringLiteral("keyfile ") + m_folder.Path(name + QStringLiteral("-server.key"))};
}

QString CMosquittoBroker::Log() const
{
    return QString::fromUtf8(CScratchFolder::Read(m_folder.Path(QStringLiteral("mosquitto.log"))));
}
