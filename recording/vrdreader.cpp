#include "recording/vrdreader.h"

#include <QFile>

#include <cstdint>
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

// Takes `literal` from the front of the text.
bool Take(const char*& p, const char* end, const char* literal, qsizetype length)
{
    if (end - p < length || std::memcmp(p, literal, std::size_t(length)) != 0)
        return false;
    p += length;
    return true;
}

// "20,<serial>,27,<hPa>,1$": exactly five comma-separated fields.
bool ParseDataPart(const char* p, qsizetype n, VrdRecord& record)
{
    const char* const end = p + n;
    if (!Take(p, end, "20,", 3))
        return false;
    const char* comma = static_cast<const char*>(std::memchr(p, ',', std::size_t(end - p)));
    if (!comma || !ParseInt(p, comma - p, record.nSerialNumber))
        return false;
    p = comma + 1;
    if (!Take(p, end, "27,", 3))
        return false;
    comma = static_cast<const char*>(std::memchr(p, ',', std::size_t(end - p)));
    if (!comma || !ParseFixed(p, comma - p, record.dPressureHpa))
        return false;
    p = comma + 1;
    if (!Take(p, end, "1$", 2) || p != end)
        return false;
    record.bValid = true;
    return true;
}

// The fields of a plain record whose check bytes are right.
bool ParseFields(const char* fields, qsizetype length, VrdRecord& record)
{
    if (length < kTimeStampLength + 1 || !AllDigits(fields, kTimeStampLength) || fields[kTimeStampLength] != '$')
        return false;
    record = VrdRecord{};
    record.time.year = TwoDigits(fields) * 100 + TwoDigits(fields + 2);
    record.time.month = TwoDigits(fields + 4);
    record.time.day = TwoDigits(fields + 6);
    record.time.hour = TwoDigits(fields + 8);
    record.time.minute = TwoDigits(fields + 10);
    record.time.second = TwoDigits(fields + 12);
    const qsizetype data = kTimeStampLength + 1;
    return data == length || ParseDataPart(fields + data, length - data, record);
}

bool ChecksMatch(unsigned sum, const char* checks)
{
    return static_cast<unsigned char>(checks[0]) == sum % 253 + 1
        && static_cast<unsigned char>(checks[1]) == sum % 251 + 1;
}

// The stored record [stored, stored + length) negated into `plain` and parsed.
bool ParseStored(const char* stored, qsizetype length, char* plain, VrdRecord& record)
{
    const qsizetype mark = length - 3;
    unsigned sum = 0;
    for (qsizetype i = 0; i < mark; ++i) {
        const auto byte = static_cast<unsigned char>(-static_cast<unsigned char>(stored[i]));
        plain[i] = static_cast<char>(byte);
        sum += byte;
    }
    const char checks[2] = {static_cast<char>(-static_cast<unsigned char>(stored[mark + 1])),
                            static_cast<char>(-static_cast<unsigned char>(stored[mark + 2]))};
    return ChecksMatch(sum, checks) && ParseFields(plain, mark, record);
}

} // namespace

bool CVrdReader::ParsePlain(QByteArrayView plain, VrdRecord& record)
{
    const qsizetype mark = plain.size() - 3;
    if (mark < kTimeStampLength + 1 || plain[mark] != CBinaryLog::kCheckMark)
        return false;
    unsigned sum = 0;
    for (qsizetype i = 0; i < mark; ++i)
        sum += static_cast<unsigned char>(plain[i]);
    return ChecksMatch(sum, plain.data() + mark + 1) && ParseFields(plain.data(), mark, record);
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
        // Too short a stretch holds no record (14 digits, "$", the mark and check bytes).
        for (qsizetype from = std::max(start, mark - kMaxFieldsLength); from + kTimeStampLength + 1 <= mark; ++from) {
            if (ParseStored(bytes + from, end - from, plain, record)) {
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
