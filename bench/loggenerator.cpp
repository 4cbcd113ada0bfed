#include "bench/loggenerator.h"

#include <QDate>
#include <QFile>

#include <cstdio>

#include "recording/binarylog.h"
#include "recording/textlog.h"

namespace {

constexpr qint64 kGapEvery = 100'000;
constexpr qint64 kGapLength = 60;
constexpr qsizetype kFlushBytes = 8 << 20;

bool Flush(QFile& file, QByteArray& buffer)
{
    if (!file.isOpen() || buffer.isEmpty())
        return true;
    const bool ok = file.write(buffer) == buffer.size();
    buffer.clear();
    if (!ok)
        std::fprintf(stderr, "km302-loggen: %s: %s\n", qPrintable(file.fileName()), qPrintable(file.errorString()));
    return ok;
}

} // namespace

bool CLogGenerator::Write(const QString& vrdPath, const QString& csvPath) const
{
    QFile vrd(vrdPath);
    QFile csv(csvPath);
    for (QFile* file : {&vrd, &csv}) {
        if (!file->fileName().isEmpty() && !file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "km302-loggen: %s: %s\n", qPrintable(file->fileName()), qPrintable(file->errorString()));
            return false;
        }
    }
    QByteArray vrdBuffer;
    QByteArray csvBuffer = "KM-302 nr " + QByteArray::number(m_nSerialNumber) + "\r\n"
        + CTextLog::HeaderLine(false, ',');

    QDate date(2024, 1, 1);
    qint64 secondOfDay = 0;
    quint32 random = 12345;
    double value = 1013.0;
    for (qint64 i = 0; i < m_nRecords; ++i) {
        LogTime time;
        time.year = int(date.year());
        time.month = int(date.month());
        time.day = int(date.day());
        time.hour = int(secondOfDay / 3600);
        time.minute = int(secondOfDay / 60 % 60);
        time.second = int(secondOfDay % 60);
        random = random * 1664525u + 1013904223u;
        value += (double(random >> 8) / double(1 << 24) - 0.5) * 0.2;
        value += (1013.0 - value) * 0.001;
        const bool valid = i % kGapEvery >= kGapLength;
        if (vrd.isOpen())
            vrdBuffer += CBinaryLog::StoredRecord(time, valid, value, false, m_nSerialNumber);
        if (csv.isOpen())
            csvBuffer += CTextLog::RecordLine(time, valid, value, ',');
        if (vrdBuffer.size() > kFlushBytes && !Flush(vrd, vrdBuffer))
            return false;
        if (csvBuffer.size() > kFlushBytes && !Flush(csv, csvBuffer))
            return false;
        secondOfDay += m_nStepSeconds;
        while (secondOfDay >= 86'400) {
            secondOfDay -= 86'400;
            date = date.addDays(1);
        }
    }
    return Flush(vrd, vrdBuffer) && Flush(csv, csvBuffer);
}
