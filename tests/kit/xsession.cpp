#include "tests/kit/xsession.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr int kStartMs = 15000;
}

CXSession::~CXSession()
{
    // The window manager first, while its display is still there.
    for (CChildProcess* child : {&m_windowManager, &m_server}) {
        if (child->Pid() > 0) {
            child->Signal(SIGTERM);
            child->WaitExit(5000);
        }
    }
}

bool CXSession::Fail(const QString& why)
{
    m_strError = why;
    return false;
}

bool CXSession::Start()
{
    // -displayfd: the server takes the first free display number and writes
    // it to that descriptor once it accepts clients.
    int ready[2] = {-1, -1};
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return Fail(QStringLiteral("pipe failed"));
    const bool started = m_server.Start("/usr/bin/Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24",
                                                          "-nolisten", "tcp", "-noreset"},
                                        {}, ready[1]);
    ::close(ready[1]);
    QByteArray number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartMs);
    while (started && !number.endsWith('\n') && std::chrono::steady_clock::now() < deadline) {
        pollfd wait {ready[0], POLLIN, 0};
        if (::poll(&wait, 1, 100) <= 0)
            continue;
        char byte = 0;
        const ssize_t got = ::read(ready[0], &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        number += byte;
    }
    ::close(ready[0]);
    if (!number.endsWith('\n'))
        return Fail(QStringLiteral("Xvfb did not start (is the package xvfb installed?)"));
    m_strDisplay = QLatin1Char(':') + QString::fromLatin1(number.trimmed());

    if (!m_windowManager.Start("/usr/bin/openbox", {}, {"DISPLAY=" + m_strDisplay.toStdString()}))
        return Fail(QStringLiteral("openbox could not be started"));
    // The window manager has taken the screen once it announces itself on
    // the root window.
    while (std::chrono::steady_clock::now() < deadline) {
        const auto check = Run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        if (check && check->contains("window id"))
            return true;
        if (!m_windowManager.IsRunning())
            return Fail(QStringLiteral("openbox ended at start-up"));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return Fail(QStringLiteral("openbox did not take the screen (are openbox and xprop installed?)"));
}

std::optional<QByteArray> CXSession::Run(const QString& program, const QStringList& args, int timeoutMs) const
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_strDisplay);
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::SeparateChannels);
    tool.start(program, args);
    if (!tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished(1000);
        return std::nullopt;
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}
