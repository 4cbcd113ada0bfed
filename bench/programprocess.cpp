#include "programprocess.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "latencysamples.h"

extern char** environ;

namespace {

std::string NameOf(const std::string& entry)
{
    return entry.substr(0, entry.find('=') + 1);
}

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

// The number after `key` at the start of a line of a status file.
std::optional<long long> StatusNumber(const QByteArray& status, const QByteArray& key)
{
    for (const QByteArray& line : status.split('\n')) {
        if (line.startsWith(key)) {
            bool ok = false;
            const long long n = line.mid(key.size()).trimmed().split(' ').value(0).toLongLong(&ok);
            if (ok)
                return n;
        }
    }
    return std::nullopt;
}

} // namespace

CProgramProcess::~CProgramProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool CProgramProcess::Start(const std::string& path, const std::vector<std::string>& args,
                            const std::vector<std::string>& env)
{
    if (m_pid > 0)
        return false;
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        bool replaced = false;
        for (const std::string& mine : env)
            replaced = replaced || NameOf(text) == NameOf(mine);
        if (!replaced)
            entries.push_back(text);
    }
    entries.insert(entries.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> words{path};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    m_startNs = CLatencySamples::NowNs();
    m_pid = ::fork();
    if (m_pid < 0) {
        m_pid = -1;
        return false;
    }
    if (m_pid == 0) {
        // Only async-signal-safe calls here.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0)
            ::dup2(null, 0);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    m_nStatus = -1;
    return true;
}

bool CProgramProcess::Reap(int options)
{
    if (m_pid <= 0)
        return true;
    int status = 0;
    if (::waitpid(m_pid, &status, options) != m_pid)
        return false;
    m_pid = -1;
    if (WIFEXITED(status))
        m_nStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        m_nStatus = 128 + WTERMSIG(status);
    return true;
}

bool CProgramProcess::IsRunning()
{
    return !Reap(WNOHANG);
}

void CProgramProcess::Signal(int signal)
{
    if (m_pid > 0)
        ::kill(m_pid, signal);
}

int CProgramProcess::WaitExit(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Reap(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_nStatus;
}

std::optional<double> CProgramProcess::CpuSeconds() const
{
    // utime and stime are fields 14 and 15, in clock ticks.
    const QList<QByteArray> fields = StatFieldsFrom3(m_pid);
    if (m_pid <= 0 || fields.size() < 13)
        return std::nullopt;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

template <typename Parse>
std::optional<long long> CProgramProcess::SumOverThreads(const char* file, Parse parse) const
{
    if (m_pid <= 0)
        return std::nullopt;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(m_pid));
    std::optional<long long> sum;
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(tid + QLatin1Char('/') + QLatin1String(file)));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        if (const std::optional<long long> n = parse(f.readAll()))
            sum = sum.value_or(0) + *n;
    }
    return sum;
}

std::optional<double> CProgramProcess::ThreadCpuSeconds() const
{
    // schedstat: nanoseconds on a processor, nanoseconds waiting, time slices.
    const std::optional<long long> ns = SumOverThreads("schedstat", [](const QByteArray& text) {
        bool ok = false;
        const long long n = text.split(' ').value(0).toLongLong(&ok);
        return ok ? std::optional<long long>(n) : std::nullopt;
    });
    return ns ? std::optional<double>(double(*ns) / 1e9) : std::nullopt;
}

std::optional<long long> CProgramProcess::ContextSwitches() const
{
    return SumOverThreads("status", [](const QByteArray& text) {
        return StatusNumber(text, "voluntary_ctxt_switches:").value_or(0)
            + StatusNumber(text, "nonvoluntary_ctxt_switches:").value_or(0);
    });
}

std::optional<long> CProgramProcess::ResidentKb() const
{
    if (m_pid <= 0)
        return std::nullopt;
    QFile f(QStringLiteral("/proc/%1/status").arg(m_pid));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<long long> kb = StatusNumber(f.readAll(), "VmRSS:");
    return kb ? std::optional<long>(long(*kb)) : std::nullopt;
}

bool CProgramProcess::HasOpen(const std::string& path) const
{
    if (m_pid <= 0)
        return false;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(m_pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
        if (fd.symLinkTarget().toStdString() == path)
            return true;
    }
    return false;
}
