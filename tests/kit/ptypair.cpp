#include "tests/kit/ptypair.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <thread>
#include <unistd.h>

CPtyPair::CPtyPair()
{
    std::string error;
    if (m_terminal.Open(error))
        m_slavePath = QString::fromStdString(m_terminal.SlavePath());
}

bool CPtyPair::Write(const char* bytes, std::size_t size, int timeoutMs)
{
    const int master = m_terminal.MasterFd();
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(master, bytes + done, size - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // Non-blocking, so that a far end never hangs on a reader that died.
        pollfd ready{master, POLLOUT, 0};
        if (::poll(&ready, 1, timeoutMs) <= 0)
            return false;
    }
    return true;
}

bool CPtyPair::WaitQueued(int count)
{
    for (int i = 0; i < 2000; ++i) {
        if (m_terminal.UnreadBytes() >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}
