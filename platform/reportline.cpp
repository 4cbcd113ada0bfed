#include "platform/reportline.h"

#include <QByteArray>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

QByteArray ReportLineBytes(const QString& text, ReportPriority priority, bool toJournal)
{
    QByteArray line = toJournal ? QByteArray("<") + QByteArray::number(int(priority)) + '>'
                                : QByteArray("km302: ");
    line += text.simplified().toUtf8();
    line += '\n';
    return line;
}

bool StandardErrorIsJournal()
{
    static const bool journal = [] {
        const char* stream = std::getenv("JOURNAL_STREAM");
        if (!stream)
            return false;
        unsigned long long device = 0;
        unsigned long long inode = 0;
        if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2)
            return false;
        struct stat st {};
        return fstat(STDERR_FILENO, &st) == 0 && st.st_dev == device && st.st_ino == inode;
    }();
    return journal;
}

void WriteReportLine(const QString& text, ReportPriority priority)
{
    const QByteArray line = ReportLineBytes(text, priority, StandardErrorIsJournal());
    // One write per line: lines of several threads never interleave.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.constData(), size_t(line.size()));
}
