#include "tests/kit/procstats.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>

#include <unistd.h>

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

// The number after `key` at the start of a line of a "key: value" file.
std::optional<long long> KeyedNumber(const QByteArray& text, const QByteArray& key)
{
    for (const QByteArray& line : text.split('\n')) {
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

std::optional<double> CProcStats::CpuSeconds() const
{
    if (m_pid <= 0)
        return std::nullopt;
    // utime and stime are fields 14 and 15, in clock ticks.
    const QList<QByteArray> fields = StatFieldsFrom3(m_pid);
    if (fields.size() < 13)
        return std::nullopt;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

template <typename Parse>
std::optional<long long> CProcStats::SumOverThreads(const char* file, Parse parse) const
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

std::optional<double> CProcStats::ThreadCpuSeconds() const
{
    // schedstat: nanoseconds on a processor, nanoseconds waiting, time slices.
    const std::optional<long long> ns = SumOverThreads("schedstat", [](const QByteArray& text) {
        bool ok = false;
        const long long n = text.split(' ').value(0).toLongLong(&ok);
        return ok ? std::optional<long long>(n) : std::nullopt;
    });
    return ns ? std::optional<double>(double(*ns) / 1e9) : std::nullopt;
}

std::optional<long long> CProcStats::ContextSwitches() const
{
    return SumOverThreads("status", [](const QByteArray& text) {
        return KeyedNumber(text, "voluntary_ctxt_switches:").value_or(0)
            + KeyedNumber(text, "nonvoluntary_ctxt_switches:").value_or(0);
    });
}

std::optional<long> CProcStats::ResidentKb() const
{
    const std::optional<long long> kb = Number("status", "VmRSS:");
    return kb ? std::optional<long>(long(*kb)) : std::nullopt;
}

std::optional<long long> CProcStats::ReadCalls() const
{
    return Number("io", "syscr:");
}

bool CProcStats::HasOpen(const std::string& path) const
{
    if (m_pid <= 0)
        return false;
    // Devices, pipes and sockets list as System, files and folders as AllEntries.
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(m_pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (fd.symLinkTarget().toStdString() == path)
            return true;
    }
    return false;
}

std::optional<long long> CProcStats::Number(const char* file, const char* key) const
{
    if (m_pid <= 0)
        return std::nullopt;
    QFile f(QStringLiteral("/proc/%1/%2").arg(m_pid).arg(QLatin1String(file)));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return KeyedNumber(f.readAll(), key);
}
