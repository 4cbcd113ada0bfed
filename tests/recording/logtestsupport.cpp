#include "tests/recording/logtestsupport.h"

#include <QFile>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

CForeignLock::CForeignLock(const QString& path)
{
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0)
        return;
    if (::pipe(release) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return;
    }
    const QByteArray name = QFile::encodeName(path);
    m_pid = ::fork();
    if (m_pid == 0) {
        // Only its own descriptor may hold the lock: drop every inherited one,
        // the test's open logs included.
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != ready[1] && fd != release[0])
                ::close(fd);
        }
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT, 0644);
        const char held = (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? 1 : 0;
        (void)!::write(ready[1], &held, 1);
        char byte;
        (void)!::read(release[0], &byte, 1);    // returns when the parent closes its end
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    m_releaseFd = release[1];
    char held = 0;
    m_bHeld = m_pid > 0 && ::read(ready[0], &held, 1) == 1 && held == 1;
    ::close(ready[0]);
}

CForeignLock::~CForeignLock()
{
    if (m_releaseFd >= 0)
        ::close(m_releaseFd);
    if (m_pid > 0)
        ::waitpid(m_pid, nullptr, 0);
}

int RunInChild(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool LimitFileSize(rlim_t bytes)
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return false;
    limit.rlim_cur = bytes;
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

bool RunningAsRoot()
{
    return ::geteuid() == 0;
}
