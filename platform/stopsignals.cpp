#include "platform/stopsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[3] = {SIGTERM, SIGINT, SIGHUP};
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[3] = {};
bool g_instance = false;

extern "C" void OnStopSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    (void)!::write(g_pipe[0], &byte, 1);
    errno = saved;
}

} // namespace

bool CStopSignals::CatchEarly()
{
    if (g_pipe[0] >= 0)
        return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &action, &g_previous[i]);
    return true;
}

CStopSignals::CStopSignals(std::function<void(int)> onStop, QObject* parent)
    : QObject(parent), m_onStop(std::move(onStop))
{
    if (g_instance || !CatchEarly())
        return;
    g_instance = true;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CStopSignals::OnReadable);
}

CStopSignals::~CStopSignals()
{
    if (!m_notifier)
        return;
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
    g_instance = false;
}

void CStopSignals::OnReadable()
{
    unsigned char byte = 0;
    int last = 0;
    while (::read(g_pipe[1], &byte, 1) == 1)
        last = byte;
    if (last != 0 && m_onStop)
        m_onStop(last);
}
