#include "recording/textlog.h"

#include "platform/codepage1250.h"
#include "platform/messageids.h"
#include "platform/numberformat.h"
#include "platform/services.h"
#include "platform/stringtable.h"

namespace {

const QByteArray kLineEnd("\r\n");

// The user's lines end in CR LF in the file whatever the text holds, so that
// every line of the file is ended alike.
QByteArray LinesOf(const QString& text)
{
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    normalised.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return CCodePage1250::FromUnicode(normalised);
}

} // namespace

LogOpenResult CTextLog::Open(const QString& path, bool ask)
{
    m_headerPascals.reset();
    return m_file.Open(path, ask, IDS_TEXT_LOG_EXISTS);
}

int CTextLog::WriteStartComment(bool appendedByAnswer, const QString& comment,
                                bool withSerialNumber, int serialNumber)
{
    QByteArray block;
    if (appendedByAnswer)
        block += kLineEnd;
    if (!comment.isEmpty())
        block += LinesOf(comment) + kLineEnd;
    if (withSerialNumber) {
        block += serialNumber < 1 ? QByteArray("KM-302 nr ???")
                                  : QByteArray(FormatPrintf("KM-302 nr %d", serialNumber).c_str());
        block += kLineEnd;
    }
    if (block.isEmpty())
        return 0;
    return m_file.Append(block);
}

int CTextLog::WriteRecord(bool valueValid, double value, bool pascals, int separatorCode)
{
    if (!IsOpen())
        return 0;
    const char separator = SeparatorOf(separatorCode);
    const QByteArray record = RecordLine(Services().GetLocalTime(), valueValid, value, separator);

    const bool header = !m_headerPascals || *m_headerPascals != pascals;
    const int error = m_file.Append(header ? HeaderLine(pascals, separator) + record : record);
    // A header that did not reach the file is written again before the next record.
    if (error == 0 && header)
        m_headerPascals = pascals;
    return error;
}

void CTextLog::Close()
{
    m_file.Close();
}

QByteArray CTextLog::RecordLine(const LogTime& time, bool valueValid, double value,
                                char separator)
{
    QByteArray line(FormatPrintf("%04d.%02d.%02d %02d:%02d:%02d", time.year, time.month,
                                 time.day, time.hour, time.minute, time.second)
                        .c_str());
    line += separator;
    line += valueValid ? QByteArray(FormatFixed(value, 1).c_str()) : QByteArray("???");
    line += kLineEnd;
    return line;
}

QByteArray CTextLog::HeaderLine(bool pascals, char separator)
{
    QByteArray line = CCodePage1250::FromUnicode(LoadString(IDS_DATE_AND_TIME));
    line += separator;
    line += CCodePage1250::FromUnicode(LoadString(pascals ? IDS_PRESSURE_PA : IDS_PRESSURE_HPA));
    line += kLineEnd;
    return line;
}

char CTextLog::SeparatorOf(int separatorCode)
{
    switch (separatorCode) {
    case 1:
        return ',';
    case 2:
        return ';';
    default:
        return '\t';
    }
}
