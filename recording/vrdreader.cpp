#include "recording/vrdreader.h"

#include <QFile>
#include <QList>

#include "recording/binarylog.h"

namespace {

constexpr qsizetype kTimeStampLength = 14;
// Longer plain fields than these are never written: 14 digits, two "$", the
// codes, an int serial number and a pressure of at most a few digits.
constexpr qsizetype kMaxFieldsLength = 96;

bool AllDigits(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

bool IsInteger(QByteArrayView text)
{
    return AllDigits(text.startsWith('-') ? text.sliced(1) : text);
}

// "-"? digits "." digits, as "%.01f" and "%.03f" write it.
bool IsFixed(QByteArrayView text)
{
    const qsizetype point = text.indexOf('.');
    return point > 0 && IsInteger(text.first(point)) && AllDigits(text.sliced(point + 1));
}

int Number(QByteArrayView digits)
{
    return QByteArray(digits.data(), digits.size()).toInt();
}

bool ParseDataPart(QByteArrayView data, VrdRecord& record)
{
    if (!data.endsWith('$'))
        return false;
    const QList<QByteArray> fields = QByteArray(data.chopped(1).data(), data.size() - 1).split(',');
    if (fields.size() != 5 || fields[0] != "20" || fields[2] != "27" || fields[4] != "1")
        return false;
    if (!IsInteger(fields[1]) || !IsFixed(fields[3]))
        return false;
    bool serialOk = false;
    bool pressureOk = false;
    record.nSerialNumber = fields[1].toInt(&serialOk);
    record.dPressureHpa = fields[3].toDouble(&pressureOk);
    record.bValid = true;
    return serialOk && pressureOk;
}

} // namespace

bool CVrdReader::ParsePlain(QByteArrayView plain, VrdRecord& record)
{
    const qsizetype mark = plain.size() - 3;
    if (mark < kTimeStampLength + 1 || plain[mark] != CBinaryLog::kCheckMark)
        return false;
    const QByteArrayView fields = plain.first(mark);
    unsigned sum = 0;
    for (const char c : fields)
        sum += static_cast<unsigned char>(c);
    if (static_cast<unsigned char>(plain[mark + 1]) != sum % 253 + 1
        || static_cast<unsigned char>(plain[mark + 2]) != sum % 251 + 1)
        return false;

    const QByteArrayView stamp = fields.first(kTimeStampLength);
    if (!AllDigits(stamp) || fields[kTimeStampLength] != '$')
        return false;
    record = VrdRecord{};
    record.time.wYear = static_cast<WORD>(Number(stamp.sliced(0, 4)));
    record.time.wMonth = static_cast<WORD>(Number(stamp.sliced(4, 2)));
    record.time.wDay = static_cast<WORD>(Number(stamp.sliced(6, 2)));
    record.time.wHour = static_cast<WORD>(Number(stamp.sliced(8, 2)));
    record.time.wMinute = static_cast<WORD>(Number(stamp.sliced(10, 2)));
    record.time.wSecond = static_cast<WORD>(Number(stamp.sliced(12, 2)));
    const QByteArrayView data = fields.sliced(kTimeStampLength + 1);
    return data.isEmpty() || ParseDataPart(data, record);
}

void CVrdReader::Parse(QByteArrayView stored)
{
    m_records.clear();
    m_nDamagedStretches = 0;
    m_nDamagedBytes = 0;

    qsizetype start = 0;
    while (start < stored.size()) {
        const qsizetype mark = stored.indexOf(static_cast<char>(CBinaryLog::kStoredCheckMark), start);
        if (mark < 0 || mark + 2 >= stored.size()) {
            AddDamage(stored.size() - start);
            break;
        }
        const qsizetype end = mark + 3;
        // The earliest start that gives a valid record ending at this mark.
        bool found = false;
        for (qsizetype from = std::max(start, mark - kMaxFieldsLength); from < mark; ++from) {
            VrdRecord record;
            if (ParsePlain(CBinaryLog::Negated(stored.sliced(from, end - from).toByteArray()), record)) {
                if (from > start)
                    AddDamage(from - start);
                record.nOffset = from;
                m_records.push_back(record);
                found = true;
                break;
            }
        }
        if (!found)
            AddDamage(end - start);
        start = end;
    }
}

bool CVrdReader::ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Parse({});
        return false;
    }
    Parse(file.readAll());
    return true;
}

void CVrdReader::AddDamage(qsizetype bytes)
{
    ++m_nDamagedStretches;
    m_nDamagedBytes += bytes;
}
