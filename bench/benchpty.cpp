#include "benchpty.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

CBenchPty::CBenchPty()
{
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    // Raw: the line's bytes reach the reader as they are, carriage returns included.
    termios tio{};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_slavePath = QString::fromLocal8Bit(name);
}

CBenchPty::~CBenchPty()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool CBenchPty::Write(const char* bytes, std::size_t size, int timeoutMs)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_master, bytes + done, size - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // Non-blocking, so that a far end never hangs on a reader that died.
        pollfd ready{m_master, POLLOUT, 0};
        if (::poll(&ready, 1, timeoutMs) <= 0)
            return false;
    }
    return true;
}
