#include "tests/tools/simprocess.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
}

CSimProcess::~CSimProcess()
{
    // Killed before its pipes close, so it never sees them broken.
    m_child.Signal(SIGKILL);
    CloseFd(m_nOutFd);
    CloseFd(m_nErrFd);
}

bool CSimProcess::Start(const std::vector<std::string>& args)
{
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    // The simulator dies with the test process, even when that one is ended
    // by a sanitizer or a crash, so no simulator is left feeding a link
    // nobody reads.
    const bool spawned = m_child.Start(KM302_SIM_PATH, args, {}, out[1], err[1]);
    ::close(out[1]);
    ::close(err[1]);
    if (!spawned) {
        ::close(out[0]);
        ::close(err[0]);
        return false;
    }
    CloseFd(m_nOutFd);
    CloseFd(m_nErrFd);
    m_nOutFd = out[0];
    m_nErrFd = err[0];
    return true;
}

bool CSimProcess::Pump(int timeoutMs)
{
    pollfd fds[2] = {{m_nOutFd, POLLIN, 0}, {m_nErrFd, POLLIN, 0}};
    if (m_nOutFd < 0 && m_nErrFd < 0)
        return false;
    if (::poll(fds, 2, timeoutMs) <= 0)
        return false;
    int* const fdOf[2] = {&m_nOutFd, &m_nErrFd};
    std::string* const textOf[2] = {&m_sOut, &m_sErr};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].revents == 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(*fdOf[i], buffer, sizeof buffer);
        if (n > 0)
            textOf[i]->append(buffer, size_t(n));
        else
            CloseFd(*fdOf[i]);
    }
    return true;
}

std::optional<std::string> CSimProcess::ReadLine(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const size_t end = m_sOut.find('\n');
        if (end != std::string::npos) {
            std::string line = m_sOut.substr(0, end);
            m_sOut.erase(0, end + 1);
            return line;
        }
        if (m_nOutFd < 0 || !Pump(RemainingMs(deadline)))
            return std::nullopt;
    }
}

void CSimProcess::Signal(int signal)
{
    m_child.Signal(signal);
}

int CSimProcess::WaitExit(int timeoutMs)
{
    if (m_child.Pid() <= 0)
        return -1;
    // Both pipes end when the child exits; the exit itself follows at once.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_nOutFd >= 0 || m_nErrFd >= 0) {
        if (!Pump(RemainingMs(deadline)))
            return m_child.WaitExit(0);
    }
    return m_child.WaitExit(timeoutMs);
}
