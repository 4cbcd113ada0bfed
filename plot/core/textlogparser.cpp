#include "plot/core/textlogparser.h"

#include <QByteArray>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/codepage1250.h"

namespace {

constexpr qsizetype kStampLength = 19;    // "YYYY.MM.DD hh:mm:ss"
// A line is at most this long (a record is about 30 bytes, a comment line a
// few hundred); a longer one is damaged and skipped without being held.
constexpr qsizetype kMaxLine = 4096;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int Digits2(const char* p)
{
    return (p[0] - '0') * 10 + (p[1] - '0');
}

bool StartsLikeRecord(const char* p, qsizetype n)
{
    return n >= 5 && IsDigit(p[0]) && IsDigit(p[1]) && IsDigit(p[2]) && IsDigit(p[3])
        && (p[4] == '.' || p[4] == '-' || p[4] == '/');
}

} // namespace

CPlotSeries& CTextLogParser::Series(std::vector<CPlotSeries>& series)
{
    if (!m_bHasSeries) {
        AddSeries(series, m_nSerialNumber);
        m_bHasSeries = true;
    }
    return series.front();
}

bool CTextLogParser::ParseRecord(const char* p, qsizetype n, qint64& time, float& value, int& decimals)
{
    if (n < kStampLength + 2 || !StartsLikeRecord(p, n))
        return false;
    // "YYYY.MM.DD hh:mm:ss"; "-" or "/" in the date and "T" before the time are taken too.
    static constexpr int kDigitPositions[] = {5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
    for (const int i : kDigitPositions) {
        if (!IsDigit(p[i]))
            return false;
    }
    if (p[7] != p[4] || (p[10] != ' ' && p[10] != 'T') || p[13] != ':' || p[16] != ':')
        return false;
    time = TimeMs(Digits2(p) * 100 + Digits2(p + 2), Digits2(p + 5), Digits2(p + 8), Digits2(p + 11),
                  Digits2(p + 14), Digits2(p + 17));
    if (time == kBadTime)
        return false;
    const char separator = p[kStampLength];
    if (separator != '\t' && separator != ',' && separator != ';')
        return false;
    const char* v = p + kStampLength + 1;
    qsizetype length = n - kStampLength - 1;
    while (length > 0 && (v[length - 1] == ' ' || v[length - 1] == '\t'))
        --length;
    while (length > 0 && *v == ' ') {
        ++v;
        --length;
    }
    if (length == 3 && std::memcmp(v, "???", 3) == 0) {
        value = std::numeric_limits<float>::quiet_NaN();
        decimals = 0;
        return true;
    }
    const bool negative = length > 0 && (*v == '-' || *v == '+');
    const qsizetype from = negative ? 1 : 0;
    qint64 mantissa = 0;
    int digits = 0;
    decimals = -1;
    for (qsizetype i = from; i < length; ++i) {
        const char c = v[i];
        if (IsDigit(c)) {
            if (++digits > 17)
                return false;
            mantissa = mantissa * 10 + (c - '0');
            decimals += decimals >= 0 ? 1 : 0;
        } else if ((c == '.' || (c == ',' && separator != ',')) && decimals < 0) {
            decimals = 0;
        } else {
            return false;
        }
    }
    if (digits == 0)
        return false;
    decimals = std::max(decimals, 0);
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9,
                                         1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};
    double number = static_cast<double>(mantissa) / kPowers[decimals];
    number = *v == '-' ? -number : number;
    if (m_bPascals) {
        number *= 0.01;
        decimals += 2;
    }
    if (!IsPlausible(number))
        return false;
    value = static_cast<float>(number);
    return true;
}

void CTextLogParser::ParseOtherLine(QByteArrayView bytes, std::vector<CPlotSeries>& series)
{
    if (StartsLikeRecord(bytes.data(), bytes.size())) {
        ++m_nDamaged;
        return;
    }
    const QString line = CCodePage1250::ToUnicode(bytes).trimmed();
    if (line.startsWith(QLatin1String("KM-302 nr "))) {
        bool ok = false;
        const int serial = line.mid(10).trimmed().toInt(&ok);
        if (ok && serial > 0 && m_nSerialNumber == 0) {
            m_nSerialNumber = serial;
            if (m_bHasSeries)
                series.front().m_nSerialNumber = serial;
        }
    } else if (line.startsWith(QLatin1String("Data i Godzina"))) {
        // The unit is the last word of the pressure column's title.
        static const QRegularExpression unit(QStringLiteral("\\b(h?Pa)\\s*$"));
        const QRegularExpressionMatch match = unit.match(line);
        if (match.hasMatch())
            m_bPascals = match.captured(1) == QLatin1String("Pa");
    }
}

qsizetype CTextLogParser::Parse(QByteArrayView data, bool final, std::vector<CPlotSeries>& series)
{
    const char* const bytes = data.data();
    const qsizetype size = data.size();
    qsizetype start = 0;
    CPlotSeries* target = m_bHasSeries ? &series.front() : nullptr;
    int decimals = target ? target->m_nDecimals : 1;
    while (start < size) {
        if (m_bInLongLine) {
            // The rest of a line too long to be anything: up to its end, or all there is.
            const void* end = std::memchr(bytes + start, '\n', std::size_t(size - start));
            start = end ? static_cast<const char*>(end) - bytes + 1 : size;
            m_bInLongLine = !end;
            continue;
        }
        // The line, its CR and its LF within kMaxLine + 2 bytes.
        const qsizetype window = std::min(size - start, kMaxLine + 2);
        const void* found = std::memchr(bytes + start, '\n', std::size_t(window));
        if (!found && window == kMaxLine + 2) {
            ++m_nDamaged;
            m_bInLongLine = true;
            continue;
        }
        if (!found && !final)
            break;
        const qsizetype end = found ? static_cast<const char*>(found) - bytes : size;
        qsizetype length = end - start;
        if (length > 0 && bytes[start + length - 1] == '\r')
            --length;
        qint64 time = 0;
        float value = 0;
        int valueDecimals = 0;
        if (ParseRecord(bytes + start, length, time, value, valueDecimals)) {
            if (!target) {
                target = &Series(series);
                decimals = target->m_nDecimals;
            }
            target->Append(time, value);
            decimals = std::max(decimals, std::min(valueDecimals, 6));
        } else if (length > 0) {
            ParseOtherLine(QByteArrayView(bytes + start, length), series);
        }
        start = found ? end + 1 : size;
    }
    if (target)
        target->m_nDecimals = decimals;
    return start;
}

qsizetype CTextLogParser::EstimateRecords(QByteArrayView data) const
{
    return std::count(data.begin(), data.end(), '\n') + 1;
}
