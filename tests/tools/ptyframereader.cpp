#include "tests/tools/ptyframereader.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

CPtyFrameReader::~CPtyFrameReader()
{
    Close();
}

bool CPtyFrameReader::Open(const std::string& path)
{
    Close();
    m_nFd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return m_nFd >= 0;
}

void CPtyFrameReader::Close()
{
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = -1;
    m_sBuffer.clear();
}

CPtyFrameReader::Result CPtyFrameReader::Next(std::string& frame, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const size_t end = m_sBuffer.find('\r');
        if (end != std::string::npos) {
            frame = m_sBuffer.substr(0, end + 1);
            m_sBuffer.erase(0, end + 1);
            return Result::Frame;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd fd {m_nFd, POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, int(left)) == 0)
            return Result::Timeout;
        char buffer[4096];
        const ssize_t n = ::read(m_nFd, buffer, sizeof buffer);
        if (n > 0)
            m_sBuffer.append(buffer, size_t(n));
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return Result::HangUp;
    }
}
