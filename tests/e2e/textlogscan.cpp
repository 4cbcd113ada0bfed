#include "tests/e2e/textlogscan.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace {
const QByteArray kHeaderHpa("Data i Godzina\tCi\x9Cnienie hPa");
const QByteArray kHeaderPa("Data i Godzina\tCi\x9Cnienie Pa");
}

void CTextLogScan::Parse(const QByteArray& file)
{
    m_lines.clear();
    qsizetype start = 0;
    while (start < file.size()) {
        const qsizetype end = file.indexOf("\r\n", start);
        if (end < 0) {
            m_lines.push_back(Line{Kind::Malformed, file.mid(start), {}, 0.0});
            break;
        }
        m_lines.push_back(Classify(file.mid(start, end - start)));
        start = end + 2;
    }
}

bool CTextLogScan::ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        m_lines.clear();
        return false;
    }
    Parse(f.readAll());
    return true;
}

CTextLogScan::Line CTextLogScan::Classify(const QByteArray& bytes)
{
    Line line{Kind::Malformed, bytes, {}, 0.0};
    if (bytes == kHeaderHpa) {
        line.kind = Kind::HeaderHpa;
        return line;
    }
    if (bytes == kHeaderPa) {
        line.kind = Kind::HeaderPa;
        return line;
    }
    static const QRegularExpression serial(QStringLiteral("^KM-302 nr (\\d+|\\?\\?\\?)$"));
    if (serial.match(QString::fromLatin1(bytes)).hasMatch()) {
        line.kind = Kind::SerialNumber;
        return line;
    }
    static const QRegularExpression record(
        QStringLiteral("^(\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2})\\t(\\?\\?\\?|-?\\d+\\.\\d)$"));
    const QRegularExpressionMatch match = record.match(QString::fromLatin1(bytes));
    if (!match.hasMatch())
        return line;
    line.time = QDateTime::fromString(match.captured(1), QStringLiteral("yyyy.MM.dd HH:mm:ss"));
    if (!line.time.isValid())
        return line;
    if (match.captured(2) == QStringLiteral("???")) {
        line.kind = Kind::NoValue;
    } else {
        line.kind = Kind::Value;
        line.dValue = match.captured(2).toDouble();
    }
    return line;
}

int CTextLogScan::Count(Kind kind) const
{
    return int(std::count_if(m_lines.begin(), m_lines.end(), [kind](const Line& l) { return l.kind == kind; }));
}

QString CTextLogScan::Story() const
{
    QString story;
    for (const Line& line : m_lines) {
        switch (line.kind) {
        case Kind::SerialNumber: story += QLatin1Char('S'); break;
        case Kind::HeaderHpa: story += QLatin1Char('H'); break;
        case Kind::HeaderPa: story += QLatin1Char('P'); break;
        case Kind::Value: story += QLatin1Char('V'); break;
        case Kind::NoValue: story += QLatin1Char('N'); break;
        case Kind::Malformed: story += QLatin1Char('X'); break;
        }
    }
    return story;
}

QByteArray CTextLogScan::FirstMalformed() const
{
    const auto it = std::find_if(m_lines.begin(), m_lines.end(),
                                 [](const Line& l) { return l.kind == Kind::Malformed; });
    return it == m_lines.end() ? QByteArray() : it->bytes;
}
