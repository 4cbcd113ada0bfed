#include "tests/e2e/km302process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <utility>


CKm302Process::CKm302Process(QString configHome, double timeScale)
    : m_strConfigHome(std::move(configHome)), m_dTimeScale(timeScale)
{
}

CKm302Process::~CKm302Process()
{
    // The child first: a running one could keep the reader busy.
    if (m_child.Pid() > 0) {
        m_child.Signal(SIGKILL);
        m_child.WaitExit(5000);
    }
    StopReader();
}

bool CKm302Process::Start()
{
    if (m_child.Pid() > 0)
        return false;
    int errors[2] = {-1, -1};
    if (::pipe2(errors, O_CLOEXEC) != 0)
        return false;
    std::vector<std::string> env {"XDG_CONFIG_HOME=" + m_strConfigHome.toStdString(), "QT_QPA_PLATFORM=offscreen",
                                  "KM302_TIME_SCALE=" + QByteArray::number(m_dTimeScale).toStdString()};
    for (const std::string& entry : m_environment) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env, [&name](const std::string& e) { return e.compare(0, name.size(), name) == 0; });
        env.push_back(entry);
    }
    // env(1) takes the removed variables away and then becomes the program,
    // in the same process.
    std::vector<std::string> args;
    for (const std::string& name : m_removed) {
        std::erase_if(env, [&name](const std::string& e) { return e.compare(0, name.size() + 1, name + '=') == 0; });
        args.insert(args.end(), {"-u", name});
    }
    args.push_back(KM302_PATH);
    args.insert(args.end(), m_arguments.begin(), m_arguments.end());
    const bool started = m_child.Start("/usr/bin/env", args, env, CChildProcess::kInherit, errors[1]);
    ::close(errors[1]);
    if (!started) {
        ::close(errors[0]);
        return false;
    }
    StopReader();
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_errors.clear();
    }
    m_bChildGone = false;
    m_reader = std::thread([this, fd = errors[0]] { ReadErrors(fd); });
    return true;
}

void CKm302Process::ReadErrors(int fd)
{
    // Until the pipe ends, or, once the child is gone, until it stays quiet
    // (a grandchild may hold the pipe open).
    char buffer[4096];
    for (;;) {
        pollfd ready {fd, POLLIN, 0};
        const int n = ::poll(&ready, 1, 100);
        if (n < 0 && errno != EINTR)
            break;
        if (n <= 0) {
            if (m_bChildGone)
                break;
            continue;
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_errors.append(buffer, got);
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(2, buffer + done, size_t(got - done));
            if (put <= 0)
                break;
            done += put;
        }
    }
    ::close(fd);
}

void CKm302Process::StopReader()
{
    m_bChildGone = true;
    if (m_reader.joinable())
        m_reader.join();
}

QByteArray CKm302Process::ErrorOutput() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_errors;
}

bool CKm302Process::IsRunning()
{
    if (m_child.IsRunning())
        return true;
    StopReader();
    return false;
}

void CKm302Process::Signal(int signal)
{
    m_child.Signal(signal);
}

int CKm302Process::WaitExit(int timeoutMs)
{
    const int status = m_child.WaitExit(timeoutMs);
    StopReader();
    return status;
}
