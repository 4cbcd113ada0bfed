#include "tools/pseudoterminal.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
std::string Failure(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}
}

CPseudoTerminal::~CPseudoTerminal()
{
    Close();
}

bool CPseudoTerminal::Open(std::string& error)
{
    Close();
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        error = Failure("cannot open a pseudo-terminal");
        return false;
    }
    std::array<char, 128> name {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name.data(), name.size()) != 0) {
        error = Failure("cannot prepare the pseudo-terminal");
        ::close(master);
        return false;
    }
    const int slave = ::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = Failure("cannot open the pseudo-terminal's slave");
        ::close(master);
        return false;
    }
    termios tio {};
    bool configured = tcgetattr(slave, &tio) == 0;
    if (configured) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, B300);
        cfsetospeed(&tio, B300);
        configured = tcsetattr(slave, TCSANOW, &tio) == 0;
    }
    const int flags = fcntl(master, F_GETFL);
    if (!configured || flags < 0 || fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = Failure("cannot configure the pseudo-terminal");
        ::close(slave);
        ::close(master);
        return false;
    }
    m_nMaster = master;
    m_nSlave = slave;
    m_sSlavePath = name.data();
    return true;
}

void CPseudoTerminal::Close()
{
    // The master goes first: its close is what hangs up the readers.
    if (m_nMaster >= 0)
        ::close(m_nMaster);
    if (m_nSlave >= 0)
        ::close(m_nSlave);
    m_nMaster = -1;
    m_nSlave = -1;
    m_sSlavePath.clear();
}

int CPseudoTerminal::UnreadBytes() const
{
    int count = 0;
    if (m_nSlave < 0 || ioctl(m_nSlave, FIONREAD, &count) != 0)
        return 0;
    return count;
}

void CPseudoTerminal::DiscardInput()
{
    std::array<char, 256> buffer {};
    while (m_nMaster >= 0 && ::read(m_nMaster, buffer.data(), buffer.size()) > 0) {
    }
}
