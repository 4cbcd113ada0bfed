#include "recording/vrdreader.h"

#include <QFile>

#include <cstring>
#include <limits>

#include "recording/binarylog.h"

namespace {

constexpr qsizetype kTimeStampLength = 14;
// Longer plain fields than these are never written: 14 digits, two "$", the
// codes, an int serial number and a pressure of at most a few digits.
constexpr qsizetype kMaxFieldsLength = 96;
constexpr qsizetype kMaxRecordLength = kMaxFieldsLength + 3;

// Parsing goes over raw characters without building strings: a year of
// records is tens of millions of them.

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool AllDigits(const char* p, qsizetype n)
{
    if (n <= 0)
        return false;
    for (qsizetype i = 0; i < n; ++i) {
        if (!IsDigit(p[i]))
            return false;
    }
    return true;
}

int TwoDigits(const char* p)
{
    return (p[0] - '0') * 10 + (p[1] - '0');
}

// "-"? digits, fitting an int.
bool ParseInt(const char* p, qsizetype n, int& value)
{
    const bool negative = n > 0 && p[0] == '-';
    if (negative) {
        ++p;
        --n;
    }
    if (!AllDigits(p, n))
        return false;
    qint64 v = 0;
    for (qsizetype i = 0; i < n; ++i) {
        v = v * 10 + (p[i] - '0');
        if (v > qint64(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    v = negative ? -v : v;
    if (v > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(v);
    return true;
}

// "-"? digits "." digits, as "%.01f" and "%.03f" write it.
bool ParseFixed(const char* p, qsizetype n, double& value)
{
    const char* const text = p;
    const qsizetype length = n;
    const bool negative = n > 0 && p[0] == '-';
    if (negative) {
        ++p;
        --n;
    }
    qsizetype point = 0;
    while (point < n && p[point] != '.')
        ++point;
    if (point == 0 || point >= n - 1 || !AllDigits(p, point) || !AllDigits(p + point + 1, n - point - 1))
        return false;
    const qsizetype decimals = n - point - 1;
    if (n - 1 <= 15 && decimals <= 15) {
        // Exact integers divided once by an exact power of ten: rounded as strtod rounds.
        qint64 mantissa = 0;
        for (qsizetype i = 0; i < n; ++i) {
            if (i != point)
                mantissa = mantissa * 10 + (p[i] - '0');
        }
        static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        value = static_cast<double>(mantissa) / kPowers[decimals];
        value = negative ? -value : value;
        return true;
    }
    bool ok = false;
    value = QByteArray(text, length).toDouble(&ok);
    return ok;
}

// "20,<serial>,27,<hPa>,1$"
bool ParseDataPart(const char* p, qsizetype n, VrdRecord& record)
{
    if (n < 1 || p[n - 1] != '$')
        return false;
    --n;
    const char* field[5];
    qsizetype length[5];
    int count = 0;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= n; ++i) {
        if (i == n || p[i] == ',') {
            if (count == 5)
                return false;
            field[count] = p + from;
            length[count] = i - from;
            ++count;
            from = i + 1;
        }
    }
    auto is = [&](int i, const char* text) {
        return length[i] == qsizetype(std::strlen(text)) && std::memcmp(field[i], text, length[i]) == 0;
    };
    if (count != 5 || !is(0, "20") || !is(2, "27") || !is(4, "1"))
        return false;
    if (!ParseInt(field[1], length[1], record.nSerialNumber)
        || !ParseFixed(field[3], length[3], record.dPressureHpa))
        return false;
    record.bValid = true;
    return true;
}

} // namespace

bool CVrdReader::ParsePlain(QByteArrayView plain, VrdRecord& record)
{
    const qsizetype mark = plain.size() - 3;
    if (mark < kTimeStampLength + 1 || plain[mark] != CBinaryLog::kCheckMark)
        return false;
    const char* const fields = plain.data();
    unsigned sum = 0;
    for (qsizetype i = 0; i < mark; ++i)
        sum += static_cast<unsigned char>(fields[i]);
    if (static_cast<unsigned char>(plain[mark + 1]) != sum % 253 + 1
        || static_cast<unsigned char>(plain[mark + 2]) != sum % 251 + 1)
        return false;

    if (!AllDigits(fields, kTimeStampLength) || fields[kTimeStampLength] != '$')
        return false;
    record = VrdRecord{};
    record.time.wYear = static_cast<WORD>(TwoDigits(fields) * 100 + TwoDigits(fields + 2));
    record.time.wMonth = static_cast<WORD>(TwoDigits(fields + 4));
    record.time.wDay = static_cast<WORD>(TwoDigits(fields + 6));
    record.time.wHour = static_cast<WORD>(TwoDigits(fields + 8));
    record.time.wMinute = static_cast<WORD>(TwoDigits(fields + 10));
    record.time.wSecond = static_cast<WORD>(TwoDigits(fields + 12));
    const qsizetype data = kTimeStampLength + 1;
    return data == mark || ParseDataPart(fields + data, mark - data, record);
}

qsizetype CVrdReader::Scan(QByteArrayView stored, bool final,
                           const std::function<bool(const VrdRecord&)>& onRecord, Damage& damage)
{
    const auto addDamage = [&damage](qsizetype bytes) {
        ++damage.nStretches;
        damage.nBytes += bytes;
    };
    const char* const bytes = stored.data();
    const qsizetype size = stored.size();
    char plain[kMaxRecordLength];

    qsizetype start = 0;
    while (start < size) {
        const void* found = std::memchr(bytes + start, CBinaryLog::kStoredCheckMark, size_t(size - start));
        const qsizetype mark = found ? static_cast<const char*>(found) - bytes : -1;
        if (mark < 0 || mark + 2 >= size) {
            if (!final) {
                // Bytes too far before the end to belong to a record still being written.
                const qsizetype keep = size - kMaxRecordLength;
                if (mark < 0 && keep > start) {
                    addDamage(keep - start);
                    start = keep;
                }
                return start;
            }
            addDamage(size - start);
            return size;
        }
        const qsizetype end = mark + 3;
        // The earliest start that gives a valid record ending at this mark.
        bool valid = false;
        VrdRecord record;
        for (qsizetype from = std::max(start, mark - kMaxFieldsLength); from < mark; ++from) {
            const qsizetype length = end - from;
            for (qsizetype i = 0; i < length; ++i)
                plain[i] = static_cast<char>(-static_cast<unsigned char>(bytes[from + i]));
            if (ParsePlain(QByteArrayView(plain, length), record)) {
                if (from > start)
                    addDamage(from - start);
                record.nOffset = from;
                valid = true;
                break;
            }
        }
        if (!valid)
            addDamage(end - start);
        start = end;
        if (valid && !onRecord(record))
            break;
    }
    return start;
}

void CVrdReader::Parse(QByteArrayView stored)
{
    m_records.clear();
    Damage damage;
    Scan(stored, true, [this](const VrdRecord& record) {
        m_records.push_back(record);
        return true;
    }, damage);
    m_nDamagedStretches = static_cast<int>(damage.nStretches);
    m_nDamagedBytes = damage.nBytes;
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
