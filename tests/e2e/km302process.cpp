#include "tests/e2e/km302process.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

// The fields of /proc/<pid>/stat after the command name, which is in
// parentheses and may hold spaces: the first of them is field 3 (state).
QList<QByteArray> StatFieldsFrom3(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = file.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return {};
    return stat.mid(close + 1).simplified().split(' ');
}

} // namespace

CKm302Process::CKm302Process(QString configHome, double timeScale)
    : m_strConfigHome(std::move(configHome)), m_dTimeScale(timeScale)
{
}

CKm302Process::~CKm302Process()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    StopReader();
}

bool CKm302Process::Start()
{
    if (m_pid > 0)
        return false;
    const std::string overridden[] = {
        "XDG_CONFIG_HOME=" + m_strConfigHome.toStdString(),
        "QT_QPA_PLATFORM=offscreen",
        "KM302_TIME_SCALE=" + std::to_string(m_dTimeScale),
    };
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        bool replaced = false;
        for (const std::string& mine : overridden)
            replaced = replaced || text.compare(0, mine.find('=') + 1, mine, 0, mine.find('=') + 1) == 0;
        if (!replaced)
            env.push_back(text);
    }
    env.insert(env.end(), std::begin(overridden), std::end(overridden));
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    std::string program = KM302_PATH;
    char* argv[] = {program.data(), nullptr};
    int errors[2] = {-1, -1};
    if (::pipe2(errors, O_CLOEXEC) != 0)
        return false;
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid < 0) {
        m_pid = -1;
        ::close(errors[0]);
        ::close(errors[1]);
        return false;
    }
    if (m_pid == 0) {
        // Only async-signal-safe calls here. The program dies with the test
        // process, even when that one is ended by a sanitizer or a crash.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0)
            ::dup2(null, 0);
        ::dup2(errors[1], 2);
        ::execve(argv[0], argv, envp.data());
        ::_exit(127);
    }
    ::close(errors[1]);
    m_nStatus = -1;
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

bool CKm302Process::Reap(int options)
{
    if (m_pid <= 0)
        return true;
    int status = 0;
    if (::waitpid(m_pid, &status, options) != m_pid)
        return false;
    Collected(status);
    return true;
}

void CKm302Process::Collected(int status)
{
    m_pid = -1;
    if (WIFEXITED(status))
        m_nStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        m_nStatus = 128 + WTERMSIG(status);
    StopReader();
}

bool CKm302Process::IsRunning()
{
    return !Reap(WNOHANG);
}

void CKm302Process::Signal(int signal)
{
    if (m_pid > 0)
        ::kill(m_pid, signal);
}

int CKm302Process::WaitExit(int timeoutMs)
{
    if (m_pid <= 0)
        return m_nStatus;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Reap(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            StopReader();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_nStatus;
}

std::optional<double> CKm302Process::CpuSeconds() const
{
    // utime and stime are fields 14 and 15, in clock ticks.
    const QList<QByteArray> fields = StatFieldsFrom3(m_pid);
    if (m_pid <= 0 || fields.size() < 13)
        return std::nullopt;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

std::optional<long> CKm302Process::ResidentKb() const
{
    const std::optional<long long> kb = ProcNumber("status", "VmRSS:");
    return kb ? std::optional<long>(long(*kb)) : std::nullopt;
}

std::optional<long long> CKm302Process::ReadCalls() const
{
    return ProcNumber("io", "syscr:");
}

std::optional<long long> CKm302Process::ProcNumber(const char* file, const QByteArray& key) const
{
    if (m_pid <= 0)
        return std::nullopt;
    QFile f(QStringLiteral("/proc/%1/%2").arg(m_pid).arg(QLatin1String(file)));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key)) {
            bool ok = false;
            const long long n = line.mid(key.size()).trimmed().split(' ').value(0).toLongLong(&ok);
            if (ok)
                return n;
        }
    }
    return std::nullopt;
}
