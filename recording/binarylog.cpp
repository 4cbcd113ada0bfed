#include "recording/binarylog.h"

#include "platform/messageids.h"
#include "platform/numberformat.h"
#include "platform/services.h"

LogOpenResult CBinaryLog::Open(const QString& path, bool ask)
{
    return m_file.Open(path, ask, IDS_BINARY_LOG_EXISTS);
}

int CBinaryLog::WriteRecord(bool valueValid, double value, bool pascals, int serialNumber)
{
    if (!IsOpen())
        return 0;
    return m_file.Append(
        StoredRecord(Services().GetLocalTime(), valueValid, value, pascals, serialNumber));
}

void CBinaryLog::Close()
{
    m_file.Close();
}

QByteArray CBinaryLog::PlainRecord(const LogTime& time, bool valueValid, double value,
                                   bool pascals, int serialNumber)
{
    std::string plain = FormatPrintf("%04d%02d%02d%02d%02d%02d$", time.year, time.month,
                                     time.day, time.hour, time.minute, time.second);
    if (valueValid) {
        // The file always holds hectopascals.
        const std::string pressure = pascals ? FormatFixed(value * 0.01, 3) : FormatFixed(value, 1);
        plain += FormatPrintf("%d,%d,%d,%s,%d$", 20, serialNumber, 27, pressure.c_str(), 1);
    }
    unsigned sum = 0;
    for (const char c : plain)
        sum += static_cast<unsigned char>(c);
    plain += kCheckMark;
    plain += static_cast<char>(sum % 253 + 1);
    plain += static_cast<char>(sum % 251 + 1);
    return QByteArray(plain.data(), static_cast<qsizetype>(plain.size()));
}

QByteArray CBinaryLog::StoredRecord(const LogTime& time, bool valueValid, double value,
                                    bool pascals, int serialNumber)
{
    return Negated(PlainRecord(time, valueValid, value, pascals, serialNumber));
}

QByteArray CBinaryLog::Negated(QByteArray bytes)
{
    for (char& c : bytes)
        c = static_cast<char>((256 - static_cast<unsigned char>(c)) % 256);
    return bytes;
}
