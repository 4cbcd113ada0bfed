#include "tools/stopsignal.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr std::array kSignals {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t g_raised = 0;
int g_pipe[2] = {-1, -1};

extern "C" void OnStopSignal(int)
{
    const int saved = errno;
    g_raised = 1;
    const char byte = 1;
    // A full pipe already wakes the loop; the byte is only a wake-up call.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}
}

CStopSignal::~CStopSignal()
{
    if (g_pipe[0] < 0)
        return;
    for (int signal : kSignals)
        std::signal(signal, SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

bool CStopSignal::Install(std::string& error)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigset_t wanted;
    sigemptyset(&wanted);
    for (int signal : kSignals) {
        sigaction(signal, &action, nullptr);
        sigaddset(&wanted, signal);
    }
    sigprocmask(SIG_UNBLOCK, &wanted, nullptr);
    return true;
}

int CStopSignal::Fd() const
{
    return g_pipe[0];
}

bool CStopSignal::Raised() const
{
    return g_raised != 0;
}
