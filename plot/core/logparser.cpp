#include "plot/core/logparser.h"

#include "plot/core/textlogparser.h"
#include "plot/core/vrdlogparser.h"
#include "recording/binarylog.h"

namespace {

constexpr qsizetype kDetectBytes = 4096;

// Days since 1970-01-01 of a proleptic Gregorian date.
qint64 DaysFromCivil(int y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return qint64(era) * 146097 + doe - 719468;
}

bool IsLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

} // namespace

CLogParser::Kind CLogParser::Detect(QByteArrayView head)
{
    head = head.first(std::min(head.size(), kDetectBytes));
    if (head.isEmpty())
        return Kind::Empty;
    qsizetype high = 0;
    qsizetype control = 0;
    bool checkMark = false;
    for (const char c : head) {
        const auto byte = static_cast<unsigned char>(c);
        high += byte >= 0x80 ? 1 : 0;
        control += byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n' ? 1 : 0;
        checkMark = checkMark || byte == CBinaryLog::kStoredCheckMark;
    }
    // Stored records are negated ASCII: nearly every byte is 0x80 or above.
    if (checkMark && high * 10 >= head.size() * 8)
        return Kind::Vrd;
    // Text logs are Windows-1250 text: a few letters above 0x7F, no control bytes.
    if (control == 0 && high * 4 <= head.size())
        return Kind::Text;
    return Kind::Binary;
}

std::unique_ptr<CLogParser> CLogParser::Create(Kind kind, const QString& path)
{
    switch (kind) {
    case Kind::Vrd:
        return std::make_unique<CVrdLogParser>(path);
    case Kind::Text:
        return std::make_unique<CTextLogParser>(path);
    default:
        return nullptr;
    }
}

qint64 CLogParser::TimeMs(int year, int month, int day, int hour, int minute, int second)
{
    static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (hour > 23 || minute > 59 || second > 59)
        return kBadTime;
    const int date = (year * 100 + month) * 100 + day;
    if (date != m_nCachedDate) {
        if (month < 1 || month > 12 || day < 1
            || day > kDaysInMonth[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0))
            return kBadTime;
        m_nCachedDate = date;
        m_nCachedDayMs = DaysFromCivil(year, month, day) * 86'400'000;
    }
    return m_nCachedDayMs + ((hour * 60 + minute) * 60 + second) * qint64(1000);
}

CPlotSeries& CLogParser::AddSeries(std::vector<CPlotSeries>& series, int serialNumber)
{
    CPlotSeries& added = series.emplace_back();
    added.m_strFile = m_strPath;
    added.m_nSerialNumber = serialNumber;
    if (m_nReserve > 0)
        added.Reserve(m_nReserve);
    m_nReserve = 0;
    return added;
}
