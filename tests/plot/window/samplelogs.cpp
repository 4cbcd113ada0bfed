#include "samplelogs.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include "recording/binarylog.h"
#include "recording/textlog.h"

namespace {

LogTime SystemTime(int index)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(CSampleLogs::TimeOf(index), QTimeZone::utc());
    return LogTime(t.date().year(), t.date().month(), t.date().day(), t.time().hour(),
                   t.time().minute(), t.time().second());
}

void Append(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::Append) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

}  // namespace

qint64 CSampleLogs::TimeOf(int index)
{
    return QDateTime(QDate(2024, 3, 5), QTime(14, 0), QTimeZone::utc()).toMSecsSinceEpoch()
        + qint64(index) * 1000;
}

void CSampleLogs::WriteVrd(const QString& path, int records, int gapAt)
{
    QByteArray bytes;
    for (int i = 0; i < records; ++i)
        bytes += CBinaryLog::StoredRecord(SystemTime(i), i != gapAt, ValueOf(i), false, kSerial);
    QFile::remove(path);
    Append(path, bytes);
}

void CSampleLogs::AppendText(const QString& path, int first, int records, bool header, int gapAt)
{
    QByteArray bytes = header ? CTextLog::HeaderLine(false, '\t') : QByteArray();
    for (int i = first; i < first + records; ++i)
        bytes += CTextLog::RecordLine(SystemTime(i), i != gapAt, ValueOf(i), '\t');
    Append(path, bytes);
}

void CSampleLogs::WriteVrd(const QString& path, const std::vector<std::pair<int, float>>& records,
                           bool pascals)
{
    QByteArray bytes;
    for (const auto& [second, value] : records)
        bytes += CBinaryLog::StoredRecord(SystemTime(second), true, pascals ? value * 100.0 : value,
                                          pascals, kSerial);
    QFile::remove(path);
    Append(path, bytes);
}
